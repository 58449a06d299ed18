#include "host/terminal/grid.h"

namespace terminal {

Grid::Grid(int w, int h, Role fill) : width(w < 0 ? 0 : w), height(h < 0 ? 0 : h) {
    Cell blank;
    blank.role = fill;
    cells.assign(static_cast<std::size_t>(width) * height, blank);
}

void Grid::Put(int row, int col, char32_t ch, Role role, bool underline) {
    if (!Inside(row, col)) return;
    Cell& cell = At(row, col);
    cell.ch = ch;
    cell.line = Line::None;
    cell.role = role;
    cell.underline = underline;
}

void Grid::PutLine(int row, int col, Line line, Role role) {
    if (!Inside(row, col)) return;
    Cell& cell = At(row, col);
    cell.ch = U' ';
    cell.line = line;
    cell.role = role;
    cell.underline = false;
}

int Grid::PutText(int row, int col, const std::u32string& text, Role role) {
    for (char32_t ch : text) Put(row, col++, ch, role);
    return col;
}

void Grid::Fill(int row, int col, int count, Role role) {
    for (int i = 0; i < count; ++i) Put(row, col + i, U' ', role);
}

void Grid::Blit(const Grid& other, int row, int col) {
    for (int r = 0; r < other.height; ++r) {
        for (int c = 0; c < other.width; ++c) {
            if (Inside(row + r, col + c)) At(row + r, col + c) = other.At(r, c);
        }
    }
    if (other.cursorRow >= 0 && Inside(row + other.cursorRow, col + other.cursorCol)) {
        cursorRow = row + other.cursorRow;
        cursorCol = col + other.cursorCol;
    }
}

int CharWidth(char32_t ch) {
    if ((ch >= 0x0300 && ch < 0x0370) || (ch >= 0x200B && ch < 0x2010) || (ch >= 0xFE20 && ch < 0xFE30)) return 0;
    if ((ch >= 0x1100 && ch < 0x1160) || (ch >= 0x2E80 && ch < 0x303F) || (ch >= 0x3041 && ch < 0xA4D0) ||
        (ch >= 0xAC00 && ch < 0xD7A4) || (ch >= 0xF900 && ch < 0xFB00) || (ch >= 0xFE30 && ch < 0xFE50) ||
        (ch >= 0xFF00 && ch < 0xFF61) || (ch >= 0xFFE0 && ch < 0xFFE7) || (ch >= 0x1F300 && ch < 0x1F650) ||
        (ch >= 0x20000 && ch < 0x3FFFE))
        return 2;
    return 1;
}

std::u32string ToCells(const std::u32string& chars) {
    std::u32string cells;
    for (char32_t ch : chars) {
        int width = CharWidth(ch);
        if (width == 0) continue;
        cells += ch;
        if (width == 2) cells += kWideTail;
    }
    return cells;
}

char32_t Shown(const Grid& grid, int row, int col) {
    const Cell& cell = grid.At(row, col);
    if (cell.ch == kWideTail) {
        bool head = col > 0 && grid.At(row, col - 1).line == Line::None && CharWidth(grid.At(row, col - 1).ch) == 2;
        return head ? kWideTail : U' ';
    }
    if (CharWidth(cell.ch) == 2) {
        bool tail =
            col + 1 < grid.width && grid.At(row, col + 1).line == Line::None && grid.At(row, col + 1).ch == kWideTail;
        return tail ? cell.ch : U'?';
    }
    return cell.ch;
}

std::string GridText(const Grid& grid) {
    std::string out;
    for (int row = 0; row < grid.height; ++row) {
        std::string line;
        for (int col = 0; col < grid.width; ++col) {
            const Cell& cell = grid.At(row, col);
            switch (cell.line) {
                case Line::None:
                    if (char32_t shown = Shown(grid, row, col); shown != kWideTail) line += EncodeUtf8(shown);
                    break;
                case Line::Horizontal:
                    line += '-';
                    break;
                case Line::Vertical:
                    line += '|';
                    break;
                default:
                    line += '+';
                    break;
            }
        }
        out += line + "\n";
    }
    return out;
}

std::string RolesText(const Grid& grid) {
    std::string out;
    for (int row = 0; row < grid.height; ++row) {
        for (int col = 0; col < grid.width; ++col) {
            const Cell& cell = grid.At(row, col);
            char mark = static_cast<char>(cell.role);
            if (cell.underline) mark = mark == ' ' ? '_' : static_cast<char>(mark - 'a' + 'A');
            out += mark;
        }
        out += "\n";
    }
    return out;
}

std::u32string DecodeText(const std::string& bytes, std::vector<std::size_t>* offsets) {
    std::u32string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int extra = lead >= 0xC2 && lead < 0xE0   ? 1
                    : lead >= 0xE0 && lead < 0xF0 ? 2
                    : lead >= 0xF0 && lead < 0xF5 ? 3
                                                  : 0;
        char32_t value = lead & (0x7Fu >> (extra + 1));
        bool valid = extra > 0 && i + extra < bytes.size();
        for (int k = 1; valid && k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3Fu);
        }
        valid = valid && !(extra == 2 && value < 0x800) && !(extra == 3 && (value < 0x10000 || value > 0x10FFFF)) &&
                !(value >= 0xD800 && value < 0xE000);
        if (offsets != nullptr) offsets->push_back(i);
        if (valid) {
            out += value;
            i += static_cast<std::size_t>(extra) + 1;
            continue;
        }
        // Control characters would move the terminal's cursor; they show as '?'.
        bool control = lead < 0x20 || (lead >= 0x7F && lead < 0xA0);
        out += control ? U'?' : static_cast<char32_t>(lead);
        ++i;
    }
    return out;
}

std::string EncodeUtf8(char32_t ch) {
    std::string out;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
    return out;
}

}  // namespace terminal
