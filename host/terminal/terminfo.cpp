#include "host/terminal/terminfo.h"

#include <curses.h>
#include <term.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace terminfo {

bool CanPlaceCursor() {
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == 0 || std::strcmp(type, "dumb") == 0) return false;
    int error = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &error) != OK) return false;
    char* move = tigetstr(const_cast<char*>("cup"));
    bool usable = move != nullptr && move != reinterpret_cast<char*>(-1);
    del_curterm(cur_term);
    return usable;
}

}  // namespace terminfo
