// The real terminal, through ncurses: painting a grid and reading what the
// person does. Nothing else in the host touches ncurses.
#pragma once

#include <string>

#include "host/terminal/grid.h"

namespace terminal {

struct Input {
    enum Kind { Key, Mouse, Resize, Help, Redraw, Interrupt, End } kind = End;
    // For Key: a key name as the keyboard of the dialog manager reads it
    // ("Enter", "Shift+Tab", "Alt+R", "F5"...), or the UTF-8 character typed.
    std::string key;
    bool typed = false;    // key is a character to type
    int row = 0, col = 0;  // Mouse: the cell clicked
};

// Where a session draws and what it reads: the real terminal, or a test's
// list of inputs.
class ScreenIo {
public:
    virtual ~ScreenIo() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Paint(const Grid& grid) = 0;
    virtual Input Read() = 0;
    // What was pressed meanwhile, without waiting: End when nothing was.
    virtual Input Poll() { return Input{}; }
    // Ctrl+C: leave at once, writing nothing.
    [[noreturn]] virtual void Abandon() = 0;
};

class CursesScreen : public ScreenIo {
public:
    // Whether standard output's terminal type is known and can place the
    // cursor; without that only the line prompt works.
    static bool Usable();

    // Takes over the terminal (alternate screen, raw keys, mouse); the
    // destructor gives it back as it was. Ctrl+C, SIGINT, SIGTERM and SIGHUP
    // give it back too before the process ends.
    CursesScreen();
    ~CursesScreen();
    CursesScreen(const CursesScreen&) = delete;
    CursesScreen& operator=(const CursesScreen&) = delete;

    int Width() const override;
    int Height() const override;
    void Paint(const Grid& grid) override;
    Input Read() override;
    Input Poll() override;
    // Gives the terminal back and ends the process at once with status 130:
    // nothing is written, no settings either.
    [[noreturn]] void Abandon() override;
};

}  // namespace terminal
