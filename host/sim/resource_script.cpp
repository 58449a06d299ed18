// Reader of the DIALOGEX templates of a resource script: the small
// preprocessor the script needs (#define, #if family; resource_preprocessor),
// then the templates.
// It is fed hand-written and fuzzed text, so every path ends in a value or a
// line-numbered error; nothing recurses or loops without a bound.
#include "host/sim/resource_script.h"

#include "host/sim/resource_preprocessor.h"
#include "host/sim/sim.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

namespace sim {
namespace {

using rc::Expander;
using rc::Fail;
using rc::Failure;
using rc::kMaxDepth;
using rc::Macro;
using rc::Preprocess;
using rc::SourceLine;
using rc::Token;
using rc::Tokenize;
using rc::TokenKind;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

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
        tokens.reserve(script.size() / 8);
        Expander expander(macros);
        std::vector<Token> raw;
        for (const SourceLine& line : lines) {
            raw.clear();
            Tokenize(line.text, line.number, &raw);
            for (Token& token : raw) expander.Expand(std::move(token), 0, &tokens);
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
