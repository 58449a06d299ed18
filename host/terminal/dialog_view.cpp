#include "host/terminal/dialog_view.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "host/sim/resource_script.h"
#include "host/sim/sim.h"
#include "host/terminal/screen.h"

namespace terminal {

namespace {

constexpr DWORD kStaticAlignMask = 0x3;  // SS_LEFT, SS_CENTER, SS_RIGHT
constexpr DWORD kStaticRight = 0x2;

bool IsRed(COLORREF color) {
    int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    return r >= 96 && r > g + 48 && r > b + 48;
}

// A run of cells to place on one row.
using Run = std::vector<Cell>;

void Append(Run* run, const std::u32string& text, Role role) {
    for (char32_t ch : text) {
        Cell cell;
        cell.ch = ch;
        cell.role = role;
        run->push_back(cell);
    }
}

// A caption with its mnemonic: "&Yes" shows Yes with the Y underlined, "&&"
// an ampersand.
Run CaptionRun(const std::string& text, Role role, bool prefix) {
    Run run;
    std::u32string chars = DecodeText(text);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        Cell cell;
        cell.role = role;
        if (prefix && chars[i] == U'&' && i + 1 < chars.size()) {
            cell.ch = chars[++i];
            cell.underline = chars[i] != U'&';
        } else {
            cell.ch = chars[i];
        }
        run.push_back(cell);
        // A wide character takes two cells, a combining mark none.
        if (int width = CharWidth(cell.ch); width != 1) {
            if (width == 0) {
                run.pop_back();
            } else {
                Cell tail = cell;
                tail.ch = kWideTail;
                tail.underline = false;
                run.push_back(tail);
            }
        }
    }
    return run;
}

void SetRunRole(Run* run, std::size_t from, std::size_t count, Role role) {
    for (std::size_t i = from; i < from + count && i < run->size(); ++i) (*run)[i].role = role;
}

// Words wrapped to lines of at most `width` characters; a word longer than
// a line is cut.
std::vector<Run> Wrap(const Run& text, int width) {
    std::vector<Run> lines;
    if (width <= 0) return lines;
    Run line;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = i;
        while (end < text.size() && text[end].ch != U' ' && text[end].ch != U'\n') ++end;
        Run word(text.begin() + static_cast<long>(i), text.begin() + static_cast<long>(end));
        std::size_t need = line.empty() ? word.size() : line.size() + 1 + word.size();
        if (!line.empty() && need > static_cast<std::size_t>(width)) {
            lines.push_back(line);
            line.clear();
        }
        if (!line.empty()) {
            Cell space;
            space.role = word.empty() ? text[i].role : word.front().role;
            line.push_back(space);
        }
        for (const Cell& cell : word) {
            if (line.size() == static_cast<std::size_t>(width)) {
                lines.push_back(line);
                line.clear();
            }
            line.push_back(cell);
        }
        if (end < text.size() && text[end].ch == U'\n') {
            lines.push_back(line);
            line.clear();
        }
        i = end < text.size() ? end + 1 : end;
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

struct Laid {
    const ControlView* control = nullptr;
    bool frame = false;                            // drawn as a box over several rows
    int top = 0, left = 0, bottom = 0, right = 0;  // client cells, inclusive
};

bool IsFrame(const ControlView& c) {
    if (c.kind == "groupbox") return true;
    return c.kind == "static" && (c.style & WS_BORDER) != 0 && c.height >= 20;
}

// Dialog units to cells: single-row controls sit on the row of their middle;
// boxes run from the row of their caption line to the row of their lower edge.
Laid Place(const ControlView& c, int rows, int cols) {
    Laid laid;
    laid.control = &c;
    laid.frame = IsFrame(c);
    laid.left = c.x / 4;
    if (laid.frame) {
        laid.top = (c.y + 4) / 8;
        laid.bottom = std::max(laid.top + 1, (c.y + c.height - 1) / 8);
        laid.right = std::max(laid.left + 1, (c.x + c.width - 1) / 4);
    } else {
        laid.top = laid.bottom = (c.y + c.height / 2) / 8;
        laid.right = std::max(laid.left, (c.x + c.width + 3) / 4 - 1);
    }
    laid.top = std::clamp(laid.top, 0, rows - 1);
    laid.bottom = std::clamp(laid.bottom, 0, rows - 1);
    laid.left = std::clamp(laid.left, 0, cols - 1);
    laid.right = std::clamp(laid.right, 0, cols - 1);
    return laid;
}

class Layout {
public:
    Layout(const DialogView& view) : view_(view) {
        cols_ = std::max(1, (view.width + 2) / 4);
        rows_ = std::max(1, (view.height + 4) / 8);
        grid_ = Grid(cols_ + 2, rows_ + 2, Role::Face);
        owner_.assign(static_cast<std::size_t>(rows_) * cols_, -1);
        for (const ControlView& c : view.controls) laid_.push_back(Place(c, rows_, cols_));
        for (std::size_t i = 0; i < laid_.size(); ++i) Claim(laid_[i], static_cast<int>(i));
    }

    Grid Draw(std::vector<Placement>* placements) {
        DrawWindow();
        for (std::size_t i = 0; i < laid_.size(); ++i) {
            int end = DrawControl(laid_[i], static_cast<int>(i));
            if (placements != nullptr) {
                const Laid& l = laid_[i];
                placements->push_back(
                    Placement{l.control->id, l.top + 1, l.left + 1, l.bottom + 1, std::max(end, l.right) + 1});
            }
        }
        return grid_;
    }

private:
    int& Owner(int row, int col) { return owner_[static_cast<std::size_t>(row) * cols_ + col]; }

    void Claim(const Laid& l, int index) {
        for (int row = l.top; row <= l.bottom; ++row) {
            for (int col = l.left; col <= l.right; ++col) {
                bool border = row == l.top || row == l.bottom || col == l.left || col == l.right;
                if (!l.frame || border) Owner(row, col) = index;
            }
        }
    }

    // The last column content of this control may reach on its row: its own
    // cells, then free ones up to the next control or frame.
    int Reach(const Laid& l, int index) {
        int col = l.right;
        while (col + 1 < cols_ && (Owner(l.top, col + 1) == -1 || Owner(l.top, col + 1) == index)) ++col;
        return col;
    }

    void Put(int row, int col, const Cell& cell) {
        if (row < 0 || col < 0 || row >= rows_ || col >= cols_) return;
        grid_.At(row + 1, col + 1) = cell;
    }

    // Places the first run that fits before `last`, else the last run cut;
    // returns the last column written.
    int PlaceRun(int row, int col, int last, const std::vector<Run>& choices) {
        const Run* chosen = &choices.back();
        for (const Run& run : choices) {
            if (col + static_cast<int>(run.size()) - 1 <= last) {
                chosen = &run;
                break;
            }
        }
        int end = col - 1;
        for (const Cell& cell : *chosen) {
            if (end + 1 > last) break;
            Put(row, ++end, cell);
        }
        return end;
    }

    void DrawWindow() { grid_ = WindowFrame(view_.caption, grid_.width, grid_.height, true); }

    int DrawControl(const Laid& l, int index) {
        const ControlView& c = *l.control;
        if (c.kind == "groupbox") return DrawGroup(l);
        if (l.frame) return DrawTextBox(l);
        if (c.kind == "checkbox" || c.kind == "3state" || c.kind == "radio") return DrawCheck(l, index);
        if (c.kind == "edit") return DrawEdit(l);
        if (c.kind == "button") return DrawButton(l, index);
        return DrawStatic(l, index);
    }

    int DrawGroup(const Laid& l) {
        const ControlView& c = *l.control;
        for (int col = l.left + 1; col < l.right; ++col) {
            PutLineCell(l.top, col, Line::Horizontal);
            PutLineCell(l.bottom, col, Line::Horizontal);
        }
        for (int row = l.top + 1; row < l.bottom; ++row) {
            PutLineCell(row, l.left, Line::Vertical);
            PutLineCell(row, l.right, Line::Vertical);
        }
        PutLineCell(l.top, l.left, Line::TopLeft);
        PutLineCell(l.top, l.right, Line::TopRight);
        PutLineCell(l.bottom, l.left, Line::BottomLeft);
        PutLineCell(l.bottom, l.right, Line::BottomRight);
        if (!c.text.empty()) PlaceRun(l.top, l.left + 2, l.right - 1, {CaptionRun(c.text, c.textRole, true)});
        return l.right;
    }

    void PutLineCell(int row, int col, Line line) {
        Cell cell;
        cell.line = line;
        Put(row, col, cell);
    }

    // A bordered static of several rows: the text inside the box, or over
    // the whole box when it needs more lines than the box holds inside.
    int DrawTextBox(const Laid& l) {
        const ControlView& c = *l.control;
        Run text = CaptionRun(c.text, c.textRole, (c.style & SS_NOPREFIX) == 0);
        int innerWidth = l.right - l.left - 1, innerRows = l.bottom - l.top - 1;
        std::vector<Run> lines = Wrap(text, innerWidth);
        int top = l.top + 1, left = l.left + 1, width = innerWidth, rows = innerRows;
        if (static_cast<int>(lines.size()) > innerRows) {
            top = l.top;
            left = l.left;
            width = l.right - l.left + 1;
            rows = l.bottom - l.top + 1;
            lines = Wrap(text, width);
            if (static_cast<int>(lines.size()) > rows) {
                lines.resize(static_cast<std::size_t>(rows));
                Run& last = lines.back();
                if (static_cast<int>(last.size()) >= width) last.resize(static_cast<std::size_t>(width - 1));
                Cell more;
                more.ch = U'~';
                more.role = c.textRole;
                last.push_back(more);
            }
        } else {
            Cell blank;
            for (int row = l.top; row <= l.bottom; ++row)
                for (int col = l.left; col <= l.right; ++col) Put(row, col, blank);
            for (int col = l.left + 1; col < l.right; ++col) {
                PutLineCell(l.top, col, Line::Horizontal);
                PutLineCell(l.bottom, col, Line::Horizontal);
            }
            for (int row = l.top + 1; row < l.bottom; ++row) {
                PutLineCell(row, l.left, Line::Vertical);
                PutLineCell(row, l.right, Line::Vertical);
            }
            PutLineCell(l.top, l.left, Line::TopLeft);
            PutLineCell(l.top, l.right, Line::TopRight);
            PutLineCell(l.bottom, l.left, Line::BottomLeft);
            PutLineCell(l.bottom, l.right, Line::BottomRight);
        }
        int first = top + (rows - static_cast<int>(lines.size())) / 2;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            int offset = AlignOffset(c.style, width, static_cast<int>(lines[i].size()));
            PlaceRun(first + static_cast<int>(i), left + offset, left + width - 1, {lines[i]});
        }
        return l.right;
    }

    static int AlignOffset(DWORD style, int width, int length) {
        if (length >= width) return 0;
        switch (style & kStaticAlignMask) {
            case SS_CENTER:
                return (width - length) / 2;
            case kStaticRight:
                return width - length;
            default:
                return 0;
        }
    }

    int DrawStatic(const Laid& l, int index) {
        const ControlView& c = *l.control;
        Run text = CaptionRun(c.text, c.textRole, (c.style & SS_NOPREFIX) == 0);
        int width = l.right - l.left + 1;
        int offset = AlignOffset(c.style, width, static_cast<int>(text.size()));
        return PlaceRun(l.top, l.left + offset, Reach(l, index), {text});
    }

    int DrawCheck(const Laid& l, int index) {
        const ControlView& c = *l.control;
        Role markRole = c.enabled ? Role::Face : Role::Disabled;
        std::u32string mark;
        if (c.kind == "radio") {
            mark = c.state == BST_CHECKED ? U"(*)" : U"( )";
        } else {
            mark = c.state == BST_CHECKED ? U"[x]" : c.state == BST_INDETERMINATE ? U"[-]" : U"[ ]";
        }
        Run caption = CaptionRun(c.text, c.textRole, true);
        if (c.focused) {
            if (caption.empty()) markRole = Role::Focus;
            SetRunRole(&caption, 0, caption.size(), Role::Focus);
        }
        int width = l.right - l.left + 1;
        Run preferred, spaced, compact;
        if ((c.style & BS_LEFTTEXT) != 0) {
            // The box at the control's right edge, as Windows draws it.
            int gap = width - static_cast<int>(caption.size()) - 3;
            preferred = caption;
            Append(&preferred, std::u32string(static_cast<std::size_t>(std::max(gap, 1)), U' '), Role::Face);
            Append(&preferred, mark, markRole);
            spaced = caption;
            Append(&spaced, U" ", Role::Face);
            Append(&spaced, mark, markRole);
            compact = caption;
            Append(&compact, mark, markRole);
        } else {
            Append(&preferred, mark, markRole);
            Append(&preferred, U" ", Role::Face);
            preferred.insert(preferred.end(), caption.begin(), caption.end());
            spaced = preferred;
            Append(&compact, mark, markRole);
            compact.insert(compact.end(), caption.begin(), caption.end());
        }
        return PlaceRun(l.top, l.left, Reach(l, index), {preferred, spaced, compact});
    }

    int DrawButton(const Laid& l, int index) {
        const ControlView& c = *l.control;
        Role role = c.focused ? Role::Focus : c.textRole;
        Run caption = CaptionRun(c.text, role, true);
        int width = l.right - l.left + 1;
        int inner = std::max(width - 2, static_cast<int>(caption.size()));
        int before = (inner - static_cast<int>(caption.size())) / 2;
        Run run;
        Append(&run, c.isDefault ? U"<" : U"[", role);
        Append(&run, std::u32string(static_cast<std::size_t>(before), U' '), role);
        run.insert(run.end(), caption.begin(), caption.end());
        Append(&run, std::u32string(static_cast<std::size_t>(inner - before - static_cast<int>(caption.size())), U' '),
               role);
        Append(&run, c.isDefault ? U">" : U"]", role);
        return PlaceRun(l.top, l.left, Reach(l, index), {run});
    }

    int DrawEdit(const Laid& l) {
        const ControlView& c = *l.control;
        int inner = std::max(1, l.right - l.left - 1);
        EditLayout text = LayOutEdit(c);
        int caret = text.columns[static_cast<std::size_t>(CaretCharacter(c))];
        int start = EditScroll(c, inner);
        Role frame = c.focused ? Role::Focus : Role::Face;
        Role inside = c.enabled ? Role::Field : Role::Disabled;
        Run run;
        Append(&run, U"[", frame);
        for (int i = 0; i < inner; ++i) {
            std::size_t at = static_cast<std::size_t>(start + i);
            Append(&run, std::u32string(1, at < text.cells.size() ? text.cells[at] : U' '), inside);
        }
        Append(&run, U"]", frame);
        int end = PlaceRun(l.top, l.left, l.right, {run});
        if (c.focused) {
            grid_.cursorRow = l.top + 1;
            grid_.cursorCol = l.left + 2 + caret - start;
        }
        return end;
    }

    const DialogView& view_;
    int cols_ = 0, rows_ = 0;
    Grid grid_;
    std::vector<int> owner_;
    std::vector<Laid> laid_;
};

}  // namespace

EditLayout LayOutEdit(const ControlView& edit) {
    EditLayout layout;
    std::u32string chars = DecodeText(edit.text, &layout.offsets);
    layout.cells = ToCells(chars);
    int column = 0;
    for (char32_t ch : chars) {
        layout.columns.push_back(column);
        column += CharWidth(ch);
    }
    layout.columns.push_back(column);
    return layout;
}

int CaretCharacter(const ControlView& edit) {
    std::vector<std::size_t> offsets;
    DecodeText(edit.text, &offsets);
    int index = 0;
    while (index < static_cast<int>(offsets.size()) && static_cast<int>(offsets[index]) < edit.caret) ++index;
    return edit.caret < 0 ? static_cast<int>(offsets.size()) : index;
}

int EditScroll(const ControlView& edit, int inner) {
    // Scrolled so that the caret stays in sight.
    EditLayout layout = LayOutEdit(edit);
    int caret = layout.columns[static_cast<std::size_t>(CaretCharacter(edit))];
    return caret >= inner ? caret - inner + 1 : 0;
}

int EditCharacterAt(const ControlView& edit, const Placement& place, int col) {
    int inner = std::max(1, place.right - place.left - 1);
    EditLayout layout = LayOutEdit(edit);
    int target = EditScroll(edit, inner) + col - place.left - 1;
    std::size_t count = layout.offsets.size();
    for (std::size_t k = 0; k < count; ++k) {
        if (target >= layout.columns[k + 1]) continue;
        // The right half of a wide character puts the caret after it.
        if (target > layout.columns[k])
            return k + 1 < count ? static_cast<int>(layout.offsets[k + 1]) : static_cast<int>(edit.text.size());
        return static_cast<int>(layout.offsets[k]);
    }
    return static_cast<int>(edit.text.size());
}

std::string PlainCaption(const std::string& caption) {
    std::string plain;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        plain += caption[i];
    }
    return plain;
}

namespace {

// "Enter GO!", or what Enter sends where its button is not on the screen.
std::string EnterWords(const DialogView& view) {
    if (view.enterId == 0) return "Enter does nothing";
    const std::string name = view.enterCaption.empty() ? std::string("OK") : PlainCaption(view.enterCaption);
    if (view.enterShown) return "Enter " + name;
    return "Enter " + name + " (not shown)";
}

}  // namespace

std::string DialogStatusLine(const DialogView& view) {
    return "Tab move  Space press  " + EnterWords(view) + "  Esc cancel  Alt+letter  F1 help  Ctrl+C quit";
}

std::vector<std::string> DialogHelpLines(const DialogView& view) {
    std::vector<std::string> lines = {
        "The plug-in's dialog, laid out as on Windows.",
        "Keys work as in a Windows dialog:",
        "  Tab, Shift+Tab  the next or the previous control",
        "  arrows          the next control of a group; radio buttons select",
        "  Space           press the focused button, tick the focused box",
    };
    if (view.enterId == 0) {
        lines.push_back("  Enter           does nothing here (its button is disabled)");
    } else if (view.enterShown) {
        lines.push_back("  Enter           presses " + PlainCaption(view.enterCaption) + ", drawn < like this >");
    } else {
        const std::string name = view.enterCaption.empty() ? std::string("OK") : PlainCaption(view.enterCaption);
        lines.push_back("  Enter           sends " + name + ", a button not shown now, as Windows");
        lines.push_back("                  would: no button here is drawn < like this >");
    }
    lines.insert(lines.end(), {
                                  "  Escape          Cancel",
                                  "  Alt+letter      the control with that letter underlined (the",
                                  "                  letter alone where no text field has the focus)",
                                  "  typing          edits the focused field: Backspace, Delete, Home,",
                                  "                  End, Left and Right move and delete",
                              });
    std::string buttons;
    for (const ControlView& c : view.controls) {
        if (c.kind != "button" || !c.enabled) continue;
        const std::size_t amp = c.text.find('&');
        std::string name = PlainCaption(c.text);
        if (amp != std::string::npos && amp + 1 < c.text.size())
            name = "Alt+" +
                   std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(c.text[amp + 1])))) + " " +
                   name;
        buttons += (buttons.empty() ? "" : ", ") + name;
    }
    if (!buttons.empty()) {
        // Wrapped to the help window's width.
        std::string line = "Buttons:";
        std::istringstream words(buttons);
        std::string word;
        while (words >> word) {
            if (line.size() + 1 + word.size() > 66) {
                lines.push_back(line);
                line = "        ";
            }
            line += " " + word;
        }
        lines.push_back(line);
    }
    lines.insert(lines.end(), {
                                  "The mouse clicks buttons, boxes and fields; [X] closes the dialog.",
                                  "Dimmed controls are disabled; red captions are the dialog's own.",
                                  "Ctrl+C leaves at once: the terminal is restored, nothing written.",
                                  "",
                                  "Any key closes this help.",
                              });
    return lines;
}

DialogView ViewOf(HWND dialog) {
    DialogView view;
    view.templateId = sim::DialogTemplateId(dialog);
    view.caption = sim::WindowCaption(dialog);
    const sim::DialogTemplate* layout = sim::FindDialogTemplate(view.templateId);
    if (layout == nullptr) return view;
    view.width = layout->width;
    view.height = layout->height;
    std::vector<sim::ControlInfo> controls = sim::Controls(dialog);
    // The default border goes where Enter goes, as the dialog manager
    // decides it; focus is drawn apart from it.
    view.enterId = sim::EnterCommand(dialog).value_or(0);
    for (const sim::ControlInfo& info : controls) {
        if (view.enterId != 0 && info.id == view.enterId) {
            view.enterCaption = info.text;
            view.enterShown = info.visible;
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const sim::ControlInfo& info = controls[i];
        if (!info.visible) continue;
        const sim::ControlTemplate* place =
            i < layout->controls.size() && layout->controls[i].id == info.id ? &layout->controls[i] : nullptr;
        for (std::size_t k = 0; place == nullptr && k < layout->controls.size(); ++k) {
            if (layout->controls[k].id == info.id) place = &layout->controls[k];
        }
        if (place == nullptr) continue;
        ControlView c;
        c.id = info.id;
        c.kind = info.kind;
        c.text = info.text;
        c.state = info.state;
        c.enabled = info.enabled;
        c.focused = info.focused;
        c.style = info.style;
        c.x = place->x;
        c.y = place->y;
        c.width = place->width;
        c.height = place->height;
        if (c.kind == "button") c.isDefault = view.enterId != 0 && info.id == view.enterId;
        if (!info.enabled) {
            c.textRole = Role::Disabled;
        } else if (std::optional<COLORREF> color = sim::ControlTextColor(dialog, info.id); color && IsRed(*color)) {
            c.textRole = Role::Red;
        } else if (std::optional<sim::FontInfo> font = sim::ControlFont(dialog, info.id);
                   font && (font->weight >= FW_BOLD || std::abs(font->height) > 13)) {
            c.textRole = Role::Heading;
        }
        if (c.kind == "edit") c.caret = static_cast<int>(info.text.size());
        view.controls.push_back(c);
    }
    return view;
}

Grid DrawDialog(const DialogView& view, std::vector<Placement>* placements) { return Layout(view).Draw(placements); }

int CloseBoxColumn(const Grid& dialog) { return dialog.width - 3; }

std::vector<int> BoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        default:
            return {IDOK};
    }
}

const char* ButtonName(int id) {
    switch (id) {
        case IDCANCEL:
            return "Cancel";
        case IDYES:
            return "&Yes";
        case IDNO:
            return "&No";
        default:
            return "OK";
    }
}

Grid DrawMessageBox(const BoxView& box, int maxWidth, std::vector<Placement>* buttons) {
    const char* icon = nullptr;
    switch (box.type & MB_ICONMASK) {
        case MB_ICONERROR:
            icon = "(x)";
            break;
        case MB_ICONWARNING:
            icon = "/!\\";
            break;
        case MB_ICONINFORMATION:
            icon = "(i)";
            break;
        default:
            break;
    }
    std::vector<int> ids = BoxButtons(box.type);
    const int buttonWidth = 10, buttonGap = 2;
    int buttonsWidth = static_cast<int>(ids.size()) * buttonWidth + (static_cast<int>(ids.size()) - 1) * buttonGap;
    int iconWidth = icon != nullptr ? 5 : 0;
    int textRoom = std::max(20, std::min(maxWidth, 72) - 6 - iconWidth);
    std::vector<Run> lines = Wrap(CaptionRun(box.text, Role::Face, false), textRoom);
    int textWidth = 0;
    for (const Run& line : lines) textWidth = std::max(textWidth, static_cast<int>(line.size()));
    std::u32string caption = ToCells(DecodeText(box.caption));
    int inner = std::max({textWidth + iconWidth + 4, buttonsWidth + 4, static_cast<int>(caption.size()) + 5});
    int textRows = std::max(static_cast<int>(lines.size()), icon != nullptr ? 1 : 0);
    Grid grid = WindowFrame(box.caption, inner + 2, textRows + 6, true);

    if (icon != nullptr) grid.PutText(2, 3, DecodeText(icon), Role::Face);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int col = 3 + iconWidth;
        for (const Cell& cell : lines[i]) grid.Put(2 + static_cast<int>(i), col++, cell.ch, cell.role);
    }
    int row = grid.height - 3;
    int col = 1 + (inner - buttonsWidth) / 2;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        bool focused = static_cast<int>(i) == box.focus;
        Role role = focused ? Role::Focus : Role::Face;
        Run caption = CaptionRun(ButtonName(ids[i]), role, true);
        int before = (buttonWidth - 2 - static_cast<int>(caption.size())) / 2;
        grid.Put(row, col, focused ? U'<' : U'[', role);
        grid.Fill(row, col + 1, buttonWidth - 2, role);
        int at = col + 1 + before;
        for (const Cell& cell : caption) grid.Put(row, at++, cell.ch, role, cell.underline);
        grid.Put(row, col + buttonWidth - 1, focused ? U'>' : U']', role);
        if (buttons != nullptr) buttons->push_back(Placement{ids[i], row, col, row, col + buttonWidth - 1});
        col += buttonWidth + buttonGap;
    }
    return grid;
}

}  // namespace terminal
