// Session script parser: a tokenizer for one line and one small grammar per
// action. Every error names the file, the line and what was expected.
#include "host/session/script.h"

#include <cctype>
#include <cstdint>
#include <sstream>

#include "host/document/document.h"

namespace session {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Splits a line into words and quoted strings; '#' outside a string ends it.
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* source, std::string* error) {
    std::size_t i = 0;
    std::size_t end = 0;  // end of the last token, to cut the comment off the source text
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == '#') break;
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size()) break;
                    char e = line[i++];
                    if (e != '"' && e != '\\') {
                        *error = std::string("unknown escape \\") + e + " in a string (only \\\" and \\\\ are known)";
                        return false;
                    }
                    d = e;
                }
                token.text += d;
            }
            if (!closed) {
                *error = "a string is not closed (expected a '\"' before the end of the line)";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n' &&
                   line[i] != '#' && line[i] != '"') {
                token.text += line[i++];
            }
        }
        end = i;
        tokens->push_back(token);
    }
    *source = line.substr(0, end);
    std::size_t first = source->find_first_not_of(" \t");
    *source = first == std::string::npos ? std::string() : source->substr(first);
    return true;
}

bool ParseNumberText(const std::string& text, long long* out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return false;
    unsigned long long value = 0;
    for (; i < text.size(); ++i) {
        int digit;
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        } else {
            return false;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFFFull) return false;  // far beyond any field; stops overflow
    }
    *out = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    return true;
}

bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>* out) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.size() % 2 != 0) return false;
    out->clear();
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        out->push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return true;
}

class LineParser {
public:
    LineParser(const std::vector<Token>& tokens, std::string where) : tokens_(tokens), where_(std::move(where)) {}

    std::string error;
    std::string verb;  // "click", "expect text", ... for messages

    bool AtEnd() const { return next_ >= tokens_.size(); }
    bool NextIsWord() const { return !AtEnd() && !tokens_[next_].quoted; }

    bool Number(const char* what, long long min, long long max, long long* out) {
        if (AtEnd() || tokens_[next_].quoted || !ParseNumberText(tokens_[next_].text, out)) {
            return Fail(std::string(what) + " (a decimal or 0x number)");
        }
        if (*out < min || *out > max) {
            return Fail(std::string(what) + " from " + std::to_string(min) + " to " + std::to_string(max));
        }
        ++next_;
        return true;
    }
    bool Numbers(std::initializer_list<const char*> whats, long long min, long long max, std::vector<long long>* out) {
        for (const char* what : whats) {
            long long value = 0;
            if (!Number(what, min, max, &value)) return false;
            out->push_back(value);
        }
        return true;
    }
    bool String(const char* what, std::string* out) {
        if (AtEnd() || !tokens_[next_].quoted) return Fail(std::string(what) + " in double quotes");
        *out = tokens_[next_++].text;
        return true;
    }
    // A bare word or a quoted one (value names, tags).
    bool Name(const char* what, std::string* out) {
        if (AtEnd()) return Fail(what);
        *out = tokens_[next_++].text;
        return true;
    }
    // One of the given words, case-insensitive; returns its index.
    bool Choice(const char* what, std::initializer_list<const char*> words, int* index) {
        if (!AtEnd() && !tokens_[next_].quoted) {
            std::string word = Lower(tokens_[next_].text);
            int i = 0;
            for (const char* candidate : words) {
                if (word == Lower(candidate)) {
                    *index = i;
                    ++next_;
                    return true;
                }
                ++i;
            }
        }
        std::string list;
        for (const char* candidate : words) list += (list.empty() ? "" : "|") + std::string(candidate);
        return Fail(std::string(what) + " (" + list + ")");
    }
    bool Hex(const char* what, std::vector<std::uint8_t>* out) {
        if (AtEnd() || !tokens_[next_].quoted || !ParseHexBytes(tokens_[next_].text, out)) {
            return Fail(std::string(what) + " as hex bytes in double quotes, such as \"0900 0000\"");
        }
        ++next_;
        return true;
    }
    bool End() {
        if (AtEnd()) return true;
        error = where_ + ": " + verb + ": unexpected " + Describe() + " after the action";
        return false;
    }
    bool Fail(const std::string& expected) {
        error = where_ + ": " + (verb.empty() ? "" : verb + ": ") + "expected " + expected + ", got " + Describe();
        return false;
    }
    bool FailAt(const std::string& message) {
        error = where_ + ": " + verb + ": " + message;
        return false;
    }

private:
    std::string Describe() const {
        if (AtEnd()) return "the end of the line";
        return "\"" + tokens_[next_].text + "\"";
    }

    const std::vector<Token>& tokens_;
    std::string where_;
    std::size_t next_ = 0;
};

constexpr long long kInt16Min = -32768;
constexpr long long kInt16Max = 32767;
constexpr long long kInt32Min = -2147483648LL;
constexpr long long kInt32Max = 2147483647LL;
constexpr long long kUint32Max = 0xFFFFFFFFLL;

bool ParseTagAndKey(LineParser& p, Action* a) {
    std::string tagText;
    if (!p.Name("a record tag (four characters or 0x hex)", &tagText)) return false;
    std::optional<std::uint32_t> tag = host::ParseTag(tagText);
    if (!tag) return p.FailAt("\"" + tagText + "\" is not a tag (four characters or 0x hex)");
    a->tag = *tag;
    while (p.NextIsWord() && a->numbers.size() < 3) {
        long long key = 0;
        if (!p.Number("a key number", kInt16Min, 0xFFFF, &key)) return false;
        a->numbers.push_back(key);
    }
    if (a->numbers.empty()) return p.Fail("one to three key numbers");
    return true;
}

bool ParseExpect(LineParser& p, Action* a) {
    int which = 0;
    if (!p.Choice(
            "what to expect",
            {"text", "state", "visible", "enabled", "color", "message", "no-message", "message-count", "record",
             "record-hex", "entry", "note", "result", "dialog", "focus", "dialog-pos", "leaks", "hive", "default"},
            &which)) {
        return false;
    }
    static const ActionKind kinds[] = {
        ActionKind::ExpectText,      ActionKind::ExpectState,        ActionKind::ExpectVisible,
        ActionKind::ExpectEnabled,   ActionKind::ExpectColor,        ActionKind::ExpectMessage,
        ActionKind::ExpectNoMessage, ActionKind::ExpectMessageCount, ActionKind::ExpectRecord,
        ActionKind::ExpectRecordHex, ActionKind::ExpectEntry,        ActionKind::ExpectNote,
        ActionKind::ExpectResult,    ActionKind::ExpectDialogOpen,   ActionKind::ExpectFocus,
        ActionKind::ExpectDialogPos, ActionKind::ExpectLeaks,        ActionKind::ExpectHive,
        ActionKind::ExpectDefault};
    static const char* const names[] = {"text",       "state",      "visible",       "enabled", "color",
                                        "message",    "no-message", "message-count", "record",  "record-hex",
                                        "entry",      "note",       "result",        "dialog",  "focus",
                                        "dialog-pos", "leaks",      "hive",          "default"};
    a->kind = kinds[which];
    p.verb = std::string("expect ") + names[which];
    long long n = 0;
    switch (a->kind) {
        case ActionKind::ExpectText:
            return p.Number("a control id", kInt16Min, 0xFFFF, &n) && (a->numbers.push_back(n), true) &&
                   p.String("the control's text", &a->text);
        case ActionKind::ExpectState:
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers) &&
                   p.Numbers({"a check state"}, 0, 2, &a->numbers);
        case ActionKind::ExpectVisible:
        case ActionKind::ExpectEnabled:
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers) &&
                   p.Numbers({"a flag"}, 0, 1, &a->numbers);
        case ActionKind::ExpectColor:
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers) &&
                   p.Numbers({"red", "green", "blue"}, 0, 255, &a->numbers);
        case ActionKind::ExpectMessage: {
            int icon = 0;
            int buttons = 0;
            if (!p.String("the message text", &a->text) || !p.String("the message caption", &a->caption) ||
                !p.Choice("the icon", {"error", "warning", "information"}, &icon) ||
                !p.Choice("the buttons", {"ok", "yesno", "okcancel"}, &buttons)) {
                return false;
            }
            static const long long icons[] = {MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION};
            static const long long buttonTypes[] = {MB_OK, MB_YESNO, MB_OKCANCEL};
            a->numbers = {icons[icon], buttonTypes[buttons]};
            return true;
        }
        case ActionKind::ExpectNoMessage:
        case ActionKind::ExpectDialogClosed:
            return true;
        case ActionKind::ExpectMessageCount:
            return p.Numbers({"a number of message boxes"}, 0, kInt32Max, &a->numbers);
        case ActionKind::ExpectRecord:
            return ParseTagAndKey(p, a) && p.String("the record's text", &a->text);
        case ActionKind::ExpectRecordHex:
            return ParseTagAndKey(p, a) && p.Hex("the record's bytes", &a->bytes);
        case ActionKind::ExpectEntry:
            return p.Numbers({"a staff", "a measure"}, kInt16Min, kInt16Max, &a->numbers) &&
                   p.Numbers({"a layer"}, 0, 3, &a->numbers) &&
                   p.Numbers({"an entry index"}, 0, kInt16Max, &a->numbers) &&
                   p.Numbers({"flagsA"}, 0, kUint32Max, &a->numbers) && p.Numbers({"flagsB"}, 0, 0xFFFF, &a->numbers);
        case ActionKind::ExpectNote:
            return p.Numbers({"a staff", "a measure"}, kInt16Min, kInt16Max, &a->numbers) &&
                   p.Numbers({"a layer"}, 0, 3, &a->numbers) &&
                   p.Numbers({"an entry index"}, 0, kInt16Max, &a->numbers) &&
                   p.Numbers({"a note index"}, 0, kMaxNotesPerEntry - 1, &a->numbers) &&
                   p.Numbers({"a displacement", "a raise/lower value"}, kInt16Min, kInt16Max, &a->numbers) &&
                   p.Numbers({"the note flags"}, 0, kUint32Max, &a->numbers);
        case ActionKind::ExpectResult:
            return p.Numbers({"a result"}, kInt32Min, kUint32Max, &a->numbers);
        case ActionKind::ExpectDialogOpen: {
            int state = 0;
            if (!p.Choice("the dialog's state", {"open", "closed"}, &state)) return false;
            if (state == 1) {
                a->kind = ActionKind::ExpectDialogClosed;
                return true;
            }
            return p.Numbers({"a dialog template id"}, 0, 0xFFFF, &a->numbers);
        }
        case ActionKind::ExpectFocus:
        case ActionKind::ExpectDefault:
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers);
        case ActionKind::ExpectDialogPos:
            return p.Numbers({"x", "y"}, kInt32Min, kInt32Max, &a->numbers);
        case ActionKind::ExpectLeaks: {
            int none = 0;
            return p.Choice("what leaks", {"none"}, &none);
        }
        case ActionKind::ExpectHive:
            return p.Name("a registry value name", &a->text) && p.Hex("the value's bytes", &a->bytes);
        default:
            return false;
    }
}

// Key names, or a string whose characters are typed one key each.
bool ParseKeys(LineParser& p, Action* a) {
    while (!p.AtEnd()) {
        if (!p.NextIsWord()) {
            std::string text;
            if (!p.String("a string to type", &text)) return false;
            if (text.empty()) return p.FailAt("an empty string types no key");
            for (const sim::KeyStroke& stroke : sim::KeyStrokesTyping(text)) a->keys.push_back(stroke);
            continue;
        }
        std::string name;
        p.Name("a key", &name);
        sim::KeyStroke stroke;
        std::string why;
        if (!sim::ParseKeyStroke(name, &stroke, &why)) return p.FailAt(why);
        a->keys.push_back(stroke);
    }
    if (a->keys.empty()) return p.Fail("one or more keys (Enter, Escape, Tab, Shift+Tab, Space, Up, Alt+R, a...)");
    return true;
}

bool ParseTokens(LineParser& p, Action* a) {
    int which = 0;
    if (!p.Choice("an action",
                  {"invoke", "type", "click", "state", "close", "answer", "cancel-at", "fail-alloc", "fail-registry",
                   "reload", "syscolor", "expect", "key"},
                  &which)) {
        return false;
    }
    static const char* const verbs[] = {"invoke",   "type",      "click",      "state",         "close",
                                        "answer",   "cancel-at", "fail-alloc", "fail-registry", "reload",
                                        "syscolor", "expect",    "key"};
    p.verb = verbs[which];
    switch (which) {
        case 0: {
            a->kind = ActionKind::Invoke;
            if (!p.Numbers({"a command number"}, kInt16Min, kInt16Max, &a->numbers)) return false;
            if (p.AtEnd()) return true;
            int region = 0;
            if (!p.Choice("\"region\" or the end of the line", {"region"}, &region)) return false;
            std::vector<long long> v;
            if (!p.Numbers({"the first staff", "the first measure"}, kInt16Min, kInt16Max, &v) ||
                !p.Numbers({"the start position"}, kInt32Min, kInt32Max, &v) ||
                !p.Numbers({"the last staff", "the last measure"}, kInt16Min, kInt16Max, &v) ||
                !p.Numbers({"the end position"}, kInt32Min, kInt32Max, &v)) {
                return false;
            }
            a->hasRegion = true;
            a->region.firstStaff = static_cast<std::int16_t>(v[0]);
            a->region.firstMeasure = static_cast<std::int16_t>(v[1]);
            a->region.startPosition = static_cast<std::int32_t>(v[2]);
            a->region.lastStaff = static_cast<std::int16_t>(v[3]);
            a->region.lastMeasure = static_cast<std::int16_t>(v[4]);
            a->region.endPosition = static_cast<std::int32_t>(v[5]);
            return true;
        }
        case 1:
            a->kind = ActionKind::Type;
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers) && p.String("the text", &a->text);
        case 2:
            a->kind = ActionKind::Click;
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers);
        case 3:
            a->kind = ActionKind::State;
            return p.Numbers({"a control id"}, kInt16Min, 0xFFFF, &a->numbers) &&
                   p.Numbers({"a check state"}, 0, 2, &a->numbers);
        case 4:
            a->kind = ActionKind::Close;
            return true;
        case 5: {
            a->kind = ActionKind::Answer;
            int answer = 0;
            if (!p.Choice("a button", {"Yes", "No", "OK", "Cancel"}, &answer)) return false;
            static const int answers[] = {IDYES, IDNO, IDOK, IDCANCEL};
            a->answer = answers[answer];
            return true;
        }
        case 6:
            a->kind = ActionKind::CancelAt;
            return p.Numbers({"the number of the progress call"}, 0, kInt32Max, &a->numbers);
        case 7:
            a->kind = ActionKind::FailAlloc;
            return p.Numbers({"the number of the allocation"}, 0, kInt32Max, &a->numbers);
        case 8: {
            a->kind = ActionKind::FailRegistry;
            int what = 0;
            if (!p.Choice("which registry call", {"open", "create", "close"}, &what)) return false;
            static const sim::RegistryFailure failures[] = {sim::RegistryFailure::Open, sim::RegistryFailure::Create,
                                                            sim::RegistryFailure::Close};
            a->registryFailure = failures[what];
            return true;
        }
        case 9:
            a->kind = ActionKind::Reload;
            return true;
        case 10: {
            a->kind = ActionKind::SysColor;
            int which_colour = 0;
            if (!p.Choice("a system colour", {"btnface", "window", "windowtext", "graytext"}, &which_colour)) {
                return false;
            }
            static const long long indexes[] = {COLOR_BTNFACE, COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_GRAYTEXT};
            a->numbers.push_back(indexes[which_colour]);
            return p.Numbers({"red", "green", "blue"}, 0, 255, &a->numbers);
        }
        case 12:
            a->kind = ActionKind::Key;
            return ParseKeys(p, a);
        default:
            return ParseExpect(p, a);
    }
}

}  // namespace

bool ParseScriptLine(const std::string& line, const std::string& file, int lineNumber, Action* out, bool* empty,
                     std::string* error) {
    std::string where = file + ":" + std::to_string(lineNumber);
    std::vector<Token> tokens;
    std::string source;
    std::string tokenError;
    if (!Tokenize(line, &tokens, &source, &tokenError)) {
        *error = where + ": " + tokenError;
        return false;
    }
    *empty = tokens.empty();
    if (*empty) return true;
    Action action;
    action.file = file;
    action.line = lineNumber;
    action.source = source;
    LineParser parser(tokens, where);
    if (!ParseTokens(parser, &action) || !parser.End()) {
        *error = parser.error;
        return false;
    }
    *out = std::move(action);
    return true;
}

bool ParseScript(const std::string& text, const std::string& file, Script* out, std::string* error) {
    Script script;
    script.file = file;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        Action action;
        bool empty = false;
        if (!ParseScriptLine(line, file, number, &action, &empty, error)) return false;
        if (!empty) script.actions.push_back(std::move(action));
    }
    script.lineCount = number;
    *out = std::move(script);
    return true;
}

const char* ScriptActionSummary() {
    return "invoke N [region S1 M1 P1 S2 M2 P2]   run command N (0 note entries, 1 text)\n"
           "type ID \"text\"                        replace an edit's text\n"
           "click ID                              press a button, check box or radio button\n"
           "state ID N                            click a check box until its state is N (0, 1, 2)\n"
           "close                                 the open dialog's close box\n"
           "key KEY... | key \"text\"               press keys in the open dialog or message box: Enter, Escape,\n"
           "                                      Tab, Shift+Tab, Space, Up, Down, Left, Right, Home, End,\n"
           "                                      Backspace, Delete, Alt+X, a letter; a string types its letters\n"
           "answer Yes|No|OK|Cancel               answer the next message box\n"
           "cancel-at N                           the N-th mass edit progress call stops the edit\n"
           "fail-alloc N                          the N-th allocation of the plug-in fails\n"
           "fail-registry open|create|close       the next registry open, create or close fails\n"
           "reload                                terminate and re-initialise the plug-in\n"
           "syscolor btnface|window|windowtext|graytext R G B   change a system colour\n"
           "expect text ID \"text\"                 expect state ID N      expect visible ID 0|1\n"
           "expect enabled ID 0|1                 expect color ID R G B  expect focus ID\n"
           "expect default ID                     the push button drawn as the default one (0: none)\n"
           "expect message \"text\" \"caption\" error|warning|information ok|yesno|okcancel\n"
           "expect no-message                     expect message-count N\n"
           "expect record TAG KEY... \"text\"       expect record-hex TAG KEY... \"hex\"\n"
           "expect entry S M L I flagsA flagsB    expect note S M L I N disp rl flags\n"
           "expect result N                       expect dialog open ID | expect dialog closed\n"
           "expect dialog-pos X Y                 expect leaks none\n"
           "expect hive VALUE \"hex\"\n";
}

}  // namespace session
