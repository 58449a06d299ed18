#include "host/terminal/curses_screen.h"

#include <curses.h>

#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <unistd.h>

#include "host/terminal/terminfo.h"

namespace terminal {

namespace {

bool g_active = false;
bool g_colours = false;

enum Pair : short { kDesktop = 1, kFace, kCaption, kRed, kDisabled, kField, kFocus, kStatus };

void Restore() {
    if (!g_active) return;
    g_active = false;
    // Mouse reporting off before the terminal leaves the alternate screen.
    mousemask(0, nullptr);
    endwin();
}

extern "C" void OnSignal(int signal) {
    Restore();
    _exit(128 + signal);
}

void SetUpColours() {
    g_colours = has_colors() && start_color() == OK && COLORS >= 8 && COLOR_PAIRS >= 9;
    if (!g_colours) return;
    // Windows' classic scheme: teal desktop, grey faces, navy title bars.
    const short white = COLORS >= 16 ? 15 : COLOR_WHITE;
    const short grey = COLORS >= 16 ? 8 : COLOR_BLACK;
    init_pair(kDesktop, COLOR_BLACK, COLOR_CYAN);
    init_pair(kFace, COLOR_BLACK, COLOR_WHITE);
    init_pair(kCaption, white, COLOR_BLUE);
    init_pair(kRed, COLOR_RED, COLOR_WHITE);
    init_pair(kDisabled, grey, COLOR_WHITE);
    init_pair(kField, COLOR_BLACK, COLORS >= 16 ? 15 : COLOR_CYAN);
    init_pair(kFocus, white, COLOR_BLUE);
    init_pair(kStatus, COLOR_BLACK, COLOR_WHITE);
}

void Rendition(Role role, bool underline, attr_t* attrs, short* pair) {
    *attrs = underline ? A_UNDERLINE : A_NORMAL;
    *pair = 0;
    if (g_colours) {
        switch (role) {
            case Role::Desktop:
                *pair = kDesktop;
                break;
            case Role::Caption:
                *pair = kCaption;
                *attrs |= A_BOLD;
                break;
            case Role::Red:
                *pair = kRed;
                break;
            case Role::Disabled:
                *pair = kDisabled;
                if (COLORS < 16) *attrs |= A_DIM;
                break;
            case Role::Heading:
                *pair = kFace;
                *attrs |= A_BOLD;
                break;
            case Role::Field:
                *pair = kField;
                break;
            case Role::Focus:
                *pair = kFocus;
                *attrs |= A_BOLD;
                break;
            case Role::Status:
                *pair = kStatus;
                *attrs |= A_REVERSE;
                break;
            default:
                *pair = kFace;
                break;
        }
        return;
    }
    switch (role) {
        case Role::Caption:
        case Role::Focus:
        case Role::Status:
            *attrs |= A_REVERSE;
            break;
        case Role::Red:
        case Role::Heading:
            *attrs |= A_BOLD;
            break;
        case Role::Disabled:
            *attrs |= A_DIM;
            break;
        case Role::Field:
            *attrs |= A_UNDERLINE;
            break;
        default:
            break;
    }
}

const cchar_t* LineChar(Line line) {
    switch (line) {
        case Line::Horizontal:
            return WACS_HLINE;
        case Line::Vertical:
            return WACS_VLINE;
        case Line::TopLeft:
            return WACS_ULCORNER;
        case Line::TopRight:
            return WACS_URCORNER;
        case Line::BottomLeft:
            return WACS_LLCORNER;
        default:
            return WACS_LRCORNER;
    }
}

std::string Utf8(wint_t ch) {
    char buffer[MB_LEN_MAX + 1] = {};
    std::mbstate_t state{};
    std::size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(ch), &state);
    if (n == static_cast<std::size_t>(-1)) return "?";
    return std::string(buffer, n);
}

std::string FunctionKeyName(int code) {
    switch (code) {
        case KEY_UP:
            return "Up";
        case KEY_DOWN:
            return "Down";
        case KEY_LEFT:
            return "Left";
        case KEY_RIGHT:
            return "Right";
        case KEY_HOME:
            return "Home";
        case KEY_END:
            return "End";
        case KEY_DC:
            return "Delete";
        case KEY_BACKSPACE:
            return "Backspace";
        case KEY_BTAB:
            return "Shift+Tab";
        case KEY_ENTER:
            return "Enter";
        default:
            return "";
    }
}

}  // namespace

bool CursesScreen::Usable() { return terminfo::CanPlaceCursor(); }

CursesScreen::CursesScreen() {
    std::setlocale(LC_ALL, "");
    // A short wait tells Escape from the start of Alt+letter or of a mouse
    // report; a loaded machine can split those, so not too short.
    if (std::getenv("ESCDELAY") == nullptr) set_escdelay(100);
    initscr();
    g_active = true;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
    mouseinterval(0);
    SetUpColours();
}

CursesScreen::~CursesScreen() {
    Restore();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

int CursesScreen::Width() const { return COLS; }
int CursesScreen::Height() const { return LINES; }

void CursesScreen::Paint(const Grid& grid) {
    for (int row = 0; row < grid.height && row < LINES; ++row) {
        for (int col = 0; col < grid.width && col < COLS; ++col) {
            const Cell& cell = grid.At(row, col);
            attr_t attrs;
            short pair;
            Rendition(cell.role, cell.underline, &attrs, &pair);
            if (cell.line != Line::None) {
                cchar_t piece = *LineChar(cell.line);
                piece.attr = (piece.attr & A_ALTCHARSET) | attrs | COLOR_PAIR(pair);
                mvadd_wch(row, col, &piece);
                continue;
            }
            char32_t shown = Shown(grid, row, col);
            if (shown == kWideTail) continue;  // the wide character before covers it
            wchar_t text[2] = {static_cast<wchar_t>(shown), 0};
            cchar_t out;
            setcchar(&out, text, attrs, pair, nullptr);
            mvadd_wch(row, col, &out);
        }
    }
    if (grid.cursorRow >= 0 && grid.cursorRow < LINES && grid.cursorCol < COLS) {
        curs_set(1);
        move(grid.cursorRow, grid.cursorCol);
    } else {
        curs_set(0);
    }
    refresh();
}

Input CursesScreen::Read() {
    for (;;) {
        wint_t ch = 0;
        int got = get_wch(&ch);
        Input input;
        if (got == ERR) {
            input.kind = Input::End;
            return input;
        }
        if (got == KEY_CODE_YES) {
            int code = static_cast<int>(ch);
            if (code == KEY_RESIZE) {
                input.kind = Input::Resize;
                return input;
            }
            if (code == KEY_F(1)) {
                input.kind = Input::Help;
                return input;
            }
            if (code == KEY_MOUSE) {
                MEVENT event;
                if (getmouse(&event) != OK || (event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) == 0) continue;
                input.kind = Input::Mouse;
                input.row = event.y;
                input.col = event.x;
                return input;
            }
            input.key = FunctionKeyName(code);
            if (input.key.empty()) continue;
            input.kind = Input::Key;
            return input;
        }
        input.kind = Input::Key;
        switch (ch) {
            case 3:  // Ctrl+C
                input.kind = Input::Interrupt;
                return input;
            case 12:  // Ctrl+L
                input.kind = Input::Redraw;
                return input;
            case '\r':
            case '\n':
                input.key = "Enter";
                return input;
            case '\t':
                input.key = "Tab";
                return input;
            case 8:
            case 127:
                input.key = "Backspace";
                return input;
            case ' ':
                input.key = "Space";
                return input;
            case 27: {
                // Escape alone, or Alt with the key that follows at once.
                timeout(100);
                wint_t next = 0;
                int second = get_wch(&next);
                timeout(-1);
                if (second == OK && next > ' ' && next < 127) {
                    input.key = "Alt+" + std::string(1, static_cast<char>(next));
                    return input;
                }
                if (second == KEY_CODE_YES) ungetch(static_cast<int>(next));
                if (second == OK) unget_wch(next);
                input.key = "Escape";
                return input;
            }
            default:
                break;
        }
        if (ch < ' ' || ch == 127) continue;  // other control keys do nothing here
        input.key = Utf8(ch);
        input.typed = true;
        return input;
    }
}

Input CursesScreen::Poll() {
    nodelay(stdscr, TRUE);
    Input input = Read();
    nodelay(stdscr, FALSE);
    return input;
}

void CursesScreen::Abandon() {
    Restore();
    _exit(130);
}

}  // namespace terminal
