// The scripted user. Actions are taken one at a time, at the top level or
// from inside a modal dialog the plug-in is running; the first failure
// unwinds everything without hanging (dialogs cancelled, boxes answered
// neutrally, the mass edit stopped at its next progress call).
#include "host/session/runner.h"

#include <cctype>
#include <istream>
#include <ostream>

#include "host/services/services.h"
#include "host/session/wording.h"

namespace session {

namespace {

bool AnswerFits(int answer, UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return answer == IDOK;
        case MB_OKCANCEL:
            return answer == IDOK || answer == IDCANCEL;
        case MB_YESNO:
            return answer == IDYES || answer == IDNO;
        default:
            return true;
    }
}

const char* AnswerName(int answer) {
    switch (answer) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "?";
    }
}

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

int NeutralAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
            return IDNO;
        case MB_OKCANCEL:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

std::string DescribeBoxType(UINT type) {
    std::string icon;
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR:
            icon = "error";
            break;
        case MB_ICONWARNING:
            icon = "warning";
            break;
        case MB_ICONINFORMATION:
            icon = "information";
            break;
        case 0:
            icon = "no icon";
            break;
        default:
            icon = "icon " + HexNumber(type & MB_ICONMASK);
    }
    std::string buttons;
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            buttons = "ok";
            break;
        case MB_YESNO:
            buttons = "yesno";
            break;
        case MB_OKCANCEL:
            buttons = "okcancel";
            break;
        default:
            buttons = "buttons " + HexNumber(type & MB_TYPEMASK);
    }
    return icon + " " + buttons;
}

Runner::Runner(const PluginModule& module, HWND hostWindow) : module_(module), hostWindow_(hostWindow) {}

bool Runner::Run(const Script& script) {
    script_ = &script;
    next_ = 0;
    source_ = nullptr;
    return RunScripted();
}

bool Runner::Run(ActionSource& source, const std::string& name) {
    generated_ = Script{};
    generated_.file = name;
    generatedActions_.clear();
    generatedNext_ = 0;
    source_ = &source;
    script_ = &generated_;
    bool ok = RunScripted();
    source_ = nullptr;
    return ok;
}

bool Runner::RunScripted() {
    in_ = nullptr;
    out_ = nullptr;
    failed_ = false;
    anyFailed_ = false;
    failure_.clear();
    answers_.clear();
    boxesAtLastExpectation_ = sim::MessageBoxes().size();
    sim::SetUser(this);
    while (!failed_) {
        const Action* action = Take();
        if (action == nullptr) break;
        Perform(*action);
    }
    if (!failed_ && !answers_.empty()) {
        Action unused = answers_.front();
        Fail(&unused, "this answer was never used: no message box came up for it");
    }
    sim::SetUser(nullptr);
    script_ = nullptr;
    return !failed_ && !anyFailed_;
}

bool Runner::RunInteractive(std::istream& in, std::ostream& out) {
    script_ = nullptr;
    source_ = nullptr;
    in_ = &in;
    out_ = &out;
    failed_ = false;
    anyFailed_ = false;
    quit_ = false;
    inputEnded_ = false;
    answers_.clear();
    boxesAtLastExpectation_ = sim::MessageBoxes().size();
    sim::SetUser(this);
    out << "Type actions one a line ('help' lists them, 'quit' ends). Command 0 searches note entries,\n"
           "command 1 texts: for example  invoke 1\n";
    for (;;) {
        const Action* action = Take();
        if (action == nullptr) break;
        Perform(*action);
    }
    if (!answers_.empty()) out << "(" << answers_.size() << " answer(s) were never used)\n";
    sim::SetUser(nullptr);
    in_ = nullptr;
    out_ = nullptr;
    return !anyFailed_;
}

const Action* Runner::Peek() {
    if (source_ != nullptr) return PeekGenerated();
    if (script_ == nullptr || next_ >= script_->actions.size()) return nullptr;
    return &script_->actions[next_];
}

const Action* Runner::PeekGenerated() {
    if (generatedNext_ < generatedActions_.size()) return &generatedActions_[generatedNext_];
    if (failed_) return nullptr;
    std::optional<std::string> line = source_->Next(box_);
    if (!line) return nullptr;
    const int number = ++generated_.lineCount;
    Action action;
    bool empty = false;
    std::string error;
    if (!ParseScriptLine(*line, generated_.file, number, &action, &empty, &error)) {
        Fail(nullptr, "the session wrote a line that does not parse: " + error);
        return nullptr;
    }
    if (empty) {
        // A comment: nothing to perform, ask again.
        return PeekGenerated();
    }
    generatedActions_.push_back(std::move(action));
    return &generatedActions_.back();
}

const Action* Runner::Take() {
    if (script_ != nullptr) {
        const Action* action = Peek();
        if (action != nullptr) ++(source_ != nullptr ? generatedNext_ : next_);
        return action;
    }
    if (in_ == nullptr) return nullptr;
    for (;;) {
        if (quit_ || inputEnded_) return nullptr;
        HWND dialog = sim::ActiveDialog();
        if (dialog != nullptr) *out_ << sim::Render(dialog);
        *out_ << (dialog != nullptr ? std::to_string(sim::DialogTemplateId(dialog)) : std::string("score")) << "> "
              << std::flush;
        std::string line;
        if (!std::getline(*in_, line)) {
            inputEnded_ = true;
            *out_ << "\n";
            return nullptr;
        }
        ++typedLines_;
        std::string word = Trim(line);
        if (word == "help") {
            *out_ << ScriptActionSummary() << "show    draw the open dialog again\nquit    end the session\n";
            continue;
        }
        if (word == "quit" || word == "exit") {
            quit_ = true;
            return nullptr;
        }
        if (word == "show") continue;
        Action action;
        bool empty = false;
        std::string error;
        if (!ParseScriptLine(line, "input", typedLines_, &action, &empty, &error)) {
            *out_ << error << " (type 'help')\n";
            continue;
        }
        if (empty) continue;
        typed_.push_back(std::move(action));
        return &typed_.back();
    }
}

void Runner::Fail(const Action* action, const std::string& message) {
    std::string where = action != nullptr ? action->Where() : EndOfScriptWhere();
    anyFailed_ = true;
    if (script_ == nullptr) {
        if (out_ != nullptr) *out_ << "! " << message << "\n";
        return;
    }
    if (failed_) return;  // keep the first failure
    if (keepGoing_ && action != nullptr && action->IsExpectation()) {
        if (failure_.empty()) failure_ = where + ": " + message;
        if (report_ != nullptr) *report_ << where << ": " << message << "\n";
        return;
    }
    failed_ = true;
    failure_ = where + ": " + message;
    // A mass edit that has started stops at its next progress call.
    host::CancelAtProgress(1);
}

std::string Runner::EndOfScriptWhere() const {
    if (script_ == nullptr) return "input:" + std::to_string(typedLines_);
    return script_->file + ":" + std::to_string(script_->lineCount > 0 ? script_->lineCount : 1);
}

void Runner::DriveDialog(HWND dialog) {
    while (!sim::DialogEnded(dialog)) {
        if (failed_ || quit_) return;
        const Action* action = Take();
        if (action == nullptr) {
            if (script_ != nullptr) {
                Fail(nullptr, "the script ended while " + DialogName(dialog) + " is still open");
            } else if (out_ != nullptr) {
                *out_ << "(cancelling " << DialogName(dialog) << ")\n";
            }
            return;
        }
        Perform(*action);
    }
}

int Runner::AnswerMessageBox(const sim::MessageBoxInfo& box) {
    const int neutral = NeutralAnswer(box.type);
    if (failed_ || quit_) return neutral;
    Action taken;
    if (!answers_.empty()) {
        taken = answers_.front();
        answers_.pop_front();
    } else if (script_ != nullptr) {
        box_ = &box;
        const Action* next = Peek();
        box_ = nullptr;
        if (next != nullptr && next->kind == ActionKind::Key) {
            const Action* keys = Take();
            boxKeys_ = keys;
            int answer = 0;
            std::string why = sim::PressMessageBoxKeys(box, keys->keys, &answer);
            if (!why.empty()) {
                Fail(keys, "key: " + why);
                return neutral;
            }
            return answer;
        }
        if (next == nullptr || next->kind != ActionKind::Answer) {
            Fail(current_, "a message box came up with no answer queued: " + Quote(box.text) + " (caption " +
                               Quote(box.caption) + ")");
            return neutral;
        }
        taken = *Take();
    } else {
        if (in_ == nullptr) return neutral;
        *out_ << "\n[" << box.caption << "] " << box.text << "\n";
        const bool yesNo = (box.type & MB_TYPEMASK) == MB_YESNO;
        const bool okCancel = (box.type & MB_TYPEMASK) == MB_OKCANCEL;
        for (;;) {
            *out_ << (yesNo      ? "Answer (Yes/No): "
                      : okCancel ? "Answer (OK/Cancel): "
                                 : "Press Enter for OK: ")
                  << std::flush;
            std::string line;
            if (!std::getline(*in_, line)) {
                inputEnded_ = true;
                return neutral;
            }
            std::string word = Trim(line);
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            int answer = 0;
            if (word == "y" || word == "yes") answer = IDYES;
            if (word == "n" || word == "no") answer = IDNO;
            if (word == "ok" || word == "o" || (word.empty() && !yesNo)) answer = IDOK;
            if (word == "c" || word == "cancel") answer = IDCANCEL;
            if (answer != 0 && AnswerFits(answer, box.type)) return answer;
        }
    }
    if (!AnswerFits(taken.answer, box.type)) {
        Fail(&taken, std::string("answer ") + AnswerName(taken.answer) + " does not fit the message box " +
                         Quote(box.text) + " (" + DescribeBoxType(box.type) + ")");
        return neutral;
    }
    if (out_ != nullptr) *out_ << "[" << box.caption << "] " << box.text << " -> " << AnswerName(taken.answer) << "\n";
    return taken.answer;
}

void Runner::Perform(const Action& action) {
    if (source_ != nullptr) source_->Starting(action);
    PerformAction(action);
    if (source_ != nullptr) source_->Performed(action);
}

void Runner::PerformAction(const Action& action) {
    current_ = &action;
    const long long n = action.numbers.empty() ? 0 : action.numbers[0];
    switch (action.kind) {
        case ActionKind::Invoke: {
            if (HWND open = sim::ActiveDialog()) {
                Fail(&action, "invoke: " + DialogName(open) + " is still open; a command starts from the score");
                return;
            }
            const RegionRecord* region = action.hasRegion ? &action.region : nullptr;
            lastResult_ = module_.invoke(hostWindow_, static_cast<std::int16_t>(n), region, nullptr);
            return;
        }
        case ActionKind::Reload: {
            if (HWND open = sim::ActiveDialog()) {
                Fail(&action, "reload: " + DialogName(open) + " is still open");
                return;
            }
            // The result worth checking is the save's registry code; Init always gives 1.
            lastResult_ = module_.terminate(nullptr);
            module_.init(nullptr, nullptr);
            return;
        }
        case ActionKind::Type:
        case ActionKind::Click:
        case ActionKind::State:
        case ActionKind::Close:
            PerformControlAction(action);
            return;
        case ActionKind::Key:
            PerformKeys(action);
            return;
        case ActionKind::Answer:
            answers_.push_back(action);
            return;
        case ActionKind::CancelAt:
            host::CancelAtProgress(static_cast<int>(n));
            return;
        case ActionKind::FailAlloc:
            sim::FailHeapAllocAt(static_cast<int>(n));
            return;
        case ActionKind::FailRegistry:
            sim::FailNextRegistry(action.registryFailure);
            return;
        case ActionKind::SysColor:
            sim::SetSysColor(static_cast<int>(n), RGB(action.numbers[1], action.numbers[2], action.numbers[3]));
            return;
        default:
            Check(action);
            boxesAtLastExpectation_ = sim::MessageBoxes().size();
            return;
    }
}

bool Runner::PerformControlAction(const Action& action) {
    HWND dialog = sim::ActiveDialog();
    if (dialog == nullptr) {
        Fail(&action, Label(action) + ": no dialog is open");
        return false;
    }
    const int id = action.numbers.empty() ? 0 : static_cast<int>(action.numbers[0]);
    std::string why;
    switch (action.kind) {
        case ActionKind::Type:
            why = sim::Type(dialog, id, action.text);
            break;
        case ActionKind::Click:
            why = sim::Click(dialog, id);
            break;
        case ActionKind::State:
            why = sim::SetState(dialog, id, static_cast<int>(action.numbers[1]));
            break;
        default:
            why = sim::Close(dialog);
            break;
    }
    if (!why.empty()) {
        Fail(&action, Label(action) + ": " + why);
        return false;
    }
    return true;
}

void Runner::PerformKeys(const Action& action) {
    HWND dialog = sim::ActiveDialog();
    if (dialog == nullptr) {
        Fail(&action, "key: no dialog or message box is open");
        return;
    }
    for (std::size_t i = 0; i < action.keys.size(); ++i) {
        const sim::KeyStroke& key = action.keys[i];
        if (sim::DialogEnded(dialog)) {
            // The next dialog opens only once this action is over.
            Fail(&action, "key: " + DialogName(dialog) + " closed before " + sim::KeyStrokeName(key) +
                              "; press the keys after that in an action of their own");
            return;
        }
        std::string why = sim::PressKey(dialog, key);
        if (!why.empty()) {
            Fail(&action, "key " + sim::KeyStrokeName(key) + ": " + why);
            return;
        }
        if (failed_) return;
    }
}

void Runner::MessageBoxKeysFailed(const std::string& why) {
    Fail(boxKeys_ != nullptr ? boxKeys_ : current_, "key: " + why);
}
}  // namespace session
