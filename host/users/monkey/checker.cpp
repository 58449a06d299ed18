#include "host/users/monkey/checker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "host/services/services.h"
#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/settings.h"

namespace users::monkey {

namespace {

std::string Format(const char* format, int n) {
    char line[128];
    std::snprintf(line, sizeof line, format, n);
    return line;
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

}  // namespace users::monkey
