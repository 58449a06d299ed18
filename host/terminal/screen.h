// The whole terminal screen: windows over a desktop and a status line, and
// the host's own windows (the command menu, the region form, help). Pure
// functions of what they show, so tests compare them as text.
#pragma once

#include <string>
#include <vector>

#include "host/terminal/grid.h"

namespace terminal {

// An empty window: caption bar (with a close box), frame, face.
Grid WindowFrame(const std::string& caption, int width, int height, bool closeBox);

// Windows stacked over the desktop, each centred in the rows above the
// status line; origins receive where each one's top left cell went.
Grid ComposeScreen(int width, int height, const std::vector<const Grid*>& windows, const std::string& status,
                   std::vector<std::pair<int, int>>* origins = nullptr);
// The size ComposeScreen needs to show these windows whole.
void NeededSize(const std::vector<const Grid*>& windows, int* width, int* height);
// Shown instead when the terminal is smaller than that.
Grid TooSmallScreen(int width, int height, int needWidth, int needHeight);

struct MenuView {
    std::string caption;                // "veldune-host - demo.json"
    std::vector<std::string> commands;  // the plug-in's menu texts
    int selected = 0;
    std::string region;              // the note entry command's region, described
    std::vector<std::string> notes;  // what the last run did, where the score goes
};
// Row of the first command inside the menu window; the commands follow one a row.
constexpr int kMenuFirstCommandRow = 3;
Grid DrawMenu(const MenuView& menu, int maxWidth = 78);

struct FormField {
    std::string label;
    std::string value;
};
struct FormView {
    std::string caption;
    std::string intro;
    std::vector<FormField> fields;
    int focus = 0;
    std::string error;
};
Grid DrawForm(const FormView& form);

// A window of text lines (help), wrapped to the width given.
Grid DrawTextWindow(const std::string& caption, const std::vector<std::string>& lines, int maxWidth);

}  // namespace terminal
