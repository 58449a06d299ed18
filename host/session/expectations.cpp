// The scripted user's expectations: what the user sees in the dialogs and
// message boxes, and what the document and the settings hive hold.
#include <optional>
#include <ostream>
#include <string>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/session/runner.h"
#include "host/session/wording.h"
#include "shell/settings.h"

namespace session {

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
