#include "host/users/command_user.h"

#include <cctype>
#include <istream>
#include <ostream>
#include <vector>

namespace users {

namespace {

std::string LowerTrimmed(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\r') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

int Ask(session::Console& console, const std::string& question, std::initializer_list<const char*> choices) {
    std::vector<std::string> words(choices.begin(), choices.end());
    std::string hint;
    for (const std::string& word : words) hint += (hint.empty() ? "" : "/") + word;
    for (;;) {
        *console.out << question << " [" << hint << "] " << std::flush;
        std::string line;
        if (console.in == nullptr || !std::getline(*console.in, line)) {
            *console.out << "\n";
            return -1;
        }
        std::string typed = LowerTrimmed(line);
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (!typed.empty() && (typed == words[i] || (typed.size() == 1 && typed[0] == words[i][0]))) {
                return static_cast<int>(i);
            }
        }
    }
}

int CommandUser::AnswerMessageBox(const sim::MessageBoxInfo& box) {
    std::ostream& out = *console_.out;
    out << box.caption << ": " << box.text << "\n";
    if ((box.type & MB_TYPEMASK) != MB_YESNO) return IDOK;
    if (refused) return IDNO;
    if (yes_) {
        out << "-> Yes (--yes)\n";
        return IDYES;
    }
    if (console_.terminal) return Ask(console_, prompt_, {"yes", "no"}) == 0 ? IDYES : IDNO;
    if (*why_ != 0) out << why_ << "\n";
    out << "-> No (give --yes to go on)\n";
    return IDNO;
}

bool CommandUser::Act(const std::string& what, const std::string& why) {
    if (why.empty()) return true;
    *console_.err << "veldune-host: cannot " << what << ": " << why << "\n";
    refused = true;
    return false;
}

}  // namespace users
