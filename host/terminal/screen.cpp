#include "host/terminal/screen.h"

#include <algorithm>

namespace terminal {

namespace {

std::u32string Clip(const std::string& text, int width) {
    std::u32string chars = ToCells(DecodeText(text));
    if (width < 0) width = 0;
    if (static_cast<int>(chars.size()) > width) chars.resize(static_cast<std::size_t>(width));
    return chars;
}

int Length(const std::string& text) { return static_cast<int>(ToCells(DecodeText(text)).size()); }

// Greedy word wrap; leading blanks of a line are kept (indentation).
std::vector<std::string> WrapLine(const std::string& line, int width) {
    std::vector<std::string> out;
    std::u32string chars = ToCells(DecodeText(line));
    std::size_t indent = 0;
    while (indent < chars.size() && chars[indent] == U' ') ++indent;
    std::u32string current(chars.begin(), chars.begin() + static_cast<long>(indent));
    std::size_t i = indent;
    auto flush = [&] {
        std::string text;
        for (char32_t ch : current) text += EncodeUtf8(ch);
        out.push_back(text);
    };
    while (i < chars.size()) {
        std::size_t end = chars.find(U' ', i);
        if (end == std::u32string::npos) end = chars.size();
        std::u32string word = chars.substr(i, end - i);
        bool fresh = current.size() == indent;
        if (!fresh && current.size() + 1 + word.size() > static_cast<std::size_t>(width)) {
            flush();
            current.assign(indent, U' ');
            fresh = true;
        }
        if (!fresh) current += U' ';
        current += word;
        i = end + 1;
    }
    flush();
    return out;
}

}  // namespace

Grid WindowFrame(const std::string& caption, int width, int height, bool closeBox) {
    Grid grid(width, height, Role::Face);
    grid.Fill(0, 0, width, Role::Caption);
    grid.PutText(0, 1, Clip(caption, width - (closeBox ? 6 : 2)), Role::Caption);
    if (closeBox) grid.PutText(0, width - 4, U"[X]", Role::Caption);
    int bottom = height - 1, right = width - 1;
    for (int row = 1; row < bottom; ++row) {
        grid.PutLine(row, 0, Line::Vertical, Role::Face);
        grid.PutLine(row, right, Line::Vertical, Role::Face);
    }
    for (int col = 1; col < right; ++col) grid.PutLine(bottom, col, Line::Horizontal, Role::Face);
    grid.PutLine(bottom, 0, Line::BottomLeft, Role::Face);
    grid.PutLine(bottom, right, Line::BottomRight, Role::Face);
    return grid;
}

void NeededSize(const std::vector<const Grid*>& windows, int* width, int* height) {
    *width = 0;
    *height = 0;
    for (const Grid* window : windows) {
        *width = std::max(*width, window->width);
        *height = std::max(*height, window->height);
    }
    *height += 1;  // the status line
}

Grid ComposeScreen(int width, int height, const std::vector<const Grid*>& windows, const std::string& status,
                   std::vector<std::pair<int, int>>* origins) {
    Grid screen(width, height, Role::Desktop);
    for (const Grid* window : windows) {
        int row = std::max(0, (height - 1 - window->height) / 2);
        int col = std::max(0, (width - window->width) / 2);
        // A window over another hides the cursor of the one beneath.
        screen.cursorRow = screen.cursorCol = -1;
        screen.Blit(*window, row, col);
        if (origins != nullptr) origins->push_back({row, col});
    }
    screen.Fill(height - 1, 0, width, Role::Status);
    screen.PutText(height - 1, 1, Clip(status, width - 2), Role::Status);
    return screen;
}

Grid TooSmallScreen(int width, int height, int needWidth, int needHeight) {
    Grid screen(width, height, Role::Face);
    std::vector<std::string> lines = {
        "The terminal is too small for this window.",
        "It is " + std::to_string(width) + " x " + std::to_string(height) + "; it needs at least " +
            std::to_string(needWidth) + " x " + std::to_string(needHeight) + " (columns x rows).",
        "Make the window larger; Ctrl+C leaves without writing anything.",
    };
    std::vector<std::string> wrapped;
    for (const std::string& line : lines) {
        for (std::string& part : WrapLine(line, std::max(10, width - 2))) wrapped.push_back(part);
    }
    int row = std::max(0, (height - static_cast<int>(wrapped.size())) / 2);
    for (const std::string& line : wrapped) screen.PutText(row++, 1, Clip(line, width - 2), Role::Face);
    return screen;
}

Grid DrawMenu(const MenuView& menu, int maxWidth) {
    std::vector<std::string> lines;
    int width = Length(menu.caption) + 8;
    for (const std::string& command : menu.commands) width = std::max(width, Length(command) + 12);
    std::string regionLine = "Region for the note entry command: " + menu.region;
    width = std::max(width, Length(regionLine) + 4);
    for (const std::string& note : menu.notes) width = std::max(width, Length(note) + 4);
    width = std::max(24, std::min({width, 78, maxWidth}));
    std::vector<std::string> notes;
    for (const std::string& note : menu.notes) {
        for (std::string& part : WrapLine(note, width - 4)) notes.push_back(part);
    }
    std::vector<std::string> region = WrapLine(regionLine, width - 4);
    int count = static_cast<int>(menu.commands.size());
    int height = kMenuFirstCommandRow + count + 1 + static_cast<int>(region.size()) + 2 +
                 (notes.empty() ? 0 : static_cast<int>(notes.size()) + 1);
    Grid grid = WindowFrame(menu.caption, width, height, false);
    grid.PutText(1, 2, Clip("Choose a command of the plug-in:", width - 4), Role::Face);
    for (int i = 0; i < count; ++i) {
        int row = kMenuFirstCommandRow + i;
        std::string label = std::to_string(i + 1) + "  " + menu.commands[static_cast<std::size_t>(i)];
        Role role = i == menu.selected ? Role::Focus : Role::Face;
        grid.Fill(row, 3, width - 6, role);
        grid.PutText(row, 4, Clip(label, width - 8), role);
        if (grid.Inside(row, 4)) grid.At(row, 4).underline = true;
    }
    int row = kMenuFirstCommandRow + count + 1;
    for (const std::string& line : region) grid.PutText(row++, 2, Clip(line, width - 4), Role::Face);
    grid.PutText(row, 2, Clip("R changes the region", width - 4), Role::Face);
    grid.At(row, 2).underline = true;
    row += 2;
    for (const std::string& line : notes) grid.PutText(row++, 2, Clip(line, width - 4), Role::Face);
    return grid;
}

Grid DrawForm(const FormView& form) {
    int labelWidth = 0;
    for (const FormField& field : form.fields) labelWidth = std::max(labelWidth, Length(field.label));
    const int valueWidth = 12;
    int width = std::max({labelWidth + valueWidth + 9, Length(form.caption) + 4, 40});
    width = std::min(width, 78);
    std::vector<std::string> intro = WrapLine(form.intro, width - 4);
    std::vector<std::string> error = form.error.empty() ? std::vector<std::string>{} : WrapLine(form.error, width - 4);
    int height = 3 + static_cast<int>(intro.size()) + static_cast<int>(form.fields.size()) +
                 (error.empty() ? 0 : static_cast<int>(error.size()) + 1);
    Grid grid = WindowFrame(form.caption, width, height, false);
    int row = 1;
    for (const std::string& line : intro) grid.PutText(row++, 2, Clip(line, width - 4), Role::Face);
    ++row;
    for (std::size_t i = 0; i < form.fields.size(); ++i, ++row) {
        const FormField& field = form.fields[i];
        grid.PutText(row, 2, Clip(field.label, labelWidth), Role::Face);
        int col = 2 + labelWidth + 2;
        bool focused = static_cast<int>(i) == form.focus;
        grid.Put(row, col, U'[', focused ? Role::Focus : Role::Face);
        grid.Fill(row, col + 1, valueWidth, Role::Field);
        grid.PutText(row, col + 1, Clip(field.value, valueWidth), Role::Field);
        grid.Put(row, col + 1 + valueWidth, U']', focused ? Role::Focus : Role::Face);
        if (focused) {
            grid.cursorRow = row;
            grid.cursorCol = col + 1 + std::min(Length(field.value), valueWidth - 1);
        }
    }
    if (!error.empty()) {
        ++row;
        for (const std::string& line : error) grid.PutText(row++, 2, Clip(line, width - 4), Role::Red);
    }
    return grid;
}

Grid DrawTextWindow(const std::string& caption, const std::vector<std::string>& lines, int maxWidth) {
    int width = std::min(std::max(maxWidth, 24), 78);
    std::vector<std::string> wrapped;
    for (const std::string& line : lines) {
        for (std::string& part : WrapLine(line, width - 4)) wrapped.push_back(part);
    }
    int textWidth = Length(caption) + 4;
    for (const std::string& line : wrapped) textWidth = std::max(textWidth, Length(line));
    width = std::min(width, textWidth + 4);
    Grid grid = WindowFrame(caption, width, static_cast<int>(wrapped.size()) + 4, false);
    int row = 2;
    for (const std::string& line : wrapped) grid.PutText(row++, 2, Clip(line, width - 4), Role::Face);
    return grid;
}

}  // namespace terminal
