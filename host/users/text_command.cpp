#include "host/users/text_command.h"

#include <cstdio>
#include <ostream>
#include <sstream>

#include "host/sim/sim.h"
#include "host/users/command_user.h"
#include "resource.h"

namespace users {

namespace {

constexpr std::size_t kFieldLimit = 50;  // the setup dialog's edits take no more

const char* const kElementNames[8] = {"page",  "measure", "expressions", "staff",
                                      "group", "repeats", "endings",     "lyrics"};
// As a musician says them.
const char* const kElementWords[8] = {"page texts",  "measure texts", "text expressions", "staff names",
                                      "group names", "text repeats",  "ending repeats",   "lyrics"};

std::string Line(HWND dialog, int id) { return sim::ControlText(dialog, id).value_or(""); }
bool Visible(HWND dialog, int id) { return sim::ControlVisible(dialog, id).value_or(false); }

class TextUser : public CommandUser {
public:
    TextUser(const TextOptions& options, session::Console& console, const std::array<bool, 8>* elements,
             const MatchPlace& place)
        : CommandUser(console, options.yes, "Continue?",
                      "The plug-in asks because lyrics are searched and the replace text is not as long as the "
                      "search text: a changed verse is split back into syllables by their places."),
          options_(options),
          elements_(elements),
          place_(place) {}

    void DriveDialog(HWND dialog) override {
        if (refused) return;
        switch (sim::DialogTemplateId(dialog)) {
            case IDD_TEXT_SETUP:
                FillSetup(dialog);
                break;
            case IDD_TEXT_RESULTS:
                StepThroughResults(dialog);
                break;
            default:
                *console_.err << "veldune-host: unexpected dialog " << sim::DialogTemplateId(dialog) << "\n";
                refused = true;
                break;
        }
    }

private:
    void FillSetup(HWND dialog) {
        const bool replacing = options_.replace.has_value();
        if (!Act("type the search text", sim::Type(dialog, IDC_SETUP_SEARCH, options_.search)) ||
            !Act("set Case sensitive", sim::SetState(dialog, IDC_SETUP_CASE, options_.matchCase ? 1 : 0)) ||
            !Act("set Search tags", sim::SetState(dialog, IDC_SETUP_TAGS, options_.tags ? 1 : 0)) ||
            !Act("set Replace with", sim::SetState(dialog, IDC_SETUP_REPLACE_ON, replacing ? 1 : 0))) {
            return;
        }
        if (replacing && !Act("type the replace text", sim::Type(dialog, IDC_SETUP_REPLACE, *options_.replace))) {
            return;
        }
        if (elements_ != nullptr) {
            for (int i = 0; i < 8; ++i) {
                if (!Act(std::string("set the element switch ") + kElementNames[i],
                         sim::SetState(dialog, IDC_SETUP_PAGE_TEXT + i, (*elements_)[i] ? 1 : 0))) {
                    return;
                }
            }
        }
        PrintOptionsUsed(dialog);
        if (!Act("press GO!", sim::Click(dialog, IDOK))) return;
        // Still open: the dialog refused and its message has been printed.
        if (!sim::DialogEnded(dialog)) refused = true;
    }

    // What the dialog is about to search, as it stands when GO! is pressed:
    // the flags' doing or a fresh user's defaults, never a surprise.
    void PrintOptionsUsed(HWND dialog) {
        std::string on, off;
        for (int i = 0; i < 8; ++i) {
            const bool checked = sim::ControlState(dialog, IDC_SETUP_PAGE_TEXT + i).value_or(0) == BST_CHECKED;
            if (checked) lyricsSearched = lyricsSearched || i == 7;
            std::string& list = checked ? on : off;
            list += (list.empty() ? "" : ", ") + std::string(kElementWords[i]);
        }
        const bool matchCase = sim::ControlState(dialog, IDC_SETUP_CASE).value_or(0) == BST_CHECKED;
        const bool tags = sim::ControlState(dialog, IDC_SETUP_TAGS).value_or(0) == BST_CHECKED;
        *console_.out << "searching: " << (on.empty() ? "nothing" : on) << (off.empty() ? "" : " (not: " + off + ")")
                      << "; " << (matchCase ? "case-sensitive" : "case-insensitive")
                      << (tags ? "; formatting tags searched" : "") << "\n";
    }

public:
    bool lyricsSearched = false;

private:
    void PrintMatch(HWND dialog) {
        std::ostream& out = *console_.out;
        out << "\n" << Line(dialog, IDC_RESULTS_HEADING) << " " << Line(dialog, IDC_RESULTS_LOCATION) << "\n";
        out << "    " << Line(dialog, IDC_RESULTS_TEXT) << "\n";
        const std::string position = Line(dialog, IDC_RESULTS_POSITION);
        out << position << "\n";
        int at = 0;
        if (place_ && std::sscanf(position.c_str(), "at position %d", &at) == 1) {
            const std::string where = place_(at);
            if (!where.empty()) out << "in the score: " << where << "\n";
        }
    }

    void PrintSummary(HWND dialog) {
        std::ostream& out = *console_.out;
        out << "\n" << Line(dialog, IDC_RESULTS_HEADING) << "\n";
        for (int id : {IDC_RESULTS_LOCATION, IDC_RESULTS_TEXT, IDC_RESULTS_POSITION, IDC_RESULTS_REPLACED,
                       IDC_RESULTS_QUESTION}) {
            std::string line = Line(dialog, id);
            if (!line.empty()) out << line << "\n";
        }
        std::sscanf(Line(dialog, IDC_RESULTS_TEXT).c_str(), "%d", &counts.found);
        const std::string replaced = Line(dialog, IDC_RESULTS_REPLACED);
        counts.replaced = 0;
        if (!replaced.empty()) std::sscanf(replaced.c_str(), "%d", &counts.replaced);
    }

public:
    TextCounts counts;

private:
    // The button a person would press for the match on screen.
    int ChooseButton(HWND dialog) {
        std::ostream& out = *console_.out;
        const std::string question = Line(dialog, IDC_RESULTS_QUESTION);
        if (Visible(dialog, IDC_RESULTS_YES)) {
            if (options_.all) {
                out << question << " -> Yes to all\n";
                return IDC_RESULTS_YES_ALL;
            }
            if (console_.terminal) {
                static const int buttons[] = {IDC_RESULTS_YES, IDC_RESULTS_NO, IDC_RESULTS_YES_ALL, IDCANCEL};
                int choice = Ask(console_, question, {"yes", "no", "all", "quit"});
                return choice < 0 ? IDCANCEL : buttons[choice];
            }
            out << question << " -> No (give --all to replace)\n";
            return IDC_RESULTS_NO;
        }
        if (console_.terminal && !options_.all) {
            int choice = Ask(console_, "Go on?", {"next", "quit"});
            return choice == 0 ? IDC_RESULTS_NEXT : IDCANCEL;
        }
        return IDC_RESULTS_NEXT;
    }

    void StepThroughResults(HWND dialog) {
        while (!sim::DialogEnded(dialog)) {
            if (Visible(dialog, IDOK)) {
                PrintSummary(dialog);
                Act("press OK", sim::Click(dialog, IDOK));
                return;
            }
            PrintMatch(dialog);
            int button = ChooseButton(dialog);
            if (button == IDCANCEL) {
                *console_.out << "Stopped; the replacements made so far are kept.\n";
                Act("press Cancel", sim::Click(dialog, IDCANCEL));
                return;
            }
            if (!Act("press the button", sim::Click(dialog, button))) return;
        }
    }

    const TextOptions& options_;
    const std::array<bool, 8>* elements_;
    const MatchPlace& place_;
};

}  // namespace

bool ParseElementList(const std::string& list, std::array<bool, 8>* on, std::string* error) {
    on->fill(false);
    std::istringstream in(list);
    std::string word;
    bool any = false;
    while (std::getline(in, word, ',')) {
        std::size_t first = word.find_first_not_of(' ');
        std::size_t last = word.find_last_not_of(' ');
        word = first == std::string::npos ? std::string() : word.substr(first, last - first + 1);
        if (word == "all") {
            on->fill(true);
            any = true;
            continue;
        }
        bool known = false;
        for (int i = 0; i < 8; ++i) {
            if (word == kElementNames[i]) {
                (*on)[i] = true;
                known = true;
            }
        }
        if (!known) {
            *error = "--elements: unknown element \"" + word +
                     "\" (expected page, measure, expressions, staff, group, repeats, endings, lyrics or all)";
            return false;
        }
        any = true;
    }
    if (!any) {
        *error = "--elements: expected a comma-separated list of elements, or all";
        return false;
    }
    return true;
}

bool PrepareText(const TextOptions& options, std::array<bool, 8>* elements, std::string* error) {
    if (options.search.size() > kFieldLimit || (options.replace && options.replace->size() > kFieldLimit)) {
        *error = "the search and replace texts take at most " + std::to_string(kFieldLimit) + " characters each";
        return false;
    }
    *elements = kFreshElements;
    return !options.elements || ParseElementList(*options.elements, elements, error);
}

const std::array<bool, 8>* ElementsToSet(const TextOptions& options, const std::array<bool, 8>& prepared) {
    return options.elements || !options.remember ? &prepared : nullptr;
}

int RunTextSubcommand(const session::PluginModule& module, HWND hostWindow, const TextOptions& options,
                      const std::array<bool, 8>* elements, session::Console& console, TextCounts* counts,
                      const MatchPlace& place) {
    TextUser user(options, console, elements, place);
    sim::SetUser(&user);
    module.invoke(hostWindow, 1, nullptr, nullptr);
    sim::SetUser(nullptr);
    if (counts != nullptr) *counts = user.counts;
    // Verses are searched as one text with their syllables joined by
    // hyphens, so a word sung over several notes is not found as typed.
    if (user.counts.found == 0 && user.lyricsSearched && options.search.find('-') == std::string::npos)
        *console.out << "Lyrics are searched verse by verse, the syllables of a word joined by hyphens as in "
                        "\"Ma-ri-a\": type a word sung over several notes with its hyphens.\n";
    return user.refused ? 1 : 0;
}

}  // namespace users
