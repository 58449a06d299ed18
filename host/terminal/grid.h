// A screen as cells: what the terminal front end draws, and what the tests
// compare as text, so no test needs a real terminal.
#pragma once

#include <string>
#include <vector>

namespace terminal {

// What a cell is, beyond its character; the front end maps each role to the
// colours or attributes the terminal has. The letters are the role's mark in
// RolesText.
enum class Role : char {
    Desktop = '.',   // outside every window
    Face = ' ',      // a window's face, ordinary text
    Caption = 'c',   // a title bar
    Red = 'r',       // text the dialog draws in red
    Disabled = 'd',  // dimmed text
    Heading = 'h',   // text in a larger or bold font
    Field = 'e',     // inside an edit field
    Focus = 'f',     // the focused control
    Status = 's',    // the status line
};

// Box-drawing pieces; the front end draws them with the terminal's line
// characters, the text form with + - |.
enum class Line : char { None, Horizontal, Vertical, TopLeft, TopRight, BottomLeft, BottomRight };

struct Cell {
    char32_t ch = U' ';
    Line line = Line::None;
    Role role = Role::Face;
    bool underline = false;  // a mnemonic letter
};

struct Grid {
    int width = 0;
    int height = 0;
    std::vector<Cell> cells;
    int cursorRow = -1;  // where the terminal's cursor stands (an edit's caret), or -1
    int cursorCol = -1;

    Grid() = default;
    Grid(int w, int h, Role fill);

    bool Inside(int row, int col) const { return row >= 0 && col >= 0 && row < height && col < width; }
    Cell& At(int row, int col) { return cells[static_cast<std::size_t>(row) * width + col]; }
    const Cell& At(int row, int col) const { return cells[static_cast<std::size_t>(row) * width + col]; }

    // Writes clip at the edges.
    void Put(int row, int col, char32_t ch, Role role, bool underline = false);
    void PutLine(int row, int col, Line line, Role role);
    // Returns the column after the text.
    int PutText(int row, int col, const std::u32string& text, Role role);
    void Fill(int row, int col, int width, Role role);  // spaces
    // Copies another grid in at this place, its cursor too.
    void Blit(const Grid& other, int row, int col);
};

// One line a row, box pieces as + - |, characters in UTF-8.
std::string GridText(const Grid& grid);
// One role letter a cell, upper case (or '_' for a face cell) where underlined.
std::string RolesText(const Grid& grid);

// Texts are 8-bit; valid UTF-8 is read as such, any other byte as Latin-1.
// offsets, when given, receives the byte offset where each character starts.
std::u32string DecodeText(const std::string& bytes, std::vector<std::size_t>* offsets = nullptr);
std::string EncodeUtf8(char32_t ch);

// Columns a character takes at a terminal: 2 for the wide East Asian
// characters, 0 for combining marks, else 1.
int CharWidth(char32_t ch);
// The second cell of a wide character holds this.
constexpr char32_t kWideTail = 0;
// Characters as cells: a wide one followed by kWideTail, combining marks
// left out (they would shift everything after them).
std::u32string ToCells(const std::u32string& chars);
// A cell that shows its character whole: not a wide one cut off at its
// second cell, nor the tail of one that is gone. What stands there instead.
char32_t Shown(const Grid& grid, int row, int col);

}  // namespace terminal
