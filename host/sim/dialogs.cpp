// Modal dialogs built from the resource script, and the dialog half of the
// host services over them.
#include <cstdio>
#include <string>

#include "host/sim/resource_script.h"
#include "host/sim/world.h"

namespace sim::detail {
namespace {

RECT DialogUnitsToPixels(int x, int y, int width, int height) {
    int left = MulDiv(x, 6, 4), top = MulDiv(y, 13, 8);
    return RECT{left, top, left + MulDiv(width, 6, 4), top + MulDiv(height, 13, 8)};
}

Window* FindDefButton(const Window& dialog);

HWND BuildDialog(const DialogTemplate& layout, HS_DialogProc proc, HWND host) {
    auto dialog = std::make_unique<Window>();
    dialog->type = WindowType::Dialog;
    dialog->parent = host;
    dialog->proc = dialog->originalProc = DialogProc;
    dialog->dialogProc = proc;
    dialog->templateId = layout.id;
    dialog->text = layout.caption;
    dialog->enabled = (layout.style & WS_DISABLED) == 0;
    int originX = 0, originY = 0;
    if (Window* owner = WindowObject(host)) {
        originX = owner->rect.left;
        originY = owner->rect.top;
    }
    RECT client = DialogUnitsToPixels(layout.x, layout.y, layout.width, layout.height);
    dialog->rect = RECT{originX + client.left, originY + client.top, originX + client.right + 2 * kFrame,
                        originY + client.bottom + 2 * kFrame + kCaption};
    // The default id starts as IDOK, as in Windows' dialog manager, unless
    // the template names a default push button.
    dialog->defId = IDOK;
    HWND handle = AddWindow(std::move(dialog));

    for (const ControlTemplate& item : layout.controls) {
        auto control = std::make_unique<Window>();
        control->type = WindowType::Control;
        control->parent = handle;
        control->proc = control->originalProc = ControlProc;
        control->id = item.id;
        control->kind = ControlKind(item.className, item.style);
        control->text = item.text;
        // rc gives every control WS_CHILD | WS_VISIBLE unless NOT takes them away.
        control->style = ((WS_CHILD | WS_VISIBLE) & ~item.clearedStyle) | item.style;
        control->visible = (control->style & WS_VISIBLE) != 0;
        control->enabled = (control->style & WS_DISABLED) == 0;
        control->rect = DialogUnitsToPixels(item.x, item.y, item.width, item.height);
        // As Windows: the last BS_DEFPUSHBUTTON of the template is the default.
        const bool isDefault = control->kind == "button" && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        const int id = control->id;
        HWND child = AddWindow(std::move(control));
        Window* owner = DialogObject(handle);
        if (isDefault) {
            if (Window* previous = FindDefButton(*owner)) previous->style &= ~static_cast<DWORD>(BS_TYPEMASK);
            owner->defId = id;
        }
        owner->controls.push_back(child);
    }
    return handle;
}

std::string Name(int id) { return "control " + std::to_string(id); }

std::string KindName(const std::string& kind) {
    if (kind == "static") return "a static text";
    if (kind == "edit") return "an edit field";
    if (kind == "groupbox") return "a group box";
    if (kind == "3state") return "a three-state box";
    if (kind == "checkbox") return "a check box";
    if (kind == "radio") return "a radio button";
    return "a push button";
}

}  // namespace

std::string Refusal(HWND dialog, int id, Window** found) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return "there is no such dialog";
    if (owner->ended) return "dialog " + std::to_string(owner->templateId) + " has already ended";
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return "dialog " + std::to_string(owner->templateId) + " has no " + Name(id);
    if (!control->visible) return Name(id) + " is hidden";
    if (!control->enabled) return Name(id) + " is disabled";
    *found = control;
    return "";
}

HWND NextTabStop(const Window& dialog, HWND from, bool previous) {
    const std::vector<HWND>& list = dialog.controls;
    const std::size_t count = list.size();
    if (count == 0) return from;
    auto takes = [](HWND handle) {
        Window* control = WindowObject(handle);
        return control != nullptr && (control->style & WS_TABSTOP) != 0 && control->visible && control->enabled;
    };
    std::size_t at = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (list[i] == from) at = i;
    }
    if (at == count) {
        for (std::size_t n = 0; n < count; ++n) {
            HWND candidate = list[previous ? count - 1 - n : n];
            if (takes(candidate)) return candidate;
        }
        return nullptr;
    }
    for (std::size_t n = 1; n <= count; ++n) {
        HWND candidate = list[previous ? (at + count - n) % count : (at + n) % count];
        if (takes(candidate)) return candidate;
    }
    return from;
}

bool IsPushButton(const Window& control) {
    DWORD type = control.style & BS_TYPEMASK;
    return control.kind == "button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

namespace {

Window* FindDefButton(const Window& dialog) {
    for (HWND handle : dialog.controls) {
        Window* control = WindowObject(handle);
        if (control != nullptr && IsPushButton(*control) && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return control;
    }
    return nullptr;
}

void SetButtonStyle(Window& button, DWORD type) {
    button.style = (button.style & ~static_cast<DWORD>(BS_TYPEMASK)) | type;
    ++button.invalidations;
}

// The default border goes to a push button taking the focus; when anything
// else takes it, back to the dialog's default id (none when it has none).
void SetDefButton(Window& dialog, Window* taking) {
    Window* old = dialog.defId != 0 ? ControlObject(dialog.handle, dialog.defId) : nullptr;
    if (taking != nullptr && !IsPushButton(*taking)) taking = old;
    if (old == nullptr || (old->style & BS_TYPEMASK) != BS_DEFPUSHBUTTON) old = FindDefButton(dialog);
    if (old != nullptr && old != taking) SetButtonStyle(*old, BS_PUSHBUTTON);
    if (taking != nullptr && IsPushButton(*taking) && (taking->style & BS_TYPEMASK) != BS_DEFPUSHBUTTON)
        SetButtonStyle(*taking, BS_DEFPUSHBUTTON);
}

bool IsAuto(const Window& control) {
    DWORD type = control.style & BS_TYPEMASK;
    return type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
}

// A click on an automatic radio button clears the other automatic radio
// buttons of its group: from the nearest WS_GROUP control at or before it to
// the next WS_GROUP control.
void SelectRadio(Window& dialog, Window& chosen) {
    std::size_t index = 0;
    while (index < dialog.controls.size() && dialog.controls[index] != chosen.handle) ++index;
    std::size_t first = index;
    while (first > 0) {
        Window* control = WindowObject(dialog.controls[first]);
        if (control != nullptr && (control->style & WS_GROUP) != 0) break;
        --first;
    }
    for (std::size_t i = first; i < dialog.controls.size(); ++i) {
        Window* control = WindowObject(dialog.controls[i]);
        if (control == nullptr) continue;
        if (i > first && (control->style & WS_GROUP) != 0) break;
        if (control != &chosen && control->kind == "radio" && (control->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
            control->state = BST_UNCHECKED;
    }
    chosen.state = BST_CHECKED;
}

// GetDlgItemInt with a sign: blanks, an optional sign, digits, blanks; any
// other text, or a number beyond 32 bits, reads as 0.
long long ParseNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::size_t digits = i;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        if (value > 2147483648LL) return 0;
    }
    if (i == digits) return 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return 0;
    value = negative ? -value : value;
    if (value > 2147483647LL) return 0;
    return value;
}

Window* ServiceControl(const char* service, HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) {
        Window* owner = DialogObject(dialog);
        Warn(std::string(service) + ": " +
             (owner == nullptr ? "not a dialog"
                               : "dialog " + std::to_string(owner->templateId) + " has no " + Name(id)));
    }
    return control;
}

}  // namespace

void MoveFocus(Window& dialog, Window* control) {
    if (control != nullptr && control->kind == "edit") SendMessageA(control->handle, EM_SETSEL, 0, -1);
    dialog.focus = control == nullptr ? nullptr : control->handle;
    SetDefButton(dialog, control);
}

void ClickControl(Window& dialog, Window& control) {
    // The button takes the focus as a mouse press gives it (SetFocus): the
    // default border does not move with it.
    dialog.focus = control.handle;
    if (IsAuto(control)) {
        if (control.kind == "checkbox") {
            control.state = control.state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        } else if (control.kind == "3state") {
            control.state = control.state == BST_INDETERMINATE ? BST_UNCHECKED : control.state + 1;
        } else {
            SelectRadio(dialog, control);
        }
    }
    SendMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(control.id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control.handle));
}

void TextReplaced(Window& edit) { edit.anchor = edit.caret = 0; }

void FocusLeaves(Window& control) {
    Window* dialog = WindowObject(control.parent);
    if (dialog == nullptr || dialog->focus != control.handle) return;
    // As Wine's dialog manager does: the focus goes back to the dialog, which
    // hands it to its first tab stop, or else to its first control that can
    // take it at all. The default border stays where it was.
    Window* next = WindowObject(NextTabStop(*dialog, nullptr, false));
    for (std::size_t i = 0; next == nullptr && i < dialog->controls.size(); ++i) {
        Window* candidate = WindowObject(dialog->controls[i]);
        if (candidate != nullptr && candidate->visible && candidate->enabled) next = candidate;
    }
    if (next != nullptr && next->kind == "edit") SendMessageA(next->handle, EM_SETSEL, 0, -1);
    dialog->focus = next == nullptr ? nullptr : next->handle;
}

LRESULT CALLBACK DialogProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* dialog = DialogObject(handle);
    if (dialog == nullptr || dialog->dialogProc == nullptr) return 0;
    if (message == WM_COMMAND) {
        if (Watcher* watcher = CurrentWatcher()) watcher->Command(handle, LOWORD(wParam), HIWORD(wParam));
    }
    LRESULT result = dialog->dialogProc(handle, message, wParam, lParam, 0);
    if (result != 0) return result;
    switch (message) {
        case WM_CTLCOLORSTATIC: {
            Window* control = WindowObject(reinterpret_cast<HWND>(lParam));
            bool disabled = control != nullptr && !control->enabled;
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(FaceBrush());
        }
        case DM_GETDEFID: {
            if (dialog->ended) return 0;
            if (dialog->defId != 0) return MAKEWPARAM(dialog->defId, DC_HASDEFID);
            Window* button = FindDefButton(*dialog);
            return button == nullptr ? 0 : MAKEWPARAM(button->id, DC_HASDEFID);
        }
        case DM_SETDEFID: {
            // The new default push button takes the border from whichever had it.
            dialog->defId = static_cast<int>(wParam);
            Window* button = ControlObject(handle, dialog->defId);
            if (button != nullptr && !IsPushButton(*button)) return FALSE;
            if (button != nullptr) SetDefButton(*dialog, button);
            return TRUE;
        }
        case WM_NEXTDLGCTL: {
            Window* target = nullptr;
            if (lParam != 0) {
                target = WindowObject(reinterpret_cast<HWND>(wParam));
            } else {
                target = WindowObject(NextTabStop(*dialog, dialog->focus, wParam != 0));
            }
            if (target != nullptr) MoveFocus(*dialog, target);
            return 0;
        }
        case WM_CLOSE: {
            // As Windows' own dialog procedure: the close box is Cancel, unless
            // the Cancel button is disabled.
            Window* cancel = ControlObject(handle, IDCANCEL);
            if (cancel == nullptr || cancel->enabled) {
                SendMessageA(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(cancel == nullptr ? nullptr : cancel->handle));
            }
            return 0;
        }
        default:
            return 0;
    }
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

int DialogTemplateId(HWND dialog) {
    Window* object = DialogObject(dialog);
    return object == nullptr ? 0 : object->templateId;
}

bool DialogEnded(HWND dialog) {
    Window* object = DialogObject(dialog);
    return object == nullptr || object->ended;  // a destroyed dialog has ended
}

std::vector<ControlInfo> Controls(HWND dialog) {
    std::vector<ControlInfo> list;
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return list;
    for (HWND handle : owner->controls) {
        Window* control = WindowObject(handle);
        if (control == nullptr) continue;
        ControlInfo info;
        info.id = control->id;
        info.kind = control->kind;
        info.text = control->text;
        info.state = control->state;
        info.visible = control->visible;
        info.enabled = control->enabled;
        info.focused = owner->focus == handle;
        info.style = control->style;
        info.rect = control->rect;
        info.selStart = control->selStart;
        info.selEnd = control->selEnd;
        info.limit = control->limit;
        info.caret = control->caret;
        info.isDefault = IsPushButton(*control) && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        list.push_back(info);
    }
    return list;
}

std::string Click(HWND dialog, int id) {
    Window* control = nullptr;
    std::string refusal = Refusal(dialog, id, &control);
    if (!refusal.empty()) return refusal;
    if (control->kind == "static" || control->kind == "edit" || control->kind == "groupbox")
        return Name(id) + " is " + KindName(control->kind) + ", not a button";
    ClickControl(*DialogObject(dialog), *control);
    return "";
}

std::string ClickEdit(HWND dialog, int id, int caret) {
    Window* control = nullptr;
    std::string refusal = Refusal(dialog, id, &control);
    if (!refusal.empty()) return refusal;
    if (control->kind != "edit") return Name(id) + " is " + KindName(control->kind) + ", not an edit field";
    // SetFocus, as a mouse press gives it: no selection, and the default
    // border does not move.
    DialogObject(dialog)->focus = control->handle;
    int length = static_cast<int>(control->text.size());
    control->anchor = control->caret = caret < 0 ? 0 : caret > length ? length : caret;
    return "";
}

std::string Type(HWND dialog, int id, const std::string& text) {
    Window* control = nullptr;
    std::string refusal = Refusal(dialog, id, &control);
    if (!refusal.empty()) return refusal;
    if (control->kind != "edit") return Name(id) + " is " + KindName(control->kind) + ", not an edit field";
    if ((control->style & ES_NUMBER) != 0 && text.find_first_not_of("0123456789") != std::string::npos)
        return Name(id) + " takes digits only";
    DialogObject(dialog)->focus = control->handle;
    std::size_t limit = static_cast<std::size_t>(control->limit < 0 ? 0 : control->limit);
    control->text = text.substr(0, limit);
    TextReplaced(*control);
    return "";
}

std::string SetState(HWND dialog, int id, int state) {
    Window* control = nullptr;
    std::string refusal = Refusal(dialog, id, &control);
    if (!refusal.empty()) return refusal;
    if (control->kind != "checkbox" && control->kind != "3state" && control->kind != "radio")
        return Name(id) + " is " + KindName(control->kind) + ", it has no state";
    if (state < 0 || state > 2) return "state " + std::to_string(state) + " is not 0, 1 or 2";
    // At most a full cycle of clicks; a box the plug-in handles by hand may
    // move differently, so look after each click.
    for (int clicks = 0; clicks < 3; ++clicks) {
        Window* current = ControlObject(dialog, id);
        if (current != nullptr && current->state == state) return "";
        std::string why = Click(dialog, id);
        if (!why.empty()) return why;
    }
    Window* current = ControlObject(dialog, id);
    if (current != nullptr && current->state == state) return "";
    return Name(id) + " does not reach state " + std::to_string(state) + " by clicking";
}

std::string Close(HWND dialog) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return "there is no such dialog";
    if (owner->ended) return "dialog " + std::to_string(owner->templateId) + " has already ended";
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    return "";
}

std::optional<std::string> ControlText(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return std::nullopt;
    return control->text;
}

std::optional<int> ControlState(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return std::nullopt;
    return control->state;
}

std::optional<bool> ControlVisible(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return std::nullopt;
    return control->visible;
}

std::optional<bool> ControlEnabled(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return std::nullopt;
    return control->enabled;
}

std::optional<COLORREF> ControlTextColor(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return std::nullopt;
    // Push buttons and edits draw with the system colours; the others ask
    // their dialog with WM_CTLCOLORSTATIC.
    if (control->kind == "button" || control->kind == "edit")
        return GetSysColor(control->enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    HWND handle = control->handle;
    HDC dc = GetDC(handle);
    SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(handle));
    COLORREF color = DcTextColor(dc).value_or(GetSysColor(COLOR_WINDOWTEXT));
    ReleaseDC(handle, dc);
    return color;
}

int FocusedControl(HWND dialog) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return 0;
    Window* control = WindowObject(owner->focus);
    return control == nullptr ? 0 : control->id;
}

RECT DialogRect(HWND dialog) {
    Window* owner = DialogObject(dialog);
    return owner == nullptr ? RECT{} : owner->rect;
}

std::string Render(HWND dialog) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return "(no dialog)\n";
    std::string out = "+-- " + owner->text + " (dialog " + std::to_string(owner->templateId) + ")" +
                      (owner->ended ? " [ended]" : "") + "\n";
    for (HWND handle : owner->controls) {
        Window* control = WindowObject(handle);
        if (control == nullptr || !control->visible) continue;
        char head[32];
        std::snprintf(head, sizeof head, "| %5d %-8s ", control->id, control->kind.c_str());
        std::string line = head;
        const std::string& kind = control->kind;
        if (kind == "checkbox" || kind == "3state") {
            const char* marks[] = {"[ ] ", "[x] ", "[-] "};
            line += marks[control->state < 0 || control->state > 2 ? 0 : control->state] + control->text;
        } else if (kind == "radio") {
            line += (control->state == BST_CHECKED ? "(o) " : "( ) ") + control->text;
        } else if (kind == "edit") {
            line += "[" + control->text + "]";
        } else if (kind == "button") {
            line += "< " + control->text + " >";
        } else if (kind == "groupbox") {
            line += "-- " + control->text + " --";
        } else {
            line += "\"" + control->text + "\"";
        }
        if (!control->enabled) line += " (disabled)";
        if (owner->focus == handle) line += " *";
        out += line + "\n";
    }
    out += "+--\n";
    return out;
}

}  // namespace sim

using namespace sim::detail;

extern "C" {

std::int16_t HS_Dialog(std::int16_t templateId, HS_DialogProc proc, HWND hostWindow, std::int16_t, std::int16_t) {
    const sim::DialogTemplate* layout = sim::FindDialogTemplate(templateId);
    if (layout == nullptr || proc == nullptr) {
        std::string why = sim::ResourceScriptError();
        Warn("HS_Dialog: cannot open dialog " + std::to_string(templateId) +
             (proc == nullptr ? " without a dialog procedure"
              : why.empty()   ? ": no such template"
                              : ": the resource script is bad: " + why));
        return -1;
    }
    HWND dialog = BuildDialog(*layout, proc, hostWindow);
    HWND firstTab = NextTabStop(*DialogObject(dialog), nullptr, false);
    LRESULT wantsFocus = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), 0);
    // Focus the procedure set itself stands; otherwise a nonzero answer gives
    // it to the first tab stop, as Windows does. The tab stops are found again:
    // the procedure may have hidden or disabled the first one meanwhile.
    if (Window* owner = DialogObject(dialog); owner != nullptr && wantsFocus != 0 && owner->focus == nullptr)
        owner->focus = NextTabStop(*owner, nullptr, false);

    if (!sim::DialogEnded(dialog)) {
        if (sim::User* user = CurrentUser()) user->DriveDialog(dialog);
    }
    if (!sim::DialogEnded(dialog)) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    }
    if (Window* owner = DialogObject(dialog); owner != nullptr && !owner->ended) {
        Warn("dialog " + std::to_string(templateId) +
             " did not end on IDCANCEL; the window system closes it by force. The plug-in would hang here.");
        owner->ended = true;
    }
    DestroyWindowTree(dialog);
    return 1;
}

std::int16_t HS_EndDialog(HWND dialog) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) {
        Warn("HS_EndDialog: not an open dialog");
        return 0;
    }
    owner->ended = true;
    return 1;
}

std::int16_t HS_EnableDlgItem(HWND dialog, std::int16_t id, std::int16_t enable) {
    Window* control = ServiceControl("HS_EnableDlgItem", dialog, id);
    if (control == nullptr) return 0;
    control->enabled = enable != 0;
    // A disabled window cannot keep the focus; as on Windows, no window has it then.
    if (!control->enabled) {
        if (Window* owner = DialogObject(dialog); owner != nullptr && owner->focus == control->handle)
            owner->focus = nullptr;
    }
    return 1;
}

std::int16_t HS_GetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind) {
    Window* control = ServiceControl("HS_GetDlgItemVal", dialog, id);
    if (control == nullptr) return 0;
    switch (kind) {
        case HS_KIND_CHECKBOX:
        case HS_KIND_TRISTATE:
            return static_cast<std::int16_t>(SendMessageA(control->handle, BM_GETCHECK, 0, 0));
        case HS_KIND_RADIO:
            return SendMessageA(control->handle, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        case HS_KIND_NUMBER:
            // The host hands out 16 bits; larger numbers wrap as they do there.
            return static_cast<std::int16_t>(ParseNumber(control->text));
        default:
            Warn("HS_GetDlgItemVal: unknown value kind " + std::to_string(kind));
            return 0;
    }
}

std::int16_t HS_SetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind, std::int16_t value) {
    Window* control = ServiceControl("HS_SetDlgItemVal", dialog, id);
    if (control == nullptr) return 0;
    switch (kind) {
        case HS_KIND_CHECKBOX:
        case HS_KIND_TRISTATE: {
            WPARAM state = value < 0 ? BST_INDETERMINATE : static_cast<WPARAM>(value);
            SendMessageA(control->handle, BM_SETCHECK, state, 0);
            return 1;
        }
        case HS_KIND_RADIO:
            SendMessageA(control->handle, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            return 1;
        case HS_KIND_NUMBER:
            control->text = std::to_string(value);
            return 1;
        default:
            Warn("HS_SetDlgItemVal: unknown value kind " + std::to_string(kind));
            return 0;
    }
}

std::int16_t HS_GetDlgString(HWND dialog, std::int16_t id, char* buffer, std::int16_t maxChars) {
    Window* control = ServiceControl("HS_GetDlgString", dialog, id);
    if (control == nullptr || buffer == nullptr || maxChars < 0) return 0;
    std::size_t count = std::min(control->text.size(), static_cast<std::size_t>(maxChars));
    control->text.copy(buffer, count);
    buffer[count] = '\0';
    return 1;
}

std::int16_t HS_SetDlgString(HWND dialog, std::int16_t id, const char* text) {
    Window* control = ServiceControl("HS_SetDlgString", dialog, id);
    if (control == nullptr) return 0;
    // Set by the program, so the edit's length limit does not apply.
    control->text = text == nullptr ? "" : text;
    if (control->kind == "edit") TextReplaced(*control);
    if (sim::Watcher* watcher = CurrentWatcher()) watcher->TextSet(dialog, id, control->text);
    return 1;
}

std::int16_t HS_SetDlgFocus(HWND dialog, std::int16_t id) {
    Window* control = ServiceControl("HS_SetDlgFocus", dialog, id);
    if (control == nullptr) return 0;
    // The dialog manager's way (WM_NEXTDLGCTL), as the Windows host does it.
    MoveFocus(*DialogObject(dialog), control);
    return 1;
}

}  // extern "C"
