// Reader of the DIALOGEX templates of a resource script: the small
// preprocessor the script needs (#define, #if family), then the templates.
// It is fed hand-written and fuzzed text, so every path ends in a value or a
// line-numbered error; nothing recurses or loops without a bound.
#include "host/sim/resource_script.h"

#include "host/sim/sim.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

namespace sim {
namespace {

constexpr int kMaxDepth = 64;  // nesting of #if, parentheses and macros

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(int line, const std::string& what) {
    throw Failure{"line " + std::to_string(line) + ": " + what};
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// ---- Windows names the script may use without defining them --------------

const std::map<std::string, std::uint32_t>& KnownNames() {
    static const std::map<std::string, std::uint32_t> names = {
        {"WS_OVERLAPPED", 0x00000000},
        {"WS_TILED", 0x00000000},
        {"WS_POPUP", 0x80000000},
        {"WS_CHILD", 0x40000000},
        {"WS_CHILDWINDOW", 0x40000000},
        {"WS_MINIMIZE", 0x20000000},
        {"WS_ICONIC", 0x20000000},
        {"WS_VISIBLE", 0x10000000},
        {"WS_DISABLED", 0x08000000},
        {"WS_CLIPSIBLINGS", 0x04000000},
        {"WS_CLIPCHILDREN", 0x02000000},
        {"WS_MAXIMIZE", 0x01000000},
        {"WS_CAPTION", 0x00C00000},
        {"WS_BORDER", 0x00800000},
        {"WS_DLGFRAME", 0x00400000},
        {"WS_VSCROLL", 0x00200000},
        {"WS_HSCROLL", 0x00100000},
        {"WS_SYSMENU", 0x00080000},
        {"WS_THICKFRAME", 0x00040000},
        {"WS_SIZEBOX", 0x00040000},
        {"WS_GROUP", 0x00020000},
        {"WS_TABSTOP", 0x00010000},
        {"WS_MINIMIZEBOX", 0x00020000},
        {"WS_MAXIMIZEBOX", 0x00010000},
        {"WS_OVERLAPPEDWINDOW", 0x00CF0000},
        {"WS_POPUPWINDOW", 0x80880000},

        {"WS_EX_DLGMODALFRAME", 0x00000001},
        {"WS_EX_NOPARENTNOTIFY", 0x00000004},
        {"WS_EX_TOPMOST", 0x00000008},
        {"WS_EX_ACCEPTFILES", 0x00000010},
        {"WS_EX_TRANSPARENT", 0x00000020},
        {"WS_EX_TOOLWINDOW", 0x00000080},
        {"WS_EX_WINDOWEDGE", 0x00000100},
        {"WS_EX_CLIENTEDGE", 0x00000200},
        {"WS_EX_CONTEXTHELP", 0x00000400},
        {"WS_EX_RIGHT", 0x00001000},
        {"WS_EX_LEFT", 0x00000000},
        {"WS_EX_LTRREADING", 0x00000000},
        {"WS_EX_CONTROLPARENT", 0x00010000},
        {"WS_EX_STATICEDGE", 0x00020000},
        {"WS_EX_APPWINDOW", 0x00040000},

        {"DS_ABSALIGN", 0x0001},
        {"DS_SYSMODAL", 0x0002},
        {"DS_3DLOOK", 0x0004},
        {"DS_FIXEDSYS", 0x0008},
        {"DS_NOFAILCREATE", 0x0010},
        {"DS_LOCALEDIT", 0x0020},
        {"DS_SETFONT", 0x0040},
        {"DS_MODALFRAME", 0x0080},
        {"DS_NOIDLEMSG", 0x0100},
        {"DS_SETFOREGROUND", 0x0200},
        {"DS_CONTROL", 0x0400},
        {"DS_CENTER", 0x0800},
        {"DS_CENTERMOUSE", 0x1000},
        {"DS_CONTEXTHELP", 0x2000},
        {"DS_SHELLFONT", 0x0048},

        {"BS_PUSHBUTTON", 0x0},
        {"BS_DEFPUSHBUTTON", 0x1},
        {"BS_CHECKBOX", 0x2},
        {"BS_AUTOCHECKBOX", 0x3},
        {"BS_RADIOBUTTON", 0x4},
        {"BS_3STATE", 0x5},
        {"BS_AUTO3STATE", 0x6},
        {"BS_GROUPBOX", 0x7},
        {"BS_USERBUTTON", 0x8},
        {"BS_AUTORADIOBUTTON", 0x9},
        {"BS_OWNERDRAW", 0xB},
        {"BS_TYPEMASK", 0xF},
        {"BS_LEFTTEXT", 0x20},
        {"BS_RIGHTBUTTON", 0x20},
        {"BS_TEXT", 0x0},
        {"BS_ICON", 0x40},
        {"BS_BITMAP", 0x80},
        {"BS_LEFT", 0x100},
        {"BS_RIGHT", 0x200},
        {"BS_CENTER", 0x300},
        {"BS_TOP", 0x400},
        {"BS_BOTTOM", 0x800},
        {"BS_VCENTER", 0xC00},
        {"BS_PUSHLIKE", 0x1000},
        {"BS_MULTILINE", 0x2000},
        {"BS_NOTIFY", 0x4000},
        {"BS_FLAT", 0x8000},

        {"ES_LEFT", 0x0},
        {"ES_CENTER", 0x1},
        {"ES_RIGHT", 0x2},
        {"ES_MULTILINE", 0x4},
        {"ES_UPPERCASE", 0x8},
        {"ES_LOWERCASE", 0x10},
        {"ES_PASSWORD", 0x20},
        {"ES_AUTOVSCROLL", 0x40},
        {"ES_AUTOHSCROLL", 0x80},
        {"ES_NOHIDESEL", 0x100},
        {"ES_OEMCONVERT", 0x400},
        {"ES_READONLY", 0x800},
        {"ES_WANTRETURN", 0x1000},
        {"ES_NUMBER", 0x2000},

        {"SS_LEFT", 0x0},
        {"SS_CENTER", 0x1},
        {"SS_RIGHT", 0x2},
        {"SS_ICON", 0x3},
        {"SS_BLACKRECT", 0x4},
        {"SS_GRAYRECT", 0x5},
        {"SS_WHITERECT", 0x6},
        {"SS_BLACKFRAME", 0x7},
        {"SS_GRAYFRAME", 0x8},
        {"SS_WHITEFRAME", 0x9},
        {"SS_SIMPLE", 0xB},
        {"SS_LEFTNOWORDWRAP", 0xC},
        {"SS_ETCHEDHORZ", 0x10},
        {"SS_ETCHEDVERT", 0x11},
        {"SS_ETCHEDFRAME", 0x12},
        {"SS_NOPREFIX", 0x80},
        {"SS_NOTIFY", 0x100},
        {"SS_CENTERIMAGE", 0x200},
        {"SS_SUNKEN", 0x1000},

        {"IDOK", 1},
        {"IDCANCEL", 2},
        {"IDABORT", 3},
        {"IDRETRY", 4},
        {"IDIGNORE", 5},
        {"IDYES", 6},
        {"IDNO", 7},
        {"IDC_STATIC", 0xFFFFFFFF},
    };
    return names;
}

// ---- Preprocessing ----------------------------------------------------------

struct SourceLine {
    int number = 0;
    std::string text;
};

struct Macro {
    std::string body;
    int line = 0;
    bool functionLike = false;
};

// Comments out, line breaks kept so that line numbers stay true.
std::string StripComments(const std::string& script) {
    std::string out;
    out.reserve(script.size());
    int line = 1;
    bool inString = false;
    for (std::size_t i = 0; i < script.size(); ++i) {
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
            if (active() && !trimmed.empty()) lines->push_back(SourceLine{number, line});
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

enum class TokenKind { Name, Number, String, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::uint64_t value = 0;
    int line = 0;
};

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
            out->push_back(Token{TokenKind::String, value, 0, line});
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
        } else if (std::string(",|()-+~{}&").find(c) != std::string::npos) {
            out->push_back(Token{TokenKind::Punct, std::string(1, c), 0, line});
            ++i;
        } else {
            Fail(line, std::string("expected a name, number, string or punctuation, found '") + c + "'");
        }
    }
}

// Object-like macros replaced by their bodies, recursively. A budget of
// tokens keeps macros that double at every level from running for ever.
class Expander {
public:
    explicit Expander(const std::map<std::string, Macro>& macros) : macros_(macros) {}

    void Expand(const Token& token, int depth, std::vector<Token>* out) {
        if (--budget_ < 0) Fail(token.line, "expected macros that expand into less text");
        auto it = token.kind == TokenKind::Name ? macros_.find(token.text) : macros_.end();
        if (it == macros_.end() || it->second.functionLike) {
            out->push_back(token);
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
            Expand(part, depth + 1, out);
        }
    }

private:
    const std::map<std::string, Macro>& macros_;
    std::map<std::string, std::vector<Token>> bodies_;
    long budget_ = 200000;
};

// ---- Templates ----------------------------------------------------------------

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {
        int last = tokens_.empty() ? 1 : tokens_.back().line;
        tokens_.push_back(Token{TokenKind::End, "end of script", 0, last});
    }

    std::vector<DialogTemplate> Parse() {
        std::vector<DialogTemplate> dialogs;
        while (Peek().kind != TokenKind::End) {
            if (IsWord("LANGUAGE")) {
                Next();
                Value();
                Expect(",");
                Value();
                continue;
            }
            DialogTemplate dialog = Dialog();
            for (const DialogTemplate& other : dialogs) {
                if (other.id == dialog.id) Fail(dialogLine_, "expected a dialog id not used before");
            }
            dialogs.push_back(std::move(dialog));
        }
        return dialogs;
    }

private:
    const Token& Peek() const { return tokens_[pos_]; }
    const Token& Next() {
        const Token& token = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return token;
    }
    bool IsWord(const char* word) const { return Peek().kind == TokenKind::Name && Upper(Peek().text) == word; }
    bool IsPunct(const char* p) const { return Peek().kind == TokenKind::Punct && Peek().text == p; }
    std::string Found() const {
        const Token& t = Peek();
        if (t.kind == TokenKind::End) return "the end of the script";
        if (t.kind == TokenKind::String) return "\"" + t.text + "\"";
        return "'" + t.text + "'";
    }
    [[noreturn]] void Expected(const std::string& what) const {
        Fail(Peek().line, "expected " + what + ", found " + Found());
    }
    void Expect(const char* punct) {
        if (!IsPunct(punct)) Expected(std::string("'") + punct + "'");
        Next();
    }
    std::string String(const std::string& what) {
        if (Peek().kind != TokenKind::String) Expected(what);
        return Next().text;
    }

    // Value expressions: numbers and names joined by |, + and -, with unary
    // - and ~, parentheses, and NOT NAME which clears bits. Unsigned 32-bit
    // arithmetic, as rc does.
    struct Bits {
        std::uint32_t value = 0;
        std::uint32_t cleared = 0;
    };
    Bits Expression(int depth = 0) {
        if (depth > kMaxDepth) Fail(Peek().line, "expected a less deeply nested expression");
        Bits bits;
        for (;;) {
            if (IsWord("NOT")) {
                Next();
                std::uint32_t v = Unary(depth);
                bits.value &= ~v;
                bits.cleared |= v;
            } else {
                std::uint32_t v = Sum(depth);
                bits.value |= v;
                bits.cleared &= ~v;
            }
            if (!IsPunct("|")) return bits;
            Next();
        }
    }
    std::uint32_t Sum(int depth) {
        std::uint32_t value = Unary(depth);
        while (IsPunct("+") || IsPunct("-")) {
            bool plus = Next().text == "+";
            std::uint32_t right = Unary(depth);
            value = plus ? value + right : value - right;
        }
        return value;
    }
    std::uint32_t Unary(int depth) {
        if (depth > kMaxDepth) Fail(Peek().line, "expected a less deeply nested expression");
        if (IsPunct("-")) {
            Next();
            return 0u - Unary(depth + 1);
        }
        if (IsPunct("~")) {
            Next();
            return ~Unary(depth + 1);
        }
        if (IsPunct("(")) {
            Next();
            Bits inner = Expression(depth + 1);
            Expect(")");
            return inner.value;
        }
        if (Peek().kind == TokenKind::Number) return static_cast<std::uint32_t>(Next().value);
        if (Peek().kind == TokenKind::Name) {
            auto it = KnownNames().find(Peek().text);
            if (it != KnownNames().end()) {
                Next();
                return it->second;
            }
            Expected("a number or a known name");
        }
        Expected("a number or a name");
    }
    int Value() { return static_cast<int>(static_cast<std::int32_t>(Expression().value)); }

    DialogTemplate Dialog() {
        DialogTemplate dialog;
        dialogLine_ = Peek().line;
        if (Peek().kind != TokenKind::Number && !IsPunct("-") && !IsPunct("(")) {
            Expected(Peek().kind == TokenKind::Name ? "a dialog id that is a number or a #defined name"
                                                    : "a dialog template");
        }
        dialog.id = Value();
        if (!IsWord("DIALOGEX") && !IsWord("DIALOG")) Expected("DIALOGEX");
        Next();
        // Memory flags of 16-bit days, still accepted by rc.
        while (IsWord("DISCARDABLE") || IsWord("MOVEABLE") || IsWord("PURE") || IsWord("IMPURE") || IsWord("PRELOAD") ||
               IsWord("LOADONCALL") || IsWord("FIXED")) {
            Next();
        }
        dialog.x = Value();
        Expect(",");
        dialog.y = Value();
        Expect(",");
        dialog.width = Value();
        Expect(",");
        dialog.height = Value();
        if (IsPunct(",")) {  // help id
            Next();
            Value();
        }
        bool styled = false;
        for (;;) {
            if (IsWord("STYLE")) {
                Next();
                dialog.style = Expression().value;
                styled = true;
            } else if (IsWord("EXSTYLE")) {
                Next();
                dialog.exStyle = Expression().value;
            } else if (IsWord("CAPTION")) {
                Next();
                dialog.caption = String("the caption in quotes");
            } else if (IsWord("FONT")) {
                Next();
                dialog.fontSize = Value();
                Expect(",");
                dialog.fontFace = String("the font name in quotes");
                for (int extra = 0; extra < 3 && IsPunct(","); ++extra) {  // weight, italic, charset
                    Next();
                    Value();
                }
            } else if (IsWord("LANGUAGE")) {
                Next();
                Value();
                Expect(",");
                Value();
            } else if (IsWord("CHARACTERISTICS") || IsWord("VERSION")) {
                Next();
                Value();
            } else {
                break;
            }
        }
        if (!styled) dialog.style = WS_POPUP | WS_BORDER | WS_SYSMENU;  // rc's default
        if (!IsWord("BEGIN") && !IsPunct("{")) Expected("STYLE, EXSTYLE, CAPTION, FONT or BEGIN");
        Next();
        while (!IsWord("END") && !IsPunct("}")) {
            if (!IsWord("CONTROL")) Expected("CONTROL or END");
            dialog.controls.push_back(Control());
        }
        Next();
        return dialog;
    }

    ControlTemplate Control() {
        ControlTemplate control;
        control.line = Next().line;
        control.text = String("the control's text in quotes");
        Expect(",");
        control.id = Value();
        Expect(",");
        if (Peek().kind == TokenKind::String || Peek().kind == TokenKind::Name) {
            control.className = Next().text;
        } else {
            Expected("the control's class");
        }
        std::string upper = Upper(control.className);
        if (upper != "STATIC" && upper != "EDIT" && upper != "BUTTON") {
            Fail(control.line,
                 "expected the class \"Static\", \"Edit\" or \"Button\", found \"" + control.className + "\"");
        }
        Expect(",");
        Bits style = Expression();
        control.style = style.value;
        control.clearedStyle = style.cleared;
        Expect(",");
        control.x = Value();
        Expect(",");
        control.y = Value();
        Expect(",");
        control.width = Value();
        Expect(",");
        control.height = Value();
        if (IsPunct(",")) {
            Next();
            control.exStyle = Expression().value;
            if (IsPunct(",")) {  // help id
                Next();
                Value();
            }
        }
        return control;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int dialogLine_ = 0;
};

struct LoadedScript {
    std::vector<DialogTemplate> dialogs;
    std::string error;
};

LoadedScript& Loaded() {
    static LoadedScript loaded;
    return loaded;
}

}  // namespace

bool ParseResourceScript(const std::string& script, std::vector<DialogTemplate>* dialogs, std::string* error) {
    try {
        std::vector<SourceLine> lines;
        std::map<std::string, Macro> macros;
        Preprocess(script, &lines, &macros);
        std::vector<Token> tokens;
        Expander expander(macros);
        for (const SourceLine& line : lines) {
            std::vector<Token> raw;
            Tokenize(line.text, line.number, &raw);
            for (const Token& token : raw) expander.Expand(token, 0, &tokens);
        }
        std::vector<DialogTemplate> parsed = Parser(std::move(tokens)).Parse();
        if (dialogs != nullptr) *dialogs = std::move(parsed);
        if (error != nullptr) error->clear();
        return true;
    } catch (const Failure& failure) {
        if (error != nullptr) *error = failure.message;
        return false;
    }
}

void SetResourceScript(std::string script) {
    LoadedScript& loaded = Loaded();
    loaded.dialogs.clear();
    if (!ParseResourceScript(script, &loaded.dialogs, &loaded.error)) loaded.dialogs.clear();
}

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& dialog : Loaded().dialogs) {
        if (dialog.id == id) return &dialog;
    }
    return nullptr;
}

std::string ResourceScriptError() { return Loaded().error; }

}  // namespace sim
