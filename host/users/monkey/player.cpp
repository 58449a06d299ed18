#include "host/users/monkey/player.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "resources/resource.h"

namespace users::monkey {

namespace {

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

Player::Player(Choices& choices, const host::Document& document, Options options)
    : choices_(choices), options_(options) {
    std::set<std::string> words;
    for (const auto& [tag, records] : document.AllRecords()) {
        for (const auto& [key, bytes] : records) {
            std::optional<std::string> text = document.RecordText(tag, key);
            if (!text) continue;
            std::string word;
            auto keep = [&]() {
                if (!word.empty() && word.size() <= 50) words.insert(word);
                word.clear();
            };
            for (char c : *text) {
                if (c == ' ') {
                    keep();
                } else if (c > ' ' && c < 127) {
                    word += c;
                }
            }
            keep();
        }
    }
    words_.assign(words.begin(), words.end());
    std::set<int> staves, measures, positions{0};
    for (const auto& [key, entries] : document.Frames()) {
        staves.insert(key.staff);
        measures.insert(key.measure);
        for (const EntryRecord& entry : entries) positions.insert(static_cast<int>(entry.position));
    }
    if (staves.empty()) staves.insert(1);
    if (measures.empty()) measures.insert(1);
    staves_.assign(staves.begin(), staves.end());
    measures_.assign(measures.begin(), measures.end());
    positions_.assign(positions.begin(), positions.end());
}

std::string Player::Script() const {
    std::string out;
    for (const std::string& line : lines_) out += line + "\n";
    return out;
}

std::string Player::Write(std::string line) {
    lines_.push_back(line);
    return line;
}

std::string Player::Pick(const std::vector<std::string>& list) {
    return list.empty() ? std::string() : list[choices_.Below(static_cast<std::uint32_t>(list.size()))];
}

void Player::Starting(const session::Action& action) { checker_.Starting(action); }

void Player::Performed(const session::Action& action) {
    checker_.Performed(action);
    if (action.kind == session::ActionKind::Invoke) commandRan_ = true;
}

std::optional<std::string> Player::Next(const sim::MessageBoxInfo* box) {
    if (!started_) {
        started_ = true;
        checker_.Begin();
        if (options_.fromDefaults) {
            // A load that fails leaves the defaults, whatever the hive holds.
            pending_.push_back("fail-registry open");
            pending_.push_back("reload");
        }
    }
    if (box != nullptr) {
        checker_.BoxUp(*box);
        return Write(Answer(*box));
    }
    const bool winding = actions_ >= options_.actions || choices_.Spent() || !checker_.Findings().empty();
    HWND dialog = sim::ActiveDialog();
    if (dialog != nullptr) {
        checker_.DialogUp(dialog);
        if (!winding) {
            ++actions_;
            return Write(InDialog(dialog));
        }
        if (++closing_ > 8) return std::nullopt;  // the runner says which dialog stays open
        return Write("close");
    }
    closing_ = 0;
    if (!pending_.empty()) {
        std::string line = pending_.front();
        pending_.pop_front();
        return Write(line);
    }
    if (commandRan_) {
        // Written down so that a replay checks it came out the same.
        commandRan_ = false;
        pending_.push_back("expect message-count " + std::to_string(sim::MessageBoxes().size()));
        return Write("expect leaks none");
    }
    if (winding) {
        if (ended_) {
            checker_.End();
            return std::nullopt;
        }
        ended_ = true;
        return Write("reload");  // the settings go through the registry once more
    }
    ++actions_;
    return Write(AtScore());
}

std::string Player::Answer(const sim::MessageBoxInfo& box) {
    switch (box.type & MB_TYPEMASK) {
        case MB_YESNO:
            return Pick({"answer Yes", "answer No", "key Y", "key n", "key Enter", "key Tab Enter", "key Right Space",
                         "key Escape"});
        case MB_OKCANCEL:
            return Pick({"answer OK", "answer Cancel", "key Enter", "key Escape", "key Tab Space"});
        default:
            return Pick({"answer OK", "key Enter", "key Escape", "key Space"});
    }
}

std::string Player::AtScore() {
    const std::uint32_t r = choices_.Below(100);
    if (r < 40) return "invoke 1";
    if (r < 75) return Invoke();
    if (r < 79) return "invoke 0";
    if (r < 86) return "reload";
    if (r < 90) return "fail-alloc " + std::to_string(1 + choices_.Below(5));
    if (r < 94) return "fail-registry " + Pick({"open", "create", "close"});
    return "cancel-at " + std::to_string(1 + choices_.Below(8));
}

std::string Player::Invoke() {
    auto number = [&](const std::vector<int>& list) {
        const int n = list[choices_.Below(static_cast<std::uint32_t>(list.size()))];
        // Now and then one past what the document has.
        const std::uint32_t r = choices_.Below(10);
        return r == 0 ? n - 1 : r == 1 ? n + 1 : n;
    };
    int firstStaff = number(staves_), lastStaff = number(staves_);
    int firstMeasure = number(measures_), lastMeasure = number(measures_);
    // Mostly in order, as a selection is; sometimes the other way round.
    if (choices_.Below(8) != 0) {
        if (lastStaff < firstStaff) std::swap(firstStaff, lastStaff);
        if (lastMeasure < firstMeasure) std::swap(firstMeasure, lastMeasure);
    }
    const int start =
        choices_.Below(2) == 0 ? 0 : positions_[choices_.Below(static_cast<std::uint32_t>(positions_.size()))];
    const int end = choices_.Below(2) == 0 ? 0x7FFFFFFF
                                           : positions_[choices_.Below(static_cast<std::uint32_t>(positions_.size()))] +
                                                 static_cast<int>(choices_.Below(2));
    return "invoke 0 region " + std::to_string(firstStaff) + " " + std::to_string(firstMeasure) + " " +
           std::to_string(start) + " " + std::to_string(lastStaff) + " " + std::to_string(lastMeasure) + " " +
           std::to_string(end);
}

std::string Player::Text(bool numeric) {
    if (numeric) {
        return Pick({"",      "0",     "1",     "-1",     "512",    "1024",  "8192", "8193",  "32000",
                     "32001", "32767", "32768", "-32768", "-32769", "70000", "100",  "101",   "-100",
                     "-101",  "5",     "6",     "-5",     "-6",     " 12",   "+7",   "12abc", "abc"});
    }
    const std::uint32_t r = choices_.Below(10);
    if (r < 4 && !words_.empty()) return Pick(words_);
    if (r < 5 && !words_.empty()) {
        std::string word = Pick(words_);
        const std::size_t from = choices_.Below(static_cast<std::uint32_t>(word.size()));
        word = word.substr(from, 1 + choices_.Below(static_cast<std::uint32_t>(word.size() - from)));
        if (choices_.Below(2) == 0) {
            for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return word;
    }
    if (r < 8) {
        return Pick({"", "a", "ab", "AB", "b", std::string(50, 'a'), std::string(51, 'b'), std::string(49, 'b') + "a",
                     "^", "^^", "^b(1)", "ab^", "^font(Times)", "a b", " ", "\"", "\\"});
    }
    static const char kLetters[] = "abAB ^-.";
    std::string text;
    const std::uint32_t length = 1 + choices_.Below(8);
    for (std::uint32_t i = 0; i < length; ++i) text += kLetters[choices_.Below(sizeof kLetters - 1)];
    return text;
}

std::string Player::GoOn(HWND dialog) {
    auto shown = [&](int id) {
        return sim::ControlVisible(dialog, id).value_or(false) && sim::ControlEnabled(dialog, id).value_or(false);
    };
    auto pickShown = [&](std::initializer_list<int> ids) {
        std::vector<int> list;
        for (int id : ids) {
            if (shown(id)) list.push_back(id);
        }
        return list.empty() ? 0 : list[choices_.Below(static_cast<std::uint32_t>(list.size()))];
    };
    switch (sim::DialogTemplateId(dialog)) {
        case IDD_TEXT_SETUP: {
            const std::uint32_t r = choices_.Below(6);
            if (r == 0 || sim::ControlText(dialog, IDC_SETUP_SEARCH).value_or("").empty())
                return "type " + std::to_string(IDC_SETUP_SEARCH) + " " + Quote(Text(false));
            if (r == 1) return "click " + std::to_string(IDC_SETUP_REPLACE_ON);
            if (r == 2 && shown(IDC_SETUP_REPLACE))
                return "type " + std::to_string(IDC_SETUP_REPLACE) + " " + Quote(Text(false));
            if (r == 3) return "key Enter";
            return "click " + std::to_string(IDOK);
        }
        case IDD_TEXT_RESULTS: {
            const int id = pickShown({IDC_RESULTS_YES, IDC_RESULTS_NO, IDC_RESULTS_YES_ALL, IDC_RESULTS_NEXT, IDOK});
            if (id == 0) return {};
            return choices_.Below(4) == 0 ? "key Tab" : "click " + std::to_string(id);
        }
        case IDD_CRITERIA: {
            const std::uint32_t r = choices_.Below(3);
            if (r == 0) {
                const int id = pickShown({IDC_CRIT_DONE, IDC_CRIT_GO});
                if (id != 0) return "click " + std::to_string(id);
            }
            // A criterion: an attribute box on or off, or a value box.
            std::vector<int> boxes;
            for (const sim::ControlInfo& control : sim::Controls(dialog)) {
                if (control.visible && control.enabled && (control.kind == "3state" || control.kind == "checkbox"))
                    boxes.push_back(control.id);
            }
            if (boxes.empty()) return {};
            const int id = boxes[choices_.Below(static_cast<std::uint32_t>(boxes.size()))];
            return "state " + std::to_string(id) + " " + std::to_string(choices_.Below(2));
        }
        default:
            return {};
    }
}

std::string Player::InDialog(HWND dialog) {
    const std::vector<sim::ControlInfo> controls = sim::Controls(dialog);
    std::vector<const sim::ControlInfo*> buttons, boxes, edits;
    std::vector<char> mnemonics;
    bool editFocused = false;
    for (const sim::ControlInfo& control : controls) {
        if (control.focused && control.kind == "edit") editFocused = true;
        if (!control.visible) continue;
        std::size_t amp = control.text.find('&');
        if (amp != std::string::npos && amp + 1 < control.text.size() && control.text[amp + 1] != '&')
            mnemonics.push_back(control.text[amp + 1]);
        if (!control.enabled) continue;
        if (control.kind == "button") buttons.push_back(&control);
        if (control.kind == "checkbox" || control.kind == "3state" || control.kind == "radio")
            boxes.push_back(&control);
        if (control.kind == "edit") edits.push_back(&control);
    }
    auto pickOf = [&](const std::vector<const sim::ControlInfo*>& list) {
        return list[choices_.Below(static_cast<std::uint32_t>(list.size()))];
    };
    const bool criteria = sim::DialogTemplateId(dialog) == IDD_CRITERIA;
    // A third of the time the user goes on with the command, so that
    // sessions reach the matches, the summary and the scan.
    if (choices_.Below(3) == 0) {
        std::string line = GoOn(dialog);
        if (!line.empty()) return line;
    }
    std::uint32_t r = choices_.Below(100);
    if (r < 30) {
        const bool button = !buttons.empty() && (boxes.empty() || choices_.Below(2) == 0);
        if (button) return "click " + std::to_string(pickOf(buttons)->id);
        if (!boxes.empty()) return "click " + std::to_string(pickOf(boxes)->id);
        r = 60;
    }
    if (r < 42) {
        if (!edits.empty()) return "type " + std::to_string(pickOf(edits)->id) + " " + Quote(Text(criteria));
        r = 60;
    }
    if (r < 52) {
        if (!boxes.empty()) {
            const sim::ControlInfo* box = pickOf(boxes);
            const int state = box->kind == "radio"    ? 1
                              : box->kind == "3state" ? static_cast<int>(choices_.Below(3))
                                                      : static_cast<int>(choices_.Below(2));
            return "state " + std::to_string(box->id) + " " + std::to_string(state);
        }
        r = 60;
    }
    if (r < 82) {
        std::vector<std::string> keys = {"Enter",     "Enter", "Enter", "Escape",    "Tab",    "Tab",  "Tab",
                                         "Shift+Tab", "Space", "Space", "Space",     "Up",     "Down", "Left",
                                         "Right",     "Home",  "End",   "Backspace", "Delete", "7"};
        for (char letter : mnemonics) {
            keys.push_back(std::string("Alt+") + letter);
            keys.push_back(std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(letter)))));
        }
        return "key " + Pick(keys);
    }
    if (r < 88) {
        if (editFocused) {
            std::string text = Text(criteria);
            if (!text.empty()) return "key " + Quote(text);
        }
        return "key Tab";
    }
    if (r < 92) return "close";
    if (r < 96) return "fail-alloc " + std::to_string(1 + choices_.Below(4));
    return "cancel-at " + std::to_string(1 + choices_.Below(6));
}

}  // namespace users::monkey
