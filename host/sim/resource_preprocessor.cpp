// The resource script's preprocessor and tokens.
#include "host/sim/resource_preprocessor.h"

#include <string_view>
#include <utility>

namespace sim::rc {
namespace {

// Comments out, line breaks kept so that line numbers stay true.
std::string StripComments(const std::string& script) {
    std::string out;
    out.reserve(script.size());
    int line = 1;
    bool inString = false;
    for (std::size_t i = 0; i < script.size(); ++i) {
        // Plain text up to the next character that matters in one piece.
        std::size_t run = i;
        while (run < script.size() && script[run] != '\n' && script[run] != '"' && script[run] != '/') ++run;
        out.append(script, i, run - i);
        i = run;
        if (i >= script.size()) break;
        char c = script[i];
        char next = i + 1 < script.size() ? script[i + 1] : '\0';
        if (c == '\n') {
            ++line;
            inString = false;  // a string never runs over a line; the tokenizer says so
            out += c;
        } else if (inString) {
            if (c == '"') inString = false;
            out += c;
        } else if (c == '"') {
            inString = true;
            out += c;
        } else if (c == '/' && next == '/') {
            while (i + 1 < script.size() && script[i + 1] != '\n') ++i;
        } else if (c == '/' && next == '*') {
            int start = line;
            i += 2;
            while (i < script.size() && !(script[i] == '*' && i + 1 < script.size() && script[i + 1] == '/')) {
                if (script[i] == '\n') {
                    ++line;
                    out += '\n';
                }
                ++i;
            }
            if (i >= script.size()) Fail(start, "expected the end of the comment that starts here");
            ++i;  // the '/'
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string ReadName(const std::string& text, std::size_t* pos) {
    while (*pos < text.size() && std::isspace(static_cast<unsigned char>(text[*pos]))) ++*pos;
    std::size_t start = *pos;
    if (*pos < text.size() && IsNameStart(text[*pos])) {
        while (*pos < text.size() && IsNameChar(text[*pos])) ++*pos;
    }
    return text.substr(start, *pos - start);
}

// #if conditions: defined(X), defined X, !, &&, ||, parentheses, numbers, and
// names (a macro's number, else 0).
class Condition {
public:
    Condition(const std::string& text, int line, const std::map<std::string, Macro>& macros)
        : text_(text), line_(line), macros_(macros) {}

    bool Evaluate() {
        long long value = Or(0);
        Skip();
        if (pos_ != text_.size()) Fail(line_, "expected the end of the condition");
        return value != 0;
    }

private:
    void Skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool Take(const char* op) {
        Skip();
        std::string s(op);
        if (text_.compare(pos_, s.size(), s) == 0) {
            pos_ += s.size();
            return true;
        }
        return false;
    }
    long long Or(int depth) {
        long long value = And(depth);
        while (Take("||")) value = (And(depth) != 0) || value != 0;
        return value;
    }
    long long And(int depth) {
        long long value = Not(depth);
        while (Take("&&")) {
            long long right = Not(depth);
            value = value != 0 && right != 0;
        }
        return value;
    }
    long long Not(int depth) {
        if (depth > kMaxDepth) Fail(line_, "expected a less deeply nested condition");
        Skip();
        if (pos_ < text_.size() && text_[pos_] == '!' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '=')) {
            ++pos_;
            return Not(depth + 1) == 0;
        }
        return Primary(depth);
    }
    long long Primary(int depth) {
        Skip();
        if (Take("(")) {
            long long value = Or(depth + 1);
            if (!Take(")")) Fail(line_, "expected ')' in the condition");
            return value;
        }
        if (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            long long value = 0;
            while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) {
                if (std::isdigit(static_cast<unsigned char>(text_[pos_])) && value < 100000000)
                    value = value * 10 + (text_[pos_] - '0');
                ++pos_;
            }
            return value;
        }
        std::string name = ReadName(text_, &pos_);
        if (name.empty()) Fail(line_, "expected defined(NAME), a name or a number in the condition");
        if (name == "defined") {
            bool paren = Take("(");
            std::string what = ReadName(text_, &pos_);
            if (what.empty()) Fail(line_, "expected a name after defined");
            if (paren && !Take(")")) Fail(line_, "expected ')' after defined(" + what);
            return macros_.count(what) != 0;
        }
        auto it = macros_.find(name);
        if (it == macros_.end()) return 0;
        std::string body = Trim(it->second.body);
        long long value = 0;
        for (char c : body) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
            if (value < 100000000) value = value * 10 + (c - '0');
        }
        return value;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    int line_;
    const std::map<std::string, Macro>& macros_;
};

struct Branch {
    bool parentActive = true;
    bool active = false;
    bool taken = false;
    bool sawElse = false;
    int line = 0;
};

}  // namespace

void Preprocess(const std::string& script, std::vector<SourceLine>* lines, std::map<std::string, Macro>* macros) {
    std::string text = StripComments(script);
    std::vector<Branch> branches;
    auto active = [&] { return branches.empty() || (branches.back().parentActive && branches.back().active); };
    std::size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] != '#') {
            if (active() && !trimmed.empty()) lines->push_back(SourceLine{number, std::move(line)});
            continue;
        }
        std::size_t pos = 1;
        std::string directive = ReadName(trimmed, &pos);
        std::string rest = Trim(trimmed.substr(pos));
        if (directive == "ifdef" || directive == "ifndef" || directive == "if") {
            if (branches.size() >= static_cast<std::size_t>(kMaxDepth)) Fail(number, "expected fewer nested #if");
            Branch branch;
            branch.parentActive = active();
            branch.line = number;
            if (branch.parentActive) {
                if (directive == "if") {
                    branch.active = Condition(rest, number, *macros).Evaluate();
                } else {
                    std::size_t p = 0;
                    std::string name = ReadName(rest, &p);
                    if (name.empty()) Fail(number, "expected a name after #" + directive);
                    branch.active = (macros->count(name) != 0) == (directive == "ifdef");
                }
            }
            branch.taken = branch.active;
            branches.push_back(branch);
        } else if (directive == "elif") {
            if (branches.empty() || branches.back().sawElse) Fail(number, "expected #if before #elif");
            Branch& branch = branches.back();
            branch.active = branch.parentActive && !branch.taken && Condition(rest, number, *macros).Evaluate();
            branch.taken = branch.taken || branch.active;
        } else if (directive == "else") {
            if (branches.empty() || branches.back().sawElse) Fail(number, "expected #if before #else");
            Branch& branch = branches.back();
            branch.active = !branch.taken;
            branch.taken = true;
            branch.sawElse = true;
        } else if (directive == "endif") {
            if (branches.empty()) Fail(number, "expected #if before #endif");
            branches.pop_back();
        } else if (!active()) {
            continue;  // other directives in a skipped branch do not count
        } else if (directive == "define") {
            std::size_t p = 0;
            std::string name = ReadName(rest, &p);
            if (name.empty()) Fail(number, "expected a name after #define");
            Macro macro;
            macro.line = number;
            macro.functionLike = p < rest.size() && rest[p] == '(';
            if (!macro.functionLike) macro.body = Trim(rest.substr(p));
            (*macros)[name] = macro;
        } else if (directive == "undef") {
            std::size_t p = 0;
            macros->erase(ReadName(rest, &p));
        } else if (directive == "include" || directive == "pragma") {
            // Headers are inlined into the script already; pragmas are for rc.
        } else if (directive == "error") {
            Fail(number, "expected no #error in an active branch (" + rest + ")");
        } else {
            Fail(number, "expected a preprocessor directive, found #" + directive);
        }
    }
    if (!branches.empty())
        Fail(branches.back().line,
             "expected #endif for this #"
             "if");
}

// ---- Tokens -----------------------------------------------------------------

void Tokenize(const std::string& text, int line, std::vector<Token>* out) {
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '"' || (c == 'L' && i + 1 < text.size() && text[i + 1] == '"')) {
            if (c == 'L') ++i;
            ++i;
            std::string value;
            for (;;) {
                if (i >= text.size()) Fail(line, "expected the closing quote of the string");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {  // "" is a quote inside
                        value += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            out->push_back(Token{TokenKind::String, std::move(value), 0, line});
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            std::uint64_t value = 0;
            std::size_t start = i;
            bool hex = c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
            if (hex) {
                i += 2;
                if (i >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i])))
                    Fail(line, "expected hex digits after 0x");
                while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) {
                    char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
                    value = value * 16 + static_cast<std::uint64_t>(d <= '9' ? d - '0' : d - 'a' + 10);
                }
            } else {
                while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
                    value = value * 10 + static_cast<std::uint64_t>(text[i++] - '0');
            }
            while (i < text.size() && (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u')) ++i;
            if (i < text.size() && IsNameChar(text[i]))
                Fail(line, "expected a number, found " + text.substr(start, i - start + 1));
            out->push_back(Token{TokenKind::Number, text.substr(start, i - start), value, line});
        } else if (IsNameStart(c)) {
            std::size_t start = i;
            while (i < text.size() && IsNameChar(text[i])) ++i;
            out->push_back(Token{TokenKind::Name, text.substr(start, i - start), 0, line});
        } else if (std::string_view(",|()-+~{}&").find(c) != std::string_view::npos) {
            out->push_back(Token{TokenKind::Punct, std::string(1, c), 0, line});
            ++i;
        } else {
            Fail(line, std::string("expected a name, number, string or punctuation, found '") + c + "'");
        }
    }
}

void Expander::Expand(Token token, int depth, std::vector<Token>* out) {
    if (--budget_ < 0) Fail(token.line, "expected macros that expand into less text");
    auto it = token.kind == TokenKind::Name ? macros_.find(token.text) : macros_.end();
    if (it == macros_.end() || it->second.functionLike) {
        out->push_back(std::move(token));
        return;
    }
    if (depth > kMaxDepth) Fail(token.line, "expected a macro that does not expand into itself: " + token.text);
    auto cached = bodies_.find(token.text);
    if (cached == bodies_.end()) {
        std::vector<Token> body;
        Tokenize(it->second.body, it->second.line, &body);
        cached = bodies_.emplace(token.text, std::move(body)).first;
    }
    for (Token part : cached->second) {
        part.line = token.line;  // errors point at the use
        Expand(std::move(part), depth + 1, out);
    }
}

}  // namespace sim::rc
