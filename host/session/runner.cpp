// The scripted user. Actions are taken one at a time, at the top level or
// from inside a modal dialog the plug-in is running; the first failure
// unwinds everything without hanging (dialogs cancelled, boxes answered
// neutrally, the mass edit stopped at its next progress call).
#include "host/session/runner.h"

#include <cctype>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

#include "host/document/document.h"
#include "host/services/services.h"
#include "shell/settings.h"

namespace session {

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", bytes[i]);
        if (i > 0) out += ' ';
        out += buffer;
    }
    return Quote(out);
}

std::string HexNumber(unsigned long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx", value);
    return buffer;
}

std::string Rgb(COLORREF color) {
    return "RGB(" + std::to_string(GetRValue(color)) + ", " + std::to_string(GetGValue(color)) + ", " +
           std::to_string(GetBValue(color)) + ")";
}

// What an action is about, without what it expects: "expect text 105",
// "expect entry 1 1 0 2", "click 101".
std::string Label(const Action& action) {
    std::size_t keep = 0;  // leading words to keep; 0 keeps everything before the first string
    switch (action.kind) {
        case ActionKind::ExpectMessage:
        case ActionKind::ExpectMessageCount:
        case ActionKind::ExpectResult:
        case ActionKind::ExpectDialogPos:
        case ActionKind::ExpectLeaks:
            keep = 2;
            break;
        case ActionKind::ExpectText:
        case ActionKind::ExpectState:
        case ActionKind::ExpectVisible:
        case ActionKind::ExpectEnabled:
        case ActionKind::ExpectColor:
        case ActionKind::ExpectFocus:
        case ActionKind::ExpectDefault:
        case ActionKind::ExpectHive:
            keep = 3;
            break;
        case ActionKind::ExpectEntry:
            keep = 6;
            break;
        case ActionKind::ExpectNote:
            keep = 7;
            break;
        default:
            break;
    }
    std::istringstream words(action.source.substr(0, action.source.find('"')));
    std::string label;
    std::string word;
    for (std::size_t n = 0; (keep == 0 || n < keep) && words >> word; ++n) label += (n > 0 ? " " : "") + word;
    return label;
}

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

std::string DialogName(HWND dialog) {
    return "dialog " + std::to_string(sim::DialogTemplateId(dialog)) + " (" + Quote(sim::WindowCaption(dialog)) + ")";
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

void Runner::Check(const Action& action) {
    const std::string label = Label(action);
    auto fail = [&](const std::string& message) { Fail(&action, label + ": " + message); };
    auto got = [&](const std::string& gotText, const std::string& expected) {
        fail("got " + gotText + ", expected " + expected);
    };
    const std::vector<long long>& v = action.numbers;
    HWND dialog = sim::ActiveDialog();
    auto needDialog = [&]() {
        if (dialog == nullptr) fail("no dialog is open");
        return dialog != nullptr;
    };
    auto noControl = [&]() { fail(DialogName(dialog) + " has no control " + std::to_string(v[0])); };
    host::Document* document = host::AttachedDocument();
    auto needDocument = [&]() {
        if (document == nullptr) fail("no document is attached");
        return document != nullptr;
    };
    const bool before = anyFailed_;
    const int id = v.empty() ? 0 : static_cast<int>(v[0]);

    switch (action.kind) {
        case ActionKind::ExpectText: {
            if (!needDialog()) break;
            std::optional<std::string> text = sim::ControlText(dialog, id);
            if (!text) {
                noControl();
            } else if (*text != action.text) {
                got(Quote(*text), Quote(action.text));
            }
            break;
        }
        case ActionKind::ExpectState: {
            if (!needDialog()) break;
            std::optional<int> state = sim::ControlState(dialog, id);
            if (!state) {
                noControl();
            } else if (*state != v[1]) {
                got(std::to_string(*state), std::to_string(v[1]));
            }
            break;
        }
        case ActionKind::ExpectVisible:
        case ActionKind::ExpectEnabled: {
            if (!needDialog()) break;
            std::optional<bool> flag = action.kind == ActionKind::ExpectVisible ? sim::ControlVisible(dialog, id)
                                                                                : sim::ControlEnabled(dialog, id);
            if (!flag) {
                noControl();
            } else if ((*flag ? 1 : 0) != v[1]) {
                got(*flag ? "1" : "0", std::to_string(v[1]));
            }
            break;
        }
        case ActionKind::ExpectColor: {
            if (!needDialog()) break;
            std::optional<COLORREF> color = sim::ControlTextColor(dialog, id);
            COLORREF expected = RGB(v[1], v[2], v[3]);
            if (!color) {
                noControl();
            } else if (*color != expected) {
                got(Rgb(*color), Rgb(expected));
            }
            break;
        }
        case ActionKind::ExpectFocus: {
            if (!needDialog()) break;
            int focused = sim::FocusedControl(dialog);
            if (focused != id) got("control " + std::to_string(focused), "control " + std::to_string(id));
            break;
        }
        case ActionKind::ExpectDefault: {
            if (!needDialog()) break;
            int button = sim::DefaultButton(dialog);
            if (button != id) got("control " + std::to_string(button), "control " + std::to_string(id));
            break;
        }
        case ActionKind::ExpectDialogPos: {
            if (!needDialog()) break;
            RECT rect = sim::DialogRect(dialog);
            if (rect.left != v[0] || rect.top != v[1]) {
                got(std::to_string(rect.left) + " " + std::to_string(rect.top),
                    std::to_string(v[0]) + " " + std::to_string(v[1]));
            }
            break;
        }
        case ActionKind::ExpectDialogOpen:
            if (dialog == nullptr) {
                got("no dialog", "dialog " + std::to_string(id));
            } else if (sim::DialogTemplateId(dialog) != id) {
                got(DialogName(dialog), "dialog " + std::to_string(id));
            }
            break;
        case ActionKind::ExpectDialogClosed:
            if (dialog != nullptr) got(DialogName(dialog) + " open", "no dialog");
            break;
        case ActionKind::ExpectMessage: {
            const auto& boxes = sim::MessageBoxes();
            if (boxes.empty()) {
                fail("no message box has come up");
                break;
            }
            const sim::MessageBoxInfo& box = boxes.back();
            const UINT expectedType = static_cast<UINT>(v[0] | v[1]);
            if (box.text != action.text || box.caption != action.caption ||
                (box.type & (MB_ICONMASK | MB_TYPEMASK)) != expectedType) {
                got(Quote(box.text) + " " + Quote(box.caption) + " " + DescribeBoxType(box.type),
                    Quote(action.text) + " " + Quote(action.caption) + " " + DescribeBoxType(expectedType));
            }
            break;
        }
        case ActionKind::ExpectNoMessage: {
            const auto& boxes = sim::MessageBoxes();
            if (boxes.size() > boxesAtLastExpectation_) {
                const sim::MessageBoxInfo& box = boxes[boxesAtLastExpectation_];
                fail("got the message box " + Quote(box.text) + " (caption " + Quote(box.caption) +
                     ") since the last expectation");
            }
            break;
        }
        case ActionKind::ExpectMessageCount: {
            std::size_t count = sim::MessageBoxes().size();
            if (static_cast<long long>(count) != v[0]) got(std::to_string(count), std::to_string(v[0]));
            break;
        }
        case ActionKind::ExpectResult:
            if (!lastResult_) {
                fail("no command has run yet");
            } else if (*lastResult_ != v[0]) {
                got(std::to_string(*lastResult_), std::to_string(v[0]));
            }
            break;
        case ActionKind::ExpectRecord:
        case ActionKind::ExpectRecordHex: {
            if (!needDocument()) break;
            host::Key key{};
            for (std::size_t i = 0; i < v.size() && i < key.size(); ++i) key[i] = static_cast<std::int16_t>(v[i]);
            const host::Bytes* bytes = document->Record(action.tag, key);
            if (bytes == nullptr) {
                fail("the document has no such record");
                break;
            }
            if (action.kind == ActionKind::ExpectRecordHex) {
                if (*bytes != action.bytes) got(Hex(*bytes), Hex(action.bytes));
                break;
            }
            std::optional<std::string> text = document->RecordText(action.tag, key);
            if (!text) {
                std::string raw(bytes->begin(), bytes->end());
                text = raw.substr(0, raw.find('\0'));
            }
            if (*text != action.text) got(Quote(*text), Quote(action.text));
            break;
        }
        case ActionKind::ExpectEntry:
        case ActionKind::ExpectNote: {
            if (!needDocument()) break;
            host::FrameKey key{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2])};
            std::vector<EntryRecord>* frame = document->Frame(key);
            if (frame == nullptr) {
                fail("the document has no frame for that staff, measure and layer");
                break;
            }
            if (static_cast<std::size_t>(v[3]) >= frame->size()) {
                fail("the frame has " + std::to_string(frame->size()) + " entries");
                break;
            }
            const EntryRecord& entry = (*frame)[static_cast<std::size_t>(v[3])];
            if (action.kind == ActionKind::ExpectEntry) {
                if (entry.flagsA != v[4] || entry.flagsB != v[5]) {
                    got(HexNumber(entry.flagsA) + " " + HexNumber(entry.flagsB),
                        HexNumber(static_cast<unsigned long long>(v[4])) + " " +
                            HexNumber(static_cast<unsigned long long>(v[5])));
                }
                break;
            }
            if (v[4] >= entry.noteCount) {
                fail("the entry has " + std::to_string(entry.noteCount) + " notes");
                break;
            }
            const NoteRecord& note = entry.notes[v[4]];
            if (note.displacement != v[5] || note.raiseLower != v[6] || note.flags != v[7]) {
                got(std::to_string(note.displacement) + " " + std::to_string(note.raiseLower) + " " +
                        HexNumber(note.flags),
                    std::to_string(v[5]) + " " + std::to_string(v[6]) + " " +
                        HexNumber(static_cast<unsigned long long>(v[7])));
            }
            break;
        }
        case ActionKind::ExpectLeaks: {
            std::string leaks;
            auto count = [&](const char* what, int live) {
                if (live != 0) leaks += (leaks.empty() ? "" : ", ") + std::to_string(live) + " " + what;
            };
            count("fonts", sim::LiveFonts());
            count("brushes", sim::LiveBrushes());
            count("display contexts", sim::LiveDCs());
            count("subclassed windows", sim::Subclassings());
            count("host frames", host::LiveFrames());
            count("heap blocks", sim::LiveHeapBlocks());
            if (!leaks.empty()) got(leaks + " alive", "none");
            break;
        }
        case ActionKind::ExpectHive: {
            std::optional<std::vector<std::uint8_t>> value = sim::HiveValue(kSettingsKey, action.text);
            if (!value) {
                got("no value " + Quote(action.text), Hex(action.bytes));
            } else if (*value != action.bytes) {
                got(Hex(*value), Hex(action.bytes));
            }
            break;
        }
        default:
            fail("not an expectation");
            break;
    }
    if (script_ == nullptr && out_ != nullptr && anyFailed_ == before) *out_ << "ok\n";
}

}  // namespace session
