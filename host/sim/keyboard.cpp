// The keyboard in the simulated dialogs and message boxes, by the rules of
// Windows' dialog manager (IsDialogMessage, DM_GETDEFID, WM_NEXTDLGCTL) and
// of its single-line edit control. Where Wine and these rules were seen to
// differ, Wine's way is the one built here.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "host/sim/world.h"

namespace sim::detail {
namespace {

bool Takes(const Window* control) { return control != nullptr && control->visible && control->enabled; }

// GetNextDlgGroupItem: the group runs from the nearest WS_GROUP control at
// or before `from` to the control before the next WS_GROUP one; the next (or
// previous) visible, enabled control in it, wrapping; `from` when none.
HWND NextInGroup(const Window& dialog, HWND from, bool previous) {
    const std::vector<HWND>& list = dialog.controls;
    std::size_t at = 0;
    while (at < list.size() && list[at] != from) ++at;
    if (at == list.size()) return from;
    std::size_t first = at;
    while (first > 0) {
        Window* control = WindowObject(list[first]);
        if (control != nullptr && (control->style & WS_GROUP) != 0) break;
        --first;
    }
    std::size_t last = at;
    while (last + 1 < list.size()) {
        Window* control = WindowObject(list[last + 1]);
        if (control != nullptr && (control->style & WS_GROUP) != 0) break;
        ++last;
    }
    const std::size_t size = last - first + 1;
    for (std::size_t n = 1; n < size; ++n) {
        std::size_t offset = at - first;
        std::size_t i = first + (previous ? (offset + size - n) % size : (offset + n) % size);
        if (Takes(WindowObject(list[i]))) return list[i];
    }
    return from;
}

// Tab into a group of radio buttons lands on its checked one.
Window* CheckedRadioOfGroup(const Window& dialog, Window* landing) {
    if (landing == nullptr || landing->kind != "radio" || landing->state == BST_CHECKED) return landing;
    HWND start = landing->handle;
    for (HWND at = NextInGroup(dialog, start, false); at != start; at = NextInGroup(dialog, at, false)) {
        Window* control = WindowObject(at);
        if (control == nullptr) break;
        if (control->kind == "radio" && control->state == BST_CHECKED) return control;
    }
    return landing;
}

// The character after the caption's mnemonic '&' ("&&" is a plain '&'), or 0.
char Mnemonic(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return text[i + 1];
    }
    return 0;
}

// DIALOG_IsAccelerator: from the focused control on, wrapping, the first
// visible, enabled button, group box or static text whose mnemonic is the
// letter. A button is clicked; a group box or static text hands the focus
// to the tab stop after it.
bool RunMnemonic(Window& dialog, char letter) {
    const std::vector<HWND>& list = dialog.controls;
    if (list.empty()) return false;
    std::size_t start = 0;
    while (start < list.size() && list[start] != dialog.focus) ++start;
    if (start == list.size()) start = 0;
    const int wanted = std::toupper(static_cast<unsigned char>(letter));
    for (std::size_t n = 0; n < list.size(); ++n) {
        Window* control = WindowObject(list[(start + n) % list.size()]);
        if (!Takes(control) || control->kind == "edit") continue;
        char mark = Mnemonic(control->text);
        if (mark == 0 || std::toupper(static_cast<unsigned char>(mark)) != wanted) continue;
        if (control->kind == "static" || control->kind == "groupbox") {
            MoveFocus(dialog, control);
            MoveFocus(dialog, WindowObject(NextTabStop(dialog, control->handle, false)));
        } else {
            ClickControl(dialog, *control);
        }
        return true;
    }
    return false;
}

void Command(Window& dialog, int id) {
    SendMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog.handle, id)));
}

// The command Enter sends: the focused push button when it is the default
// one, else the dialog's DM_GETDEFID answer (none when that button is
// disabled; a default id without a control is still sent), else IDOK.
std::optional<int> EnterCommandOf(Window& dialog) {
    Window* focus = WindowObject(dialog.focus);
    if (focus != nullptr && IsPushButton(*focus) && (focus->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return focus->id;
    LRESULT defId = SendMessageA(dialog.handle, DM_GETDEFID, 0, 0);
    if (HIWORD(defId) == DC_HASDEFID) {
        Window* button = ControlObject(dialog.handle, LOWORD(defId));
        if (button == nullptr || button->enabled) return static_cast<int>(LOWORD(defId));
        return std::nullopt;
    }
    return IDOK;
}

void Enter(Window& dialog) {
    if (std::optional<int> id = EnterCommandOf(dialog)) Command(dialog, *id);
}

void Arrow(Window& dialog, int key) {
    const bool previous = key == VK_LEFT || key == VK_UP;
    HWND from = dialog.focus;
    if (from == nullptr) return;
    Window* next = WindowObject(NextInGroup(dialog, from, previous));
    if (next == nullptr) return;
    if (next->kind == "radio") {
        dialog.focus = next->handle;
        if ((next->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON && next->state != BST_CHECKED)
            ClickControl(dialog, *next);
        return;
    }
    MoveFocus(dialog, next);
}

void Changed(Window& dialog, Window& edit) {
    SendMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(edit.id, EN_CHANGE), reinterpret_cast<LPARAM>(edit.handle));
}

// Replaces the selection with `text` when the edit's limit leaves room.
void ReplaceSelection(Window& dialog, Window& edit, const std::string& text) {
    const int length = static_cast<int>(edit.text.size());
    int from = std::clamp(std::min(edit.anchor, edit.caret), 0, length);
    int to = std::clamp(std::max(edit.anchor, edit.caret), 0, length);
    const long long after = static_cast<long long>(length) - (to - from) + static_cast<long long>(text.size());
    if (!text.empty() && after > edit.limit) return;  // the edit beeps
    if (text.empty() && from == to) return;
    edit.text.replace(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from), text);
    edit.anchor = edit.caret = from + static_cast<int>(text.size());
    Changed(dialog, edit);
}

void MoveCaret(Window& edit, int to, bool extend) {
    edit.caret = std::clamp(to, 0, static_cast<int>(edit.text.size()));
    if (!extend) edit.anchor = edit.caret;
}

// Keys a focused single-line edit takes for itself; false for the others.
bool EditKey(Window& dialog, Window& edit, const KeyStroke& key) {
    const int length = static_cast<int>(edit.text.size());
    const bool hasSelection = edit.anchor != edit.caret;
    switch (key.key) {
        case VK_LEFT:
        case VK_UP:
            MoveCaret(edit, edit.caret - 1, key.shift);
            return true;
        case VK_RIGHT:
        case VK_DOWN:
            MoveCaret(edit, edit.caret + 1, key.shift);
            return true;
        case VK_HOME:
            MoveCaret(edit, 0, key.shift);
            return true;
        case VK_END:
            MoveCaret(edit, length, key.shift);
            return true;
        case VK_BACK:
            if (!hasSelection && edit.caret > 0) edit.anchor = edit.caret - 1;
            ReplaceSelection(dialog, edit, "");
            return true;
        case VK_DELETE:
            if (!hasSelection && edit.caret < length) edit.anchor = edit.caret + 1;
            ReplaceSelection(dialog, edit, "");
            return true;
        default:
            break;
    }
    if (key.character == 0 || key.alt) return false;
    const unsigned char c = static_cast<unsigned char>(key.character);
    if ((edit.style & ES_NUMBER) != 0 && !std::isdigit(c)) return true;  // refused with a beep
    ReplaceSelection(dialog, edit, std::string(1, key.character));
    return true;
}

}  // namespace
}  // namespace sim::detail

namespace sim {

using namespace detail;

std::string PressKey(HWND dialog, const KeyStroke& key) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return "there is no such dialog";
    if (owner->ended) return "dialog " + std::to_string(owner->templateId) + " has already ended";
    Window* focus = WindowObject(owner->focus);
    if (key.alt) {
        if (key.key != 0) RunMnemonic(*owner, static_cast<char>(key.key));
        return "";
    }
    if (focus != nullptr && focus->kind == "edit" && key.key != VK_TAB && key.key != VK_RETURN &&
        key.key != VK_ESCAPE && EditKey(*owner, *focus, key)) {
        return "";
    }
    switch (key.key) {
        case VK_TAB:
            MoveFocus(*owner, CheckedRadioOfGroup(*owner, WindowObject(NextTabStop(*owner, owner->focus, key.shift))));
            return "";
        case VK_RETURN:
            Enter(*owner);
            return "";
        case VK_ESCAPE:
            Command(*owner, IDCANCEL);
            return "";
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            Arrow(*owner, key.key);
            return "";
        case VK_SPACE:
            // The focused button takes Space itself, even one hidden since it
            // took the focus.
            if (focus != nullptr && focus->enabled && focus->kind != "static" && focus->kind != "edit" &&
                focus->kind != "groupbox") {
                ClickControl(*owner, *focus);
            }
            return "";
        default:
            break;
    }
    // A letter or digit where no edit takes it is a mnemonic.
    if (key.key != 0 && std::isalnum(key.key)) RunMnemonic(*owner, static_cast<char>(key.key));
    return "";
}

std::optional<int> EnterCommand(HWND dialog) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr || owner->ended) return std::nullopt;
    return EnterCommandOf(*owner);
}

int DefaultButton(HWND dialog) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return 0;
    for (HWND handle : owner->controls) {
        Window* control = WindowObject(handle);
        if (control != nullptr && IsPushButton(*control) && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return control->id;
    }
    return 0;
}

namespace {

struct BoxButton {
    int id;
    char mnemonic;
};

// The buttons of a box, left to right, with the letters Windows gives them.
std::vector<BoxButton> BoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{IDOK, 0}, {IDCANCEL, 0}};
        case MB_YESNO:
            return {{IDYES, 'Y'}, {IDNO, 'N'}};
        default:
            return {{IDOK, 0}};
    }
}

}  // namespace

std::string PressMessageBoxKeys(const MessageBoxInfo& box, const std::vector<KeyStroke>& keys, int* answer) {
    *answer = 0;
    const std::vector<BoxButton> buttons = BoxButtons(box.type);
    const bool hasCancel = (box.type & MB_TYPEMASK) == MB_OKCANCEL;
    const bool okOnly = (box.type & MB_TYPEMASK) == MB_OK;
    std::size_t focus = 0;  // the first button is the default one
    for (std::size_t i = 0; i < keys.size() && *answer == 0; ++i) {
        const KeyStroke& key = keys[i];
        if (i > 0 && *answer != 0) break;
        switch (key.key) {
            case VK_RETURN:
            case VK_SPACE:
                *answer = buttons[focus].id;
                break;
            case VK_ESCAPE:
                // Escape is Cancel where there is one, and OK in a box with OK
                // alone. Wine closes a Yes/No box too (Windows would not), and
                // the box then answers anything but Yes: No here.
                *answer = hasCancel ? IDCANCEL : okOnly ? IDOK : IDNO;
                break;
            case VK_TAB:
                focus = (focus + (key.shift ? buttons.size() - 1 : 1)) % buttons.size();
                break;
            case VK_LEFT:
            case VK_UP:
                focus = (focus + buttons.size() - 1) % buttons.size();
                break;
            case VK_RIGHT:
            case VK_DOWN:
                focus = (focus + 1) % buttons.size();
                break;
            default:
                for (const BoxButton& button : buttons) {
                    if (button.mnemonic != 0 && key.key == button.mnemonic) *answer = button.id;
                }
                break;
        }
        if (*answer != 0 && i + 1 < keys.size()) {
            *answer = 0;
            return "the message box closes at " + KeyStrokeName(key) + ", before the keys after it";
        }
    }
    if (*answer == 0) return "the keys leave the message box \"" + box.text + "\" open";
    return "";
}

}  // namespace sim
