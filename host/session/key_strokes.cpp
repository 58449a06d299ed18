// Key names as scripts and people write them. Both window systems read keys
// the same way, so this lives with the session rather than with either.
#include <windows.h>

#include <cctype>
#include <string>
#include <string_view>

#include "host/sim/sim.h"

namespace sim {

namespace {

struct NamedKey {
    const char* name;
    int key;
    char character;
};

constexpr NamedKey kNamedKeys[] = {
    {"enter", VK_RETURN, 0},   {"return", VK_RETURN, 0}, {"escape", VK_ESCAPE, 0}, {"esc", VK_ESCAPE, 0},
    {"tab", VK_TAB, 0},        {"space", VK_SPACE, ' '}, {"up", VK_UP, 0},         {"down", VK_DOWN, 0},
    {"left", VK_LEFT, 0},      {"right", VK_RIGHT, 0},   {"home", VK_HOME, 0},     {"end", VK_END, 0},
    {"backspace", VK_BACK, 0}, {"delete", VK_DELETE, 0}, {"del", VK_DELETE, 0},
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The key of one typed character: letters and digits have their own virtual
// key (and are mnemonics); other printable characters only type.
KeyStroke Typing(char c) {
    KeyStroke stroke;
    stroke.character = c;
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
        stroke.key = std::toupper(u);
        stroke.shift = std::isupper(u) != 0;
    } else if (std::isdigit(u)) {
        stroke.key = c;
    } else if (c == ' ') {
        stroke.key = VK_SPACE;
    }
    return stroke;
}

}  // namespace

bool ParseKeyStroke(std::string_view text, KeyStroke* out, std::string* error) {
    KeyStroke stroke;
    std::string_view rest = text;
    // Modifiers first: "Shift+", "Alt+", in any order, once each.
    for (;;) {
        std::size_t plus = rest.find('+');
        if (plus == std::string_view::npos || plus == 0 || plus + 1 >= rest.size()) break;
        std::string modifier = Lower(rest.substr(0, plus));
        if (modifier == "shift" && !stroke.shift) {
            stroke.shift = true;
        } else if (modifier == "alt" && !stroke.alt) {
            stroke.alt = true;
        } else if (modifier == "ctrl" || modifier == "control") {
            *error = "\"" + std::string(text) + "\": Ctrl is not a key the dialogs answer to";
            return false;
        } else {
            break;
        }
        rest = rest.substr(plus + 1);
    }
    if (rest.size() == 1 && std::isprint(static_cast<unsigned char>(rest[0])) && rest[0] != ' ') {
        KeyStroke typed = Typing(rest[0]);
        // Shift+a types 'A'; Alt+letter is a mnemonic, which is the same key
        // whatever its case.
        if (stroke.shift && std::isalpha(static_cast<unsigned char>(rest[0])))
            typed.character = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        typed.shift = typed.shift || stroke.shift;
        typed.alt = stroke.alt;
        if (typed.alt && typed.key == 0) {
            *error = "\"" + std::string(text) + "\": Alt goes with a letter or a digit";
            return false;
        }
        *out = typed;
        return true;
    }
    std::string name = Lower(rest);
    for (const NamedKey& known : kNamedKeys) {
        if (name != known.name) continue;
        stroke.key = known.key;
        stroke.character = known.character;
        if (stroke.alt) {
            *error = "\"" + std::string(text) + "\": Alt goes with a letter or a digit";
            return false;
        }
        *out = stroke;
        return true;
    }
    *error = "\"" + std::string(text) +
             "\" is not a key (Enter, Escape, Tab, Space, Up, Down, Left, Right, Home, End, Backspace, Delete, a "
             "character, with Shift+ or Alt+ before it)";
    return false;
}

std::vector<KeyStroke> KeyStrokesTyping(std::string_view text) {
    std::vector<KeyStroke> strokes;
    for (char c : text) strokes.push_back(Typing(c));
    return strokes;
}

std::string KeyStrokeName(const KeyStroke& key) {
    std::string prefix = std::string(key.alt ? "Alt+" : "");
    for (const NamedKey& known : kNamedKeys) {
        if (known.key == key.key && key.key != 0 && (key.character == 0 || key.key == VK_SPACE)) {
            std::string name = known.name;
            name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
            return prefix + (key.shift ? "Shift+" : "") + name;
        }
    }
    if (key.character != 0) return prefix + std::string(1, key.character);
    if (key.key != 0) return prefix + std::string(1, static_cast<char>(key.key));
    return "(no key)";
}

}  // namespace sim
