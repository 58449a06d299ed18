// The simulated window system behind host/sim/include/windows.h, as the
// reference host, the scripted user and the tests drive it.
//
// One world per process: a screen, the host window with its menu bar, the
// dialogs the plug-in opens (built from its resource script), message boxes,
// GDI objects, the registry hive and the plug-in's heap. Everything here runs
// on the caller's thread; modal loops call back into the User.
#pragma once

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// ---- World -------------------------------------------------------------

// Drops every window, menu, GDI object and failure plan; screen back to
// 1024 x 768, system colours to their defaults. The registry hive and the
// resource script stay.
void Reset();
void SetScreenSize(int width, int height);

// The plug-in's resource script text (resource.h inlined). Dialog templates
// are read from it by id when HS_Dialog opens one.
void SetResourceScript(std::string script);

// ---- Host window and its menu bar ---------------------------------------

// The host window's fourth menu holds the layer items: sixteen ordinary
// commands, then the layer submenu (four items) and the "show only visible
// layers" toggle. With submenuAt 17 an ordinary command stands at 16 first.
struct LayerMenu {
    bool toggle = false;
    bool visible[4] = {true, true, true, true};
    int submenuAt = 16;  // 16 or 17
};
// A null menu gives a host window without a menu bar.
HWND CreateHostWindow(const LayerMenu* menu);

// General menus, for tests of odd shapes.
HMENU CreateMenu();
void AppendCommand(HMENU menu, UINT id, bool checked);
void AppendPopup(HMENU menu, HMENU popup, bool checked);
void SetMenuBar(HWND window, HMENU menu);

// ---- Dialogs, as the user sees them -------------------------------------

HWND ActiveDialog();  // topmost open dialog, or null
int DialogTemplateId(HWND dialog);
bool DialogEnded(HWND dialog);
std::string WindowCaption(HWND window);

struct MessageBoxInfo;

struct ControlInfo {
    int id = 0;
    std::string kind;  // "static", "edit", "button", "checkbox", "3state", "radio", "groupbox"
    std::string text;
    int state = 0;  // check state 0, 1, 2
    bool visible = true;
    bool enabled = true;
    bool focused = false;
    DWORD style = 0;
    RECT rect{};                   // pixels, relative to the dialog's client area
    int selStart = 0, selEnd = 0;  // last EM_SETSEL, as sent
    int limit = 30000;             // edit length limit (EM_LIMITTEXT)
    int caret = 0;                 // edits: where typing goes, 0 to the text's length
    bool isDefault = false;        // push buttons: drawn as the default button
};
std::vector<ControlInfo> Controls(HWND dialog);  // template order

// ControlInfo::kind of a control of this window class and style; both window
// systems name their controls alike. A class other than Edit, Static and
// Button is named by its class.
inline std::string ControlKind(std::string className, DWORD style) {
    for (char& c : className) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (className == "edit" || className == "static") return className;
    if (className != "button") return className;
    switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
            return "checkbox";
        case BS_3STATE:
        case BS_AUTO3STATE:
            return "3state";
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return "radio";
        case BS_GROUPBOX:
            return "groupbox";
        default:
            return "button";
    }
}

// The user's actions. Each returns an empty string on success, or why it
// could not be done (no such control, hidden, disabled, not an edit...).
// A click sends WM_COMMAND (BN_CLICKED) to the dialog as Windows does, after
// changing the state of an automatic check box or radio button.
std::string Click(HWND dialog, int id);
std::string Type(HWND dialog, int id, const std::string& text);  // the edit's limit applies
std::string SetState(HWND dialog, int id, int state);            // clicks until the state is reached
std::string Close(HWND dialog);                                  // the close box: WM_COMMAND IDCANCEL
// A mouse press in an edit: the focus goes to it, the caret before the
// character at `caret` (clamped to the text).
std::string ClickEdit(HWND dialog, int id, int caret);

// What the user sees. Each returns nullopt when there is no such control.
std::optional<std::string> ControlText(HWND dialog, int id);
std::optional<int> ControlState(HWND dialog, int id);
std::optional<bool> ControlVisible(HWND dialog, int id);
std::optional<bool> ControlEnabled(HWND dialog, int id);
// The text colour the control is drawn with: WM_CTLCOLORSTATIC is sent
// through the dialog's current window procedure and the colour set on the
// display context read back (the system's window text colour if none).
std::optional<COLORREF> ControlTextColor(HWND dialog, int id);
int FocusedControl(HWND dialog);  // id, or 0
RECT DialogRect(HWND dialog);     // screen pixels

// ---- The keyboard ----------------------------------------------------------

// One key as a person presses it. Named keys carry their virtual-key code;
// a printable key also carries the character it types (an upper-case letter
// is Shift and the letter). Alt+letter is a mnemonic.
struct KeyStroke {
    int key = 0;         // VK_RETURN, VK_TAB, ..., 'A'..'Z', '0'..'9'; 0 for other characters
    char character = 0;  // what the key types in an edit, 0 for none
    bool shift = false;
    bool alt = false;
};
// "Enter", "Escape", "Tab", "Shift+Tab", "Space", "Up", "Alt+R", "a", "7",
// "Backspace"... (names are case-insensitive; a single character is itself).
bool ParseKeyStroke(std::string_view text, KeyStroke* out, std::string* error);
// The keys that type each character of a text, for `key "text"`.
std::vector<KeyStroke> KeyStrokesTyping(std::string_view text);
std::string KeyStrokeName(const KeyStroke& key);

// Presses a key in the dialog; the dialog manager decides what it does, by
// the rules of IsDialogMessage: Tab and Shift+Tab through the tab stops,
// arrows within a group, Enter the default button, Escape IDCANCEL, Space
// the focused button, mnemonics, and editing in a focused edit. Empty on
// success (a key that does nothing is no error), else why it could not be
// pressed (no such dialog, the dialog has ended).
std::string PressKey(HWND dialog, const KeyStroke& key);
// The id of the push button drawn as the default one, or 0.
int DefaultButton(HWND dialog);
// The command Enter would send in the dialog now, by the dialog manager's
// rules (the focused default push button, else DM_GETDEFID, else IDOK),
// whether or not that button is shown; none when Enter does nothing.
std::optional<int> EnterCommand(HWND dialog);

// Keys pressed in a message box, one after another until one closes it.
// Empty with *answer set to the button that closed it; or why the keys do
// not close it (then *answer is 0). The real window system may press them
// for real and leave *answer 0: the box then answers for itself.
std::string PressMessageBoxKeys(const MessageBoxInfo& box, const std::vector<KeyStroke>& keys, int* answer);

// A text picture of the dialog for a person at a terminal.
std::string Render(HWND dialog);

// ---- Message boxes -------------------------------------------------------

struct MessageBoxInfo {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
    int answer = 0;
    HWND window = nullptr;  // the box itself, where the window system has one
};
const std::vector<MessageBoxInfo>& MessageBoxes();  // every box since Reset, oldest first

// ---- The user -------------------------------------------------------------

// Whoever sits at the screen: a script, a person at a terminal, or a test.
class User {
public:
    virtual ~User() = default;
    // A modal dialog has been created and initialised. Act on it until
    // DialogEnded(dialog); returning earlier makes the window system close
    // it with IDCANCEL (as a user giving up would).
    virtual void DriveDialog(HWND dialog) = 0;
    // A message box is up; return the button pressed (IDOK, IDCANCEL, IDYES,
    // IDNO), or 0 after PressMessageBoxKeys left the box to answer itself.
    virtual int AnswerMessageBox(const MessageBoxInfo& box) = 0;
    // Keys pressed in a message box for real did not close it; the window
    // system has closed it with its neutral answer.
    virtual void MessageBoxKeysFailed(const std::string& why) { (void)why; }
};
// With no user set, dialogs are cancelled at once and message boxes get
// their neutral answer (OK, or No for Yes/No boxes).
void SetUser(User* user);

// A user made of two callbacks, handy in tests.
class CallbackUser : public User {
public:
    std::function<void(HWND)> onDialog;
    std::function<int(const MessageBoxInfo&)> onMessageBox;
    void DriveDialog(HWND dialog) override;
    int AnswerMessageBox(const MessageBoxInfo& box) override;
};

// ---- Watching the plug-in -------------------------------------------------

// Sees what the plug-in's dialogs are told and tell, for checks that follow
// a session as it runs.
class Watcher {
public:
    virtual ~Watcher() = default;
    // A command reaches the dialog's procedure (WM_COMMAND), before it acts.
    virtual void Command(HWND dialog, int id, int code) {
        (void)dialog;
        (void)id;
        (void)code;
    }
    // The plug-in sets a control's text (HS_SetDlgString).
    virtual void TextSet(HWND dialog, int id, const std::string& text) {
        (void)dialog;
        (void)id;
        (void)text;
    }
};
void SetWatcher(Watcher* watcher);  // null: none
// Loud lines said so far (calls a correct caller never makes), in this process.
int Warnings();

// ---- System colours -------------------------------------------------------

void SetSysColor(int index, COLORREF color);  // as the control panel would

// ---- GDI, subclassing and heap accounting ---------------------------------

int LiveFonts();
int LiveBrushes();
int LiveDCs();
int Subclassings();  // windows whose procedure is not their own
int LiveHeapBlocks();
void FailHeapAllocAt(int n);  // the n-th HeapAlloc from now fails (0: none)
int HeapAllocCalls();

// ---- The program's exports, as GetProcAddress finds them ------------------

// Makes GetProcAddress on the main program answer "not found" for NAME, as a
// host program built without that export would; an empty name exports all.
// False where the window system cannot (real Windows: build the host
// without the export instead).
bool LackExport(const std::string& name);

// Font last given to a control with WM_SETFONT: height and weight, face.
struct FontInfo {
    int height = 0;
    int weight = 0;
    int pitchAndFamily = 0;
    std::string face;
};
std::optional<FontInfo> ControlFont(HWND dialog, int id);

// ---- Registry hive ----------------------------------------------------------

// The hive lives in a .reg text file (REGEDIT 5 format, hex: values). Load
// reads it (a missing file is an empty hive); every successful close of a key
// that was written saves it back.
bool LoadHive(const std::string& path, std::string* error);
void UseEmptyHive();     // in memory only, nothing saved
void KeepHiveUnsaved();  // the hive loaded stays in memory: its file is not written again (the real registry: no-op)
std::string HiveText();  // the hive in .reg format

// Values by key path under HKEY_CURRENT_USER.
std::optional<std::vector<std::uint8_t>> HiveValue(const std::string& key, const std::string& name);
void SetHiveValue(const std::string& key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data);
void DeleteHiveKey(const std::string& key);

enum class RegistryFailure { Open, Create, Close };
void FailNextRegistry(RegistryFailure what, LSTATUS code = ERROR_ACCESS_DENIED);

// Registry keys opened or created and not yet closed.
int OpenKeys();
// InvalidateRect calls on a window (or on its controls, for a dialog) since it was made.
int Invalidations(HWND window);

}  // namespace sim
