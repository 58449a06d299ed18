#include "host/terminal/session.h"

#include <chrono>
#include <cstdio>
#include <climits>
#include <cstdint>
#include <optional>

#include "host/services/services.h"
#include "host/sim/sim.h"
#include "host/terminal/curses_screen.h"
#include "host/terminal/dialog_view.h"
#include "host/terminal/screen.h"
#include "host/users/entries_command.h"
#include "resources/resource.h"
#include "shell/records.h"

namespace terminal {

namespace {

const char kBoxStatus[] = "Enter the marked button  Tab/arrows move  Esc cancel  Y/N/O  F1 help  Ctrl+C quit";
const char kMenuStatus[] = "Up/Down choose  Enter or 1-9 run  R region  Q quit  F1 help  Ctrl+C quit, writing nothing";
const char kFormStatus[] = "Digits type  Tab/Up/Down move  Enter accept  Esc keep the old region  W whole score";

const std::vector<std::string> kBoxHelp = {
    "A message of the plug-in.",
    "  Enter            the marked button",
    "  Tab, arrows      the next button",
    "  Y, N, O          Yes, No, OK",
    "  Escape           Cancel; OK where OK is alone; No in a Yes/No one",
    "The mouse clicks a button.",
    "",
    "Any key closes this help.",
};
const std::vector<std::string> kMenuHelp = {
    "veldune-host stands in for the Veldune notation program: it holds",
    "the score and runs the plug-in's commands on it.",
    "  Up, Down, Enter  choose and run a command (or type its number)",
    "  R                the region the note entry command works on",
    "  Q, F10           quit: the score is written to --output, if given",
    "  Ctrl+C           quit at once and write nothing",
    "The plug-in's settings are written to the registry file on quitting.",
    "",
    "Any key closes this help.",
};

// A menu text as a menu shows it: "&&" is an ampersand, a lone "&" marks
// the mnemonic (the menu numbers its commands instead).
std::string MenuLabel(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

std::size_t SavedRecords() {
    std::size_t count = 0;
    for (const std::string& line : host::ServiceLog()) {
        if (line.rfind("save ", 0) == 0 || line.rfind("savedata ", 0) == 0) ++count;
    }
    return count;
}

class Session : public sim::User {
public:
    Session(ScreenIo& screen, const session::PluginModule& module, HWND hostWindow,
            const session::ScreenOptions& options)
        : screen_(screen), module_(module), hostWindow_(hostWindow), options_(options), region_(options.wholeScore) {
        for (std::int16_t i = 0;; ++i) {
            MenuItemRecord item{};
            if (module_.enumerate == nullptr || module_.enumerate(nullptr, i, &item) == 0) break;
            item.menuText[sizeof item.menuText - 1] = 0;
            commands_.push_back(MenuLabel(item.menuText));
        }
    }

    std::vector<std::string> Run() {
        sim::SetUser(this);
        host::WatchProgress([this](int staff, int measure) { return Progress(staff, measure); });
        Menu();
        host::WatchProgress(nullptr);
        sim::SetUser(nullptr);
        return report_;
    }

    void DriveDialog(HWND dialog) override {
        while (!sim::DialogEnded(dialog)) {
            DialogView view = ViewOf(dialog);
            std::vector<Placement> placements;
            Grid drawn = DrawDialog(view, &placements);
            std::vector<std::pair<int, int>> origins;
            if (!Show({&drawn}, Status(MatchPlace(dialog, view) + DialogStatusLine(view)), &origins)) continue;
            Input input = screen_.Read();
            status_.clear();
            switch (input.kind) {
                case Input::Key:
                    PressKeys(dialog, input);
                    break;
                case Input::Mouse:
                    ClickDialog(dialog, view, drawn, placements, input.row - origins[0].first,
                                input.col - origins[0].second);
                    break;
                case Input::Help:
                    Help("Help: " + PlainCaption(view.caption), DialogHelpLines(view), {&drawn});
                    break;
                case Input::Interrupt:
                case Input::End:
                    screen_.Abandon();
                    break;  // not reached
                default:
                    break;
            }
        }
        NoteSummary(dialog);
    }

    // "part "Voice" (P1), measure 3 | " while the results dialog shows a match.
    std::string MatchPlace(HWND dialog, const DialogView& view) const {
        if (!options_.matchPlace || view.templateId != IDD_TEXT_RESULTS) return {};
        int position = 0;
        const std::string text = sim::ControlText(dialog, IDC_RESULTS_POSITION).value_or("");
        if (std::sscanf(text.c_str(), "at position %d", &position) != 1) return {};
        const std::string place = options_.matchPlace(position);
        return place.empty() ? std::string() : place + " | ";
    }

    int AnswerMessageBox(const sim::MessageBoxInfo& box) override {
        std::vector<sim::KeyStroke> keys;
        std::vector<int> buttons = BoxButtons(box.type);
        for (;;) {
            BoxView view;
            view.caption = box.caption;
            view.text = box.text;
            view.type = box.type;
            view.focus = FocusedBoxButton(box, keys, buttons);
            std::vector<const Grid*> windows;
            std::optional<Grid> beneath;
            // Over the dialog that asks, or over the menu once the command's
            // dialogs have closed (the count message).
            if (HWND dialog = sim::ActiveDialog(); dialog != nullptr) {
                beneath = DrawDialog(ViewOf(dialog));
            } else {
                beneath = DrawMenu(MenuState(), screen_.Width());
            }
            windows.push_back(&*beneath);
            std::vector<Placement> placements;
            Grid drawn = DrawMessageBox(view, screen_.Width(), &placements);
            windows.push_back(&drawn);
            std::vector<std::pair<int, int>> origins;
            if (!Show(windows, Status(kBoxStatus), &origins)) continue;
            Input input = screen_.Read();
            status_.clear();
            if (input.kind == Input::Interrupt || input.kind == Input::End) screen_.Abandon();
            if (input.kind == Input::Help) Help("Help: messages", kBoxHelp, windows);
            if (input.kind == Input::Mouse) {
                int row = input.row - origins.back().first, col = input.col - origins.back().second;
                for (const Placement& p : placements) {
                    if (row == p.top && col >= p.left && col <= p.right) return p.id;
                }
                continue;
            }
            if (input.kind != Input::Key) continue;
            std::vector<sim::KeyStroke> strokes;
            if (!Strokes(input, &strokes)) continue;
            for (const sim::KeyStroke& stroke : strokes) {
                keys.push_back(stroke);
                int answer = 0;
                if (sim::PressMessageBoxKeys(box, keys, &answer).empty() && answer != 0) return answer;
            }
        }
    }

private:
    // The text command's counts, as its results dialog showed them at the
    // end (its OK shows only with the summary), for the lines after the run.
    void NoteSummary(HWND dialog) {
        if (sim::DialogTemplateId(dialog) != IDD_TEXT_RESULTS || !sim::ControlVisible(dialog, IDOK).value_or(false))
            return;
        for (int id : {IDC_RESULTS_TEXT, IDC_RESULTS_REPLACED}) {
            std::string line = sim::ControlText(dialog, id).value_or("");
            if (!line.empty()) summary_ += (summary_.empty() ? "" : ", ") + line;
        }
        if (!summary_.empty()) summary_ += ".";
    }

    // A long scan shows where it is and can be stopped, as the host's
    // progress window allows; a short one shows nothing.
    bool Progress(int staff, int measure) {
        using Clock = std::chrono::steady_clock;
        Clock::time_point now = Clock::now();
        if (!scanning_) {
            scanning_ = true;
            scanStart_ = lastProgressPaint_ = now;
        }
        if (now - scanStart_ < std::chrono::milliseconds(options_.progressDelayMs) ||
            (now - lastProgressPaint_ < std::chrono::milliseconds(100) && lastProgressPaint_ != scanStart_))
            return true;
        lastProgressPaint_ = now;
        Grid window = DrawTextWindow("Working",
                                     {"Staff " + std::to_string(staff) + ", measure " + std::to_string(measure) + ".",
                                      "", "Escape stops the note entry command."},
                                     44);
        std::vector<std::pair<int, int>> origins;
        if (screen_.Width() >= window.width && screen_.Height() > window.height)
            screen_.Paint(ComposeScreen(screen_.Width(), screen_.Height(), {&window}, "Escape stops", &origins));
        for (Input input = screen_.Poll(); input.kind != Input::End; input = screen_.Poll()) {
            if (input.kind == Input::Interrupt) screen_.Abandon();
            if (input.kind == Input::Key && input.key == "Escape") return false;
        }
        return true;
    }

    // Which button Enter would press now: the one the keys so far have
    // moved the focus to.
    static int FocusedBoxButton(const sim::MessageBoxInfo& box, std::vector<sim::KeyStroke> keys,
                                const std::vector<int>& buttons) {
        sim::KeyStroke enter;
        std::string error;
        if (!sim::ParseKeyStroke("Enter", &enter, &error)) return 0;
        keys.push_back(enter);
        int answer = 0;
        sim::PressMessageBoxKeys(box, keys, &answer);
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i] == answer) return static_cast<int>(i);
        }
        return 0;
    }

    bool Strokes(const Input& input, std::vector<sim::KeyStroke>* strokes) {
        if (input.typed) {
            *strokes = sim::KeyStrokesTyping(input.key);
            return !strokes->empty();
        }
        sim::KeyStroke stroke;
        std::string error;
        if (!sim::ParseKeyStroke(input.key, &stroke, &error)) return false;
        strokes->push_back(stroke);
        return true;
    }

    void PressKeys(HWND dialog, const Input& input) {
        std::vector<sim::KeyStroke> strokes;
        if (!Strokes(input, &strokes)) return;
        for (const sim::KeyStroke& stroke : strokes) {
            if (sim::DialogEnded(dialog)) return;
            std::string why = sim::PressKey(dialog, stroke);
            if (!why.empty()) status_ = why;
        }
    }

    void ClickDialog(HWND dialog, const DialogView& view, const Grid& drawn, const std::vector<Placement>& placements,
                     int row, int col) {
        if (row == 0 && col >= CloseBoxColumn(drawn) - 1 && col <= CloseBoxColumn(drawn) + 1) {
            sim::Close(dialog);
            return;
        }
        for (std::size_t i = 0; i < placements.size(); ++i) {
            const Placement& p = placements[i];
            const ControlView& control = view.controls[i];
            if (row < p.top || row > p.bottom || col < p.left || col > p.right) continue;
            if (control.kind == "groupbox" || control.kind == "static") continue;
            // In an edit the caret goes to the character clicked.
            std::string why = control.kind == "edit"
                                  ? sim::ClickEdit(dialog, control.id, EditCharacterAt(control, p, col))
                                  : sim::Click(dialog, control.id);
            if (!why.empty()) status_ = why;
            return;
        }
    }

    std::string Status(const std::string& keys) const { return status_.empty() ? keys : status_; }

    // Paints the windows over the desktop, or says the terminal is too small
    // and waits for it to grow; false when nothing of the windows was shown.
    bool Show(const std::vector<const Grid*>& windows, const std::string& status,
              std::vector<std::pair<int, int>>* origins) {
        int needWidth = 0, needHeight = 0;
        NeededSize(windows, &needWidth, &needHeight);
        int width = screen_.Width(), height = screen_.Height();
        if (width >= needWidth && height >= needHeight) {
            screen_.Paint(ComposeScreen(width, height, windows, status, origins));
            return true;
        }
        screen_.Paint(TooSmallScreen(width, height, needWidth, needHeight));
        Input input = screen_.Read();
        if (input.kind == Input::Interrupt || input.kind == Input::End) screen_.Abandon();
        return false;
    }

    void Help(const std::string& caption, const std::vector<std::string>& lines, std::vector<const Grid*> windows) {
        Grid help = DrawTextWindow(caption, lines, screen_.Width() - 2);
        windows.push_back(&help);
        for (;;) {
            std::vector<std::pair<int, int>> origins;
            if (!Show(windows, "Any key closes the help", &origins)) continue;
            Input input = screen_.Read();
            if (input.kind == Input::Interrupt || input.kind == Input::End) screen_.Abandon();
            if (input.kind == Input::Key || input.kind == Input::Mouse || input.kind == Input::Help) return;
        }
    }

    MenuView MenuState() const {
        MenuView menu;
        menu.caption = "veldune-host - " + options_.documentName;
        menu.commands = commands_;
        menu.selected = selected_;
        menu.region = DescribeRegion(region_);
        if (region_.firstStaff == options_.wholeScore.firstStaff &&
            region_.firstMeasure == options_.wholeScore.firstMeasure &&
            region_.lastStaff == options_.wholeScore.lastStaff &&
            region_.lastMeasure == options_.wholeScore.lastMeasure &&
            region_.startPosition == options_.wholeScore.startPosition &&
            region_.endPosition == options_.wholeScore.endPosition)
            menu.region += " (the whole score)";
        menu.notes = notes_;
        if (menu.notes.empty()) menu.notes.push_back(OutputNote());
        return menu;
    }

    std::string OutputNote() const {
        if (options_.output.empty())
            return changed_ ? "The score has changed, but it is not written anywhere: no --output was given."
                            : "No --output was given: changes to the score are not written.";
        return changed_ ? "The score has changed; it is written to " + options_.output + " when you quit."
                        : "The score is written to " + options_.output + " when you quit.";
    }

    void Menu() {
        for (;;) {
            MenuView view = MenuState();
            Grid drawn = DrawMenu(view, screen_.Width());
            std::vector<std::pair<int, int>> origins;
            if (!Show({&drawn}, kMenuStatus, &origins)) continue;
            Input input = screen_.Read();
            int count = static_cast<int>(commands_.size());
            switch (input.kind) {
                case Input::Interrupt:
                case Input::End:
                    screen_.Abandon();
                    break;  // not reached
                case Input::Help:
                    Help("Help: veldune-host", kMenuHelp, {&drawn});
                    continue;
                case Input::Mouse: {
                    int row = input.row - origins[0].first - kMenuFirstCommandRow;
                    if (row >= 0 && row < count) {
                        selected_ = row;
                        RunCommand(row);
                    }
                    continue;
                }
                case Input::Key:
                    break;
                default:
                    continue;
            }
            // Here Alt means nothing: Escape pressed just before a key
            // arrives as Alt with it, and Escape does nothing in the menu.
            if (input.key.rfind("Alt+", 0) == 0) {
                input.key = input.key.substr(4);
                input.typed = true;
            }
            const std::string& key = input.key;
            if (key == "Up" || key == "Shift+Tab") {
                selected_ = (selected_ + count - 1) % (count == 0 ? 1 : count);
            } else if (key == "Down" || key == "Tab") {
                selected_ = (selected_ + 1) % (count == 0 ? 1 : count);
            } else if (key == "Enter" && count > 0) {
                RunCommand(selected_);
            } else if (input.typed && key.size() == 1 && key[0] >= '1' && key[0] < '1' + count) {
                selected_ = key[0] - '1';
                RunCommand(selected_);
            } else if (key == "r" || key == "R") {
                EditRegion();
            } else if (key == "q" || key == "Q" || key == "F10") {
                return;
            }
        }
    }

    void RunCommand(int index) {
        std::size_t boxesBefore = sim::MessageBoxes().size();
        std::size_t savedBefore = SavedRecords();
        status_.clear();
        scanning_ = false;
        summary_.clear();
        module_.invoke(hostWindow_, static_cast<std::int16_t>(index), &region_, nullptr);
        const std::vector<sim::MessageBoxInfo>& boxes = sim::MessageBoxes();
        std::size_t saved = SavedRecords() - savedBefore;
        changed_ = changed_ || saved > 0;
        notes_.clear();
        std::string name = commands_[static_cast<std::size_t>(index)];
        std::string said;
        for (std::size_t i = boxesBefore; i < boxes.size(); ++i) said += (said.empty() ? "" : " ") + boxes[i].text;
        if (!summary_.empty()) said += (said.empty() ? "" : " ") + summary_;
        std::string done =
            saved == 0 ? "nothing in the score changed."
                       : std::to_string(saved) + (saved == 1 ? " record" : " records") + " of the score written.";
        notes_.push_back("Last run: " + name + ": " + (said.empty() ? "" : said + " ") + done);
        notes_.push_back(OutputNote());
        report_.push_back(name + ": " + (said.empty() ? "" : said + " ") + done);
    }

    void EditRegion() {
        RegionRecord old = region_;
        FormView form;
        form.caption = "Region for the note entry command";
        form.intro = "The staves and measures the note entry command searches, as if selected in the score.";
        auto fill = [&form](const RegionRecord& r) {
            form.fields = {
                {"First staff", std::to_string(r.firstStaff)},       {"First measure", std::to_string(r.firstMeasure)},
                {"Start position", std::to_string(r.startPosition)}, {"Last staff", std::to_string(r.lastStaff)},
                {"Last measure", std::to_string(r.lastMeasure)},     {"End position", std::to_string(r.endPosition)}};
        };
        fill(region_);
        int count = static_cast<int>(form.fields.size());
        for (;;) {
            Grid drawn = DrawForm(form);
            std::vector<std::pair<int, int>> origins;
            if (!Show({&drawn}, kFormStatus, &origins)) continue;
            Input input = screen_.Read();
            if (input.kind == Input::Interrupt || input.kind == Input::End) screen_.Abandon();
            if (input.kind != Input::Key) continue;
            std::string& value = form.fields[static_cast<std::size_t>(form.focus)].value;
            const std::string& key = input.key;
            // Escape pressed just before a key arrives as Alt with it.
            if (key == "Escape" || key.rfind("Alt+", 0) == 0) {
                region_ = old;
                return;
            }
            if (key == "Tab" || key == "Down") {
                form.focus = (form.focus + 1) % count;
            } else if (key == "Shift+Tab" || key == "Up") {
                form.focus = (form.focus + count - 1) % count;
            } else if (key == "Backspace") {
                if (!value.empty()) value.pop_back();
            } else if (input.typed && ((key[0] >= '0' && key[0] <= '9') || (key == "-" && value.empty()))) {
                if (value.size() < 11) value += key;
            } else if (key == "w" || key == "W") {
                fill(options_.wholeScore);
            } else if (key == "Enter") {
                std::string text, empty;
                for (const FormField& field : form.fields) {
                    text += (text.empty() ? "" : ",") + field.value;
                    if (field.value.empty() && empty.empty()) empty = field.label;
                }
                if (!empty.empty()) {
                    form.error = empty + " needs a number.";
                    continue;
                }
                RegionRecord parsed{};
                std::string error;
                if (users::ParseRegion(text, &parsed, &error)) {
                    region_ = parsed;
                    return;
                }
                form.error = error.rfind("--region: ", 0) == 0 ? error.substr(10) : error;
            }
        }
    }

    ScreenIo& screen_;
    session::PluginModule module_;
    HWND hostWindow_;
    session::ScreenOptions options_;
    RegionRecord region_;
    std::vector<std::string> commands_;
    int selected_ = 0;
    std::vector<std::string> notes_;
    std::vector<std::string> report_;
    std::string status_;  // what the window system said of the last key, if it refused it
    bool changed_ = false;
    std::string summary_;    // what the text command's results dialog said at the end
    bool scanning_ = false;  // the progress calls of this run have begun
    std::chrono::steady_clock::time_point scanStart_, lastProgressPaint_;
};

}  // namespace

std::string DescribeRegion(const RegionRecord& r) {
    std::string text = r.firstStaff == r.lastStaff
                           ? "staff " + std::to_string(r.firstStaff)
                           : "staves " + std::to_string(r.firstStaff) + " to " + std::to_string(r.lastStaff);
    text += r.firstMeasure == r.lastMeasure
                ? ", measure " + std::to_string(r.firstMeasure)
                : ", measures " + std::to_string(r.firstMeasure) + " to " + std::to_string(r.lastMeasure);
    if (r.startPosition != 0) text += ", from position " + std::to_string(r.startPosition);
    if (r.endPosition != INT32_MAX) text += ", to position " + std::to_string(r.endPosition);
    return text;
}

std::vector<std::string> RunSession(const session::PluginModule& module, HWND hostWindow,
                                    const session::ScreenOptions& options) {
    CursesScreen screen;
    return RunSessionOn(screen, module, hostWindow, options);
}

std::vector<std::string> RunSessionOn(ScreenIo& screen, const session::PluginModule& module, HWND hostWindow,
                                      const session::ScreenOptions& options) {
    return Session(screen, module, hostWindow, options).Run();
}

}  // namespace terminal
