#include "host/monkey/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "host/services/services.h"
#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/settings.h"

namespace monkey {

// ---- Choices ----------------------------------------------------------------

std::uint32_t SeededChoices::Below(std::uint32_t n) {
    // splitmix64: small, and the same sequence everywhere.
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return n <= 1 ? 0 : static_cast<std::uint32_t>(z % n);
}

std::uint32_t ByteChoices::Below(std::uint32_t n) {
    if (n <= 1) return 0;
    std::uint32_t value = 0;
    for (std::uint32_t range = 1; range < n && next_ < size_; range <<= 8) value = value << 8 | data_[next_++];
    return value % n;
}

namespace {

std::string Format(const char* format, int n) {
    char line[128];
    std::snprintf(line, sizeof line, format, n);
    return line;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Text(HWND dialog, int id) { return sim::ControlText(dialog, id).value_or(""); }

std::string DialogName(HWND dialog) {
    return dialog == nullptr ? "no dialog" : "dialog " + std::to_string(sim::DialogTemplateId(dialog));
}

bool IsCriteriaBox(const sim::MessageBoxInfo& box) {
    return box.caption == kRangeErrorCaption || box.caption == kNoEntriesCaption || box.caption == kDangerousCaption;
}

struct KnownBox {
    int dialog;  // template the box comes from, 0 for the score window
    const char* text;
    const char* caption;
    UINT type;
};

constexpr KnownBox kKnownBoxes[] = {
    {IDD_TEXT_SETUP, kNoElementsText, kNoElementsCaption, MB_OK | MB_ICONERROR},
    {IDD_TEXT_SETUP, kEmptySearchText, kEmptySearchCaption, MB_OK | MB_ICONERROR},
    {IDD_TEXT_SETUP, kLyricsWarningText, kLyricsWarningCaption, MB_YESNO | MB_ICONWARNING},
    {IDD_CRITERIA, kDurationRangeText, kRangeErrorCaption, MB_OK | MB_ICONERROR},
    {IDD_CRITERIA, kPositionRangeText, kRangeErrorCaption, MB_OK | MB_ICONERROR},
    {IDD_CRITERIA, kDisplacementRangeText, kRangeErrorCaption, MB_OK | MB_ICONERROR},
    {IDD_CRITERIA, kRaiseLowerRangeText, kRangeErrorCaption, MB_OK | MB_ICONERROR},
    {IDD_CRITERIA, kNoSearchCriteriaText, kNoEntriesCaption, MB_OK | MB_ICONERROR},
    {IDD_CRITERIA, kNoReplaceActionsText, kNoEntriesCaption, MB_OK | MB_ICONERROR},
    {IDD_CRITERIA, kDangerousText, kDangerousCaption, MB_YESNO | MB_ICONWARNING},
    {0, kNoAreaText, kNoAreaCaption, MB_OK | MB_ICONINFORMATION},
};

// "3 replacements were made." -> 3; nullopt for any other text.
std::optional<int> CountOf(const std::string& text) {
    int n = 0;
    if (std::sscanf(text.c_str(), "%d", &n) != 1) return std::nullopt;
    char expected[sizeof(kCountFormat) + 16];
    std::snprintf(expected, sizeof expected, kCountFormat, n, n == 1 ? "t" : "ts", n == 1 ? "was" : "were");
    if (text != expected) return std::nullopt;
    return n;
}

// An entry with what a scan may change taken from another.
EntryRecord Unchangeable(EntryRecord entry, const EntryRecord& from) {
    entry.flagsA = from.flagsA;
    entry.flagsB = from.flagsB;
    for (int n = 0; n < kMaxNotesPerEntry; ++n) {
        entry.notes[n].displacement = from.notes[n].displacement;
        entry.notes[n].raiseLower = from.notes[n].raiseLower;
        entry.notes[n].flags = from.notes[n].flags;
    }
    return entry;
}

bool Same(const EntryRecord& a, const EntryRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::array<std::optional<std::vector<std::uint8_t>>, 3> StoredSettings() {
    return {sim::HiveValue(kSettingsKey, kSearchOptionsValue), sim::HiveValue(kSettingsKey, kReplaceOptionsValue),
            sim::HiveValue(kSettingsKey, kTextSearchPrefsValue)};
}

constexpr const char* kSettingNames[3] = {kSearchOptionsValue, kReplaceOptionsValue, kTextSearchPrefsValue};
constexpr std::size_t kSettingSizes[3] = {112, 112, 132};

}  // namespace

// ---- Checker ------------------------------------------------------------------

void Checker::Begin() {
    warnings_ = sim::Warnings();
    complaints_ = host::Complaints();
    writesMark_ = TextWrites();
    sim::SetWatcher(this);
    host::WatchWrites([this](std::uint32_t, const host::Key&, const std::optional<std::string>& before,
                             const std::optional<std::string>& after) { Written(before, after); });
}

void Checker::End() {
    sim::SetWatcher(nullptr);
    host::WatchWrites(nullptr);
}

// A text is written as it was with one match replaced, nothing else.
void Checker::Written(const std::optional<std::string>& before, const std::optional<std::string>& after) {
    if (!before || !after || command_ != 1) return;
    const std::size_t length = search_.size();
    auto fold = [this](char c) { return foldCase_ && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (std::size_t p = 0; length > 0 && p + length <= before->size(); ++p) {
        bool match = true;
        for (std::size_t i = 0; i < length && match; ++i) match = fold((*before)[p + i]) == fold(search_[i]);
        if (match && *after == before->substr(0, p) + replace_ + before->substr(p + length)) return;
    }
    Find("the text \"" + *before + "\" was written as \"" + *after + "\", which is not one match of \"" + search_ +
         "\" replaced by \"" + replace_ + "\"");
}

void Checker::Find(const std::string& what) {
    std::string finding = (where_.empty() ? std::string("at the start") : where_) + ": " + what;
    if (std::find(findings_.begin(), findings_.end(), finding) == findings_.end()) findings_.push_back(finding);
}

int Checker::TextWrites() {
    // The log only grows while the world stands; read each line once.
    const auto& log = host::ServiceLog();
    if (log.size() < logRead_) logRead_ = writesSeen_ = 0;
    for (; logRead_ < log.size(); ++logRead_) {
        if (log[logRead_].rfind("savedata ", 0) == 0) ++writesSeen_;
    }
    return writesSeen_;
}

void Checker::SettleWrites() {
    const int writes = TextWrites();
    const int made = writes - writesMark_;
    writesMark_ = writes;
    if (made > 0) {
        if (allowed_ >= 0 && made > allowed_) {
            Find(std::to_string(made) + " text(s) written while " +
                 (allowedBy_.empty() ? std::string("no match was accepted") : allowedBy_));
        }
        writesInResults_ += made;
    }
    allowed_ = 0;
    allowedBy_.clear();
}

void Checker::Command(HWND dialog, int id, int code) {
    (void)code;
    SettleWrites();
    const int dialogId = sim::DialogTemplateId(dialog);
    if (dialogId == IDD_TEXT_SETUP) {
        setupLast_ = id;
        if (id == IDOK) {
            // What the plug-in takes from the edits: at most 50 characters.
            replaceMode_ = sim::ControlState(dialog, IDC_SETUP_REPLACE_ON).value_or(0) == 1;
            search_ = Text(dialog, IDC_SETUP_SEARCH).substr(0, 50);
            replace_ = Text(dialog, IDC_SETUP_REPLACE).substr(0, 50);
            foldCase_ = sim::ControlState(dialog, IDC_SETUP_CASE).value_or(0) != 1;
        }
    } else if (dialogId == IDD_CRITERIA) {
        criteriaLast_ = id;
    } else if (dialogId == IDD_TEXT_RESULTS) {
        Results(dialog);
        const std::string heading = Text(dialog, IDC_RESULTS_HEADING);
        const bool asking = heading == kMatchHeading && Text(dialog, IDC_RESULTS_QUESTION) == kReplaceQuestion;
        allowedBy_ = "command " + std::to_string(id) + " came with \"" + heading + "\" shown";
        if (asking && id == IDC_RESULTS_YES) allowed_ = 1;
        if (asking && id == IDC_RESULTS_YES_ALL) allowed_ = -1;
    }
}

void Checker::Results(HWND dialog) {
    if (dialog == results_) return;
    results_ = dialog;
    matchesShown_ = 0;
    writesInResults_ = 0;
}

void Checker::TextSet(HWND dialog, int id, const std::string& text) {
    if (sim::DialogTemplateId(dialog) != IDD_TEXT_RESULTS) return;
    Results(dialog);
    if (id == IDC_RESULTS_HEADING && text == kMatchHeading) ++matchesShown_;
}

void Checker::CheckDialog(HWND dialog) {
    const int id = dialog == nullptr ? 0 : sim::DialogTemplateId(dialog);
    bool fits = false;
    switch (command_) {
        case 0:
            fits = id == IDD_CRITERIA && hasRegion_;
            break;
        case 1:
            fits = id == IDD_TEXT_SETUP || (id == IDD_TEXT_RESULTS && setupLast_ == IDOK);
            break;
        default:
            fits = id == 0;
            break;
    }
    if (id == 0 && command_ >= 0) fits = true;  // between the dialogs of a command
    if (!fits)
        Find(DialogName(dialog) + " is up during " +
             (command_ < 0 ? std::string("no command") : "command " + std::to_string(command_)));
}

void Checker::DialogUp(HWND dialog) {
    CheckDialog(dialog);
    if (sim::DialogTemplateId(dialog) == IDD_TEXT_RESULTS) Results(dialog);
    CheckSummary();
}

void Checker::BoxUp(const sim::MessageBoxInfo& box) {
    HWND dialog = sim::ActiveDialog();
    const int context = dialog == nullptr ? 0 : sim::DialogTemplateId(dialog);
    const UINT type = box.type & (MB_ICONMASK | MB_TYPEMASK);
    const std::string what = "message box \"" + box.text + "\" (\"" + box.caption + "\")";
    bool known = false;
    for (const KnownBox& k : kKnownBoxes) {
        if (box.text == k.text && box.caption == k.caption && type == k.type) {
            known = true;
            if (k.dialog != context) Find(what + " over " + DialogName(dialog));
        }
    }
    if (box.text == kNoAreaText && (command_ != 0 || hasRegion_)) Find(what + " with a region given");
    if (box.caption == kCountCaption) {
        known = CountOf(box.text).has_value() && type == (MB_OK | MB_ICONINFORMATION);
        bool completed = false;
        const auto& log = host::ServiceLog();
        for (std::size_t i = logStart_; i < log.size(); ++i) completed = completed || log[i] == "end 0";
        if (known && (context != 0 || command_ != 0 || criteriaLast_ != IDC_CRIT_GO || !completed))
            Find(what + " without a completed scan");
    }
    if (!known) Find("a " + what + " the plug-in does not have");
    if (context != 0 && box.owner != dialog) Find(what + " not owned by " + DialogName(dialog));
    if (IsCriteriaBox(box) && command_ != 0) Find(what + " outside the note entry command");
}

void Checker::CheckSummary() {
    HWND dialog = sim::ActiveDialog();
    if (dialog == nullptr || sim::DialogTemplateId(dialog) != IDD_TEXT_RESULTS || sim::DialogEnded(dialog)) return;
    if (Text(dialog, IDC_RESULTS_HEADING) != kSummaryHeading) return;
    Results(dialog);
    const std::string found = Format(kFoundFormat, matchesShown_);
    if (Text(dialog, IDC_RESULTS_TEXT) != found)
        Find("the summary shows \"" + Text(dialog, IDC_RESULTS_TEXT) + "\" after " + std::to_string(matchesShown_) +
             " match(es) shown");
    const std::string replaced = replaceMode_ ? Format(kReplacedFormat, writesInResults_) : "";
    if (Text(dialog, IDC_RESULTS_REPLACED) != replaced)
        Find("the summary shows \"" + Text(dialog, IDC_RESULTS_REPLACED) + "\" after " +
             std::to_string(writesInResults_) + " text(s) written");
}

void Checker::CheckQuiet() {
    if (HWND dialog = sim::ActiveDialog()) Find(DialogName(dialog) + " is still open after the command");
    std::string alive;
    auto count = [&](const char* what, int live) {
        if (live != 0) alive += (alive.empty() ? "" : ", ") + std::to_string(live) + " " + what;
    };
    count("font(s)", sim::LiveFonts());
    count("brush(es)", sim::LiveBrushes());
    count("display context(s)", sim::LiveDCs());
    count("subclassed window(s)", sim::Subclassings());
    count("frame(s)", host::LiveFrames());
    count("heap block(s) (text copies)", sim::LiveHeapBlocks());
    count("registry key(s)", sim::OpenKeys());
    if (!alive.empty()) Find(alive + " alive after the command");
}

void Checker::CheckDocument(const session::Action& invoke) {
    (void)invoke;
    const host::Document* after = host::AttachedDocument();
    if (after == nullptr) return;
    const auto& log = host::ServiceLog();

    // Records: texts only, and no more of them than the writes made.
    int writes = 0;
    for (std::size_t i = logStart_; i < log.size(); ++i) {
        if (log[i].rfind("savedata ", 0) == 0) ++writes;
    }
    int changed = 0;
    std::set<std::uint32_t> tags;
    for (const auto& [tag, records] : before_.AllRecords()) tags.insert(tag);
    for (const auto& [tag, records] : after->AllRecords()) tags.insert(tag);
    for (std::uint32_t tag : tags) {
        const std::map<host::Key, host::Bytes>* a = before_.RecordsOf(tag);
        const std::map<host::Key, host::Bytes>* b = after->RecordsOf(tag);
        const std::size_t countA = a == nullptr ? 0 : a->size();
        const std::size_t countB = b == nullptr ? 0 : b->size();
        if (countA != countB) {
            Find("the records of " + host::TagName(tag) + " went from " + std::to_string(countA) + " to " +
                 std::to_string(countB));
            continue;
        }
        if (a == nullptr) continue;
        for (const auto& [key, bytes] : *a) {
            const host::Bytes* now = after->Record(tag, key);
            if (now == nullptr) {
                Find("record " + host::TagName(tag) + " " + std::to_string(key[0]) + " went away");
            } else if (*now != bytes) {
                ++changed;
            }
        }
    }
    if (changed > writes)
        Find(std::to_string(changed) + " record(s) changed by " + std::to_string(writes) + " write(s) of the plug-in");

    // Frames: only a scan changes them, only inside the region, and only
    // what an entry's attributes are.
    bool started = false, completed = false, inside = false;
    for (std::size_t i = logStart_; i < log.size(); ++i) {
        const std::string& line = log[i];
        if (line == "start") started = inside = true;
        if (line.rfind("end ", 0) == 0) {
            inside = false;
            completed = line == "end 0";
        }
        if (!inside && (line.rfind("save ", 0) == 0 || line.rfind("load ", 0) == 0))
            Find("\"" + line + "\" outside the mass edit");
    }
    if (started && (command_ != 0 || criteriaLast_ != IDC_CRIT_GO)) Find("a scan ran without \"&GO!\"");
    int entriesChanged = 0;
    const auto& framesBefore = before_.Frames();
    const auto& framesAfter = after->Frames();
    if (framesBefore.size() != framesAfter.size()) Find("the number of frames changed");
    for (const auto& [key, entries] : framesBefore) {
        auto found = framesAfter.find(key);
        if (found == framesAfter.end() || found->second.size() != entries.size()) {
            Find("frame " + std::to_string(key.staff) + " " + std::to_string(key.measure) + " " +
                 std::to_string(key.layer) + " lost or gained entries");
            continue;
        }
        for (std::size_t e = 0; e < entries.size(); ++e) {
            const EntryRecord& was = entries[e];
            const EntryRecord& now = found->second[e];
            if (Same(was, now)) continue;
            ++entriesChanged;
            const std::string where = "entry " + std::to_string(e) + " of frame " + std::to_string(key.staff) + " " +
                                      std::to_string(key.measure) + " " + std::to_string(key.layer);
            if (!started) {
                Find(where + " changed without a scan");
                continue;
            }
            if (!Same(Unchangeable(now, was), was)) Find(where + " changed beyond its attributes");
            const bool inRegion = hasRegion_ && key.staff >= region_.firstStaff && key.staff <= region_.lastStaff &&
                                  key.measure >= region_.firstMeasure && key.measure <= region_.lastMeasure &&
                                  !(key.measure == region_.firstMeasure && was.position < region_.startPosition) &&
                                  !(key.measure == region_.lastMeasure && was.position >= region_.endPosition);
            if (!inRegion) Find(where + " changed outside the region");
        }
    }

    // The count shown: once, after a completed scan, at least the entries changed.
    std::vector<int> counts;
    const auto& boxes = sim::MessageBoxes();
    for (std::size_t i = boxesStart_; i < boxes.size(); ++i) {
        if (boxes[i].caption != kCountCaption) continue;
        if (std::optional<int> n = CountOf(boxes[i].text)) counts.push_back(*n);
    }
    if (completed && counts.size() != 1) {
        Find(std::to_string(counts.size()) + " count message(s) after a completed scan");
    } else if (!completed && !counts.empty()) {
        Find("a count message without a completed scan");
    } else if (completed && counts[0] < entriesChanged) {
        Find("the count says " + std::to_string(counts[0]) + " but " + std::to_string(entriesChanged) +
             " entries changed");
    }
}

void Checker::CheckSettings() {
    const auto stored = StoredSettings();
    bool all = true;
    for (int i = 0; i < 3; ++i) {
        if (!stored[i]) {
            all = false;
            continue;
        }
        if (stored[i]->size() != kSettingSizes[i])
            Find(std::string(kSettingNames[i]) + " is stored in " + std::to_string(stored[i]->size()) + " bytes");
    }
    if (sim::OpenKeys() != 0) Find(std::to_string(sim::OpenKeys()) + " registry key(s) left open");
    if (registryPlanned_) {
        // The failure planned may have kept the values or the load from happening.
        registryPlanned_ = false;
        stored_.reset();
        return;
    }
    if (!all) {
        Find("a setting is missing from the registry after a clean save");
        return;
    }
    std::array<std::vector<std::uint8_t>, 3> bytes{*stored[0], *stored[1], *stored[2]};
    if (heldSettings) {
        const auto held = heldSettings();
        for (int i = 0; i < 3; ++i) {
            if (held[i] != bytes[i]) Find(std::string(kSettingNames[i]) + " loads back to other bytes than stored");
        }
    }
    if (stored_ && !commandSinceStore_) {
        for (int i = 0; i < 3; ++i) {
            if ((*stored_)[i] != bytes[i])
                Find(std::string(kSettingNames[i]) + " changed between two reloads with no command between");
        }
    }
    stored_ = bytes;
    commandSinceStore_ = false;
}

void Checker::Starting(const session::Action& action) {
    SettleWrites();
    where_ = action.Where() + " (" + action.source + ")";
    wheres_.push_back(where_);
    switch (action.kind) {
        case session::ActionKind::Invoke: {
            command_ = static_cast<int>(action.numbers.empty() ? -1 : action.numbers[0]);
            hasRegion_ = action.hasRegion;
            region_ = action.region;
            if (const host::Document* doc = host::AttachedDocument()) before_ = *doc;
            logStart_ = host::ServiceLog().size();
            boxesStart_ = sim::MessageBoxes().size();
            setupLast_ = 0;
            criteriaLast_ = 0;
            replaceMode_ = false;
            commandSinceStore_ = true;
            break;
        }
        case session::ActionKind::FailRegistry:
            registryPlanned_ = true;
            break;
        default:
            break;
    }
}

void Checker::Performed(const session::Action& action) {
    SettleWrites();
    if (sim::Warnings() != warnings_) {
        Find("the window system warned of a call a correct plug-in never makes (see its line above)");
        warnings_ = sim::Warnings();
    }
    if (host::Complaints() != complaints_) {
        Find("the host services complained of a call a correct plug-in never makes (see its line above)");
        complaints_ = host::Complaints();
    }
    if (action.kind == session::ActionKind::Invoke) {
        CheckDocument(action);
        command_ = -1;
        CheckQuiet();
    } else {
        if (HWND dialog = sim::ActiveDialog(); dialog != nullptr && !sim::DialogEnded(dialog)) CheckDialog(dialog);
        CheckSummary();
    }
    if (action.kind == session::ActionKind::Reload) CheckSettings();
    if (!wheres_.empty()) wheres_.pop_back();
    where_ = wheres_.empty() ? std::string() : wheres_.back();
}

// ---- Session ------------------------------------------------------------------

Session::Session(Choices& choices, const host::Document& document, Options options)
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

std::string Session::Script() const {
    std::string out;
    for (const std::string& line : lines_) out += line + "\n";
    return out;
}

std::string Session::Write(std::string line) {
    lines_.push_back(line);
    return line;
}

std::string Session::Pick(const std::vector<std::string>& list) {
    return list.empty() ? std::string() : list[choices_.Below(static_cast<std::uint32_t>(list.size()))];
}

void Session::Starting(const session::Action& action) { checker_.Starting(action); }

void Session::Performed(const session::Action& action) {
    checker_.Performed(action);
    if (action.kind == session::ActionKind::Invoke) commandRan_ = true;
}

std::optional<std::string> Session::Next(const sim::MessageBoxInfo* box) {
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

std::string Session::Answer(const sim::MessageBoxInfo& box) {
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

std::string Session::AtScore() {
    const std::uint32_t r = choices_.Below(100);
    if (r < 40) return "invoke 1";
    if (r < 75) return Invoke();
    if (r < 79) return "invoke 0";
    if (r < 86) return "reload";
    if (r < 90) return "fail-alloc " + std::to_string(1 + choices_.Below(5));
    if (r < 94) return "fail-registry " + Pick({"open", "create", "close"});
    return "cancel-at " + std::to_string(1 + choices_.Below(8));
}

std::string Session::Invoke() {
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

std::string Session::Text(bool numeric) {
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

std::string Session::GoOn(HWND dialog) {
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

std::string Session::InDialog(HWND dialog) {
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

}  // namespace monkey
