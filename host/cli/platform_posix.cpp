// What the program asks of a POSIX system: isatty, its own folder, and the
// terminal front end.
#include <limits.h>
#include <unistd.h>

#include <string>

#include "host/cli/platform.h"
#include "host/terminal/curses_screen.h"
#include "host/terminal/session.h"

namespace cli {

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

session::ScreenSession TerminalFrontEnd() { return terminal::CursesScreen::Usable() ? &terminal::RunSession : nullptr; }

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace cli
