// A dialog (or message box) as the terminal shows it: read from the
// simulated window system, then laid out from its template's dialog units
// (one cell is 4 horizontal and 8 vertical units) into a grid of cells.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/terminal/grid.h"

namespace terminal {

struct ControlView {
    int id = 0;
    std::string kind;  // as sim::ControlInfo::kind
    std::string text;
    int state = 0;
    bool enabled = true;
    bool focused = false;
    bool isDefault = false;  // the push button Enter would press
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    Role textRole = Role::Face;               // Red, Disabled or Heading where the dialog draws it so
    int caret = -1;                           // an edit's caret, in bytes of its text
};

struct DialogView {
    int templateId = 0;
    std::string caption;
    int width = 0, height = 0;          // dialog units
    std::vector<ControlView> controls;  // the visible ones, in template order
    int enterId = 0;                    // the command Enter sends now, 0: none
    std::string enterCaption;           // that button's caption, "" when it has no control
    bool enterShown = false;            // whether that button is on the screen
};

// The dialog's state now. Controls that are hidden are left out.
DialogView ViewOf(HWND dialog);

// A button caption as said in the status line and help: without its '&'.
std::string PlainCaption(const std::string& caption);
// The status line's keys for this dialog: what Enter presses here.
std::string DialogStatusLine(const DialogView& view);
// F1's help for this dialog: the keys, what Enter presses now, and each
// button's letter.
std::vector<std::string> DialogHelpLines(const DialogView& view);

// Where a control stands on the drawn dialog: rows and columns of the
// dialog's grid, inclusive.
struct Placement {
    int id = 0;
    int top = 0, left = 0, bottom = 0, right = 0;
};
// The dialog drawn: caption bar on the first row with the close box at its
// right end, a frame, the controls. The cursor stands in a focused edit.
Grid DrawDialog(const DialogView& view, std::vector<Placement>* placements = nullptr);
// An edit's text as cells: each character's byte offset and first column.
struct EditLayout {
    std::u32string cells;
    std::vector<std::size_t> offsets;  // a character each
    std::vector<int> columns;          // a character each, then the end
};
EditLayout LayOutEdit(const ControlView& edit);
// An edit's caret as a character index, and the first column the field
// shows (it scrolls to keep the caret in sight).
int CaretCharacter(const ControlView& edit);
int EditScroll(const ControlView& edit, int innerWidth);
// The byte offset a mouse press at this column of the drawn edit puts the caret at.
int EditCharacterAt(const ControlView& edit, const Placement& place, int col);
// Column of the close box's middle on the caption row.
int CloseBoxColumn(const Grid& dialog);

struct BoxView {
    std::string caption;
    std::string text;
    UINT type = 0;  // MB_ buttons and icon
    int focus = 0;  // index of the focused button
};
// The buttons of a message box of this type, left to right: IDOK, IDYES...
std::vector<int> BoxButtons(UINT type);
const char* ButtonName(int id);  // "OK", "Cancel", "Yes", "No"
// Wrapped to fit `maxWidth` columns.
Grid DrawMessageBox(const BoxView& box, int maxWidth, std::vector<Placement>* buttons = nullptr);

}  // namespace terminal
