#include "host/users/entries_command.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "host/sim/resource_script.h"
#include "host/sim/sim.h"
#include "host/users/command_user.h"
#include "resource.h"

namespace users {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsButtonClass(const std::string& name) { return Lower(name) == "button"; }

bool ParseInteger(const std::string& text, long long min, long long max, long long* out) {
    if (text.empty()) return false;
    std::size_t used = 0;
    try {
        *out = std::stoll(text, &used, 10);
    } catch (...) {
        return false;
    }
    return used == text.size() && *out >= min && *out <= max;
}

class EntriesUser : public CommandUser {
public:
    EntriesUser(const EntriesOptions& options, session::Console& console, const EntriesPlan& plan)
        : CommandUser(console, options.yes, "Proceed?",
                      "The plug-in asks because a change is one its dialog marks as dangerous (in red)."),
          options_(options),
          find_(plan.find),
          change_(plan.change) {}

    void DriveDialog(HWND dialog) override {
        if (refused) return;
        if (sim::DialogTemplateId(dialog) != IDD_CRITERIA) {
            *console_.err << "veldune-host: unexpected dialog " << sim::DialogTemplateId(dialog) << "\n";
            refused = true;
            return;
        }
        // Search page: start from a clean page (or the stored one), state the criteria, go on.
        if (!Reset(dialog) || !Apply(dialog, find_, "--find") ||
            !Act(options_.useOr ? "choose OR" : "choose AND",
                 sim::Click(dialog, options_.useOr ? IDC_CRIT_OR : IDC_CRIT_AND)) ||
            !Act("press Done >>", sim::Click(dialog, IDC_CRIT_DONE))) {
            return;
        }
        if (sim::ControlVisible(dialog, IDC_CRIT_DONE).value_or(false)) {
            refused = true;  // the search page refused; its message has been printed
            return;
        }
        // Replace page.
        if (!Reset(dialog) || !Apply(dialog, change_, "--change") ||
            !Act("press GO!", sim::Click(dialog, IDC_CRIT_GO))) {
            return;
        }
        if (!sim::DialogEnded(dialog)) refused = true;
    }

    int AnswerMessageBox(const sim::MessageBoxInfo& box) override {
        // "7 replacements were made.": what the command says it did.
        if (box.text.find("replacement") != std::string::npos) {
            int count = -1;
            if (std::sscanf(box.text.c_str(), "%d", &count) == 1) replacements = count;
        }
        return CommandUser::AnswerMessageBox(box);
    }

    int replacements = -1;

private:
    bool Reset(HWND dialog) { return options_.remember || Act("press Reset", sim::Click(dialog, IDC_CRIT_RESET)); }

    bool Apply(HWND dialog, const std::vector<CriteriaSetting>& settings, const char* option) {
        for (const CriteriaSetting& setting : settings) {
            const std::string what = std::string(option) + " " + setting.field.name;
            std::string why = sim::SetState(dialog, setting.field.box, setting.state);
            if (!why.empty() && !sim::ControlEnabled(dialog, setting.field.box).value_or(true)) {
                why += " (a search-only attribute cannot be changed)";
            } else if (!why.empty() && !sim::ControlVisible(dialog, setting.field.box).value_or(true)) {
                why +=
                    " (the replace page shows the entry attributes, or the note-specific group when the search "
                    "holds a note criterion)";
            }
            if (!Act("set " + what, why)) return false;
            if (setting.field.edit != 0 && setting.state == 1 &&
                !Act("type " + what, sim::Type(dialog, setting.field.edit, setting.value))) {
                return false;
            }
        }
        return true;
    }

    const EntriesOptions& options_;
    const std::vector<CriteriaSetting>& find_;
    const std::vector<CriteriaSetting>& change_;
};

}  // namespace

std::vector<CriteriaField> CriteriaFields() {
    std::vector<CriteriaField> fields;
    const sim::DialogTemplate* dialog = sim::FindDialogTemplate(IDD_CRITERIA);
    if (dialog == nullptr) return fields;
    const auto& controls = dialog->controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const sim::ControlTemplate& control = controls[i];
        if (!IsButtonClass(control.className)) continue;
        const DWORD type = control.style & BS_TYPEMASK;
        const bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
        const bool checkBox = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
        if (!threeState && !checkBox) continue;
        CriteriaField field;
        field.box = control.id;
        for (char c : control.text) {
            if (c != '&') field.name += c;
        }
        if (checkBox) {
            // A numeric field: the check box and the edit right after it.
            if (i + 1 >= controls.size() || Lower(controls[i + 1].className) != "edit") continue;
            field.edit = controls[i + 1].id;
        }
        for (const CriteriaField& earlier : fields) {
            if (Lower(earlier.name) == Lower(field.name)) {
                field.name = "Note " + field.name;
                break;
            }
        }
        fields.push_back(field);
    }
    return fields;
}

bool ParseCriteriaList(const std::string& list, const std::vector<CriteriaField>& fields,
                       std::vector<CriteriaSetting>* out, std::string* error, const char* option) {
    out->clear();
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = Trim(item);
        if (item.empty()) continue;
        std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            *error = std::string(option) + ": expected NAME=VALUE, got \"" + item + "\"";
            return false;
        }
        const std::string name = Trim(item.substr(0, equals));
        const std::string value = Lower(Trim(item.substr(equals + 1)));
        const CriteriaField* field = nullptr;
        for (const CriteriaField& candidate : fields) {
            if (Lower(candidate.name) == Lower(name)) field = &candidate;
        }
        if (field == nullptr) {
            std::string names;
            for (const CriteriaField& candidate : fields) names += (names.empty() ? "" : ", ") + candidate.name;
            *error = std::string(option) + ": unknown attribute \"" + name + "\" (known: " + names + ")";
            return false;
        }
        CriteriaSetting setting;
        setting.field = *field;
        if (value == "off") {
            setting.state = 0;
        } else if (field->edit == 0 && value == "on") {
            setting.state = 1;
        } else if (field->edit == 0 && value == "any") {
            setting.state = 2;
        } else if (long long number = 0; field->edit != 0 && ParseInteger(value, -32768, 32767, &number)) {
            setting.state = 1;
            setting.value = std::to_string(number);
        } else {
            *error = std::string(option) + ": " + field->name + " takes " +
                     (field->edit != 0 ? "a number or off" : "on, off or any") + ", got \"" + value + "\"";
            return false;
        }
        out->push_back(setting);
    }
    return true;
}

bool ParseRegion(const std::string& text, RegionRecord* out, std::string* error, std::string* note) {
    std::vector<long long> values;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        long long value = 0;
        const bool position = values.size() == 2 || values.size() == 5;
        if (!ParseInteger(Trim(item), position ? 0 : 1, position ? INT32_MAX : 32767, &value)) {
            *error = "--region: \"" + Trim(item) + "\" is not a " +
                     (position ? "position (0 or more, 1024 to the quarter)" : "staff or measure number (1 to 32767)");
            return false;
        }
        values.push_back(value);
    }
    if (values.size() != 6) {
        *error = "--region: expected six numbers FIRST_STAFF,FIRST_MEASURE,START,LAST_STAFF,LAST_MEASURE,END";
        return false;
    }
    if (values[3] < values[0] || values[4] < values[1]) {
        *error = "--region: the last staff and measure come before the first";
        return false;
    }
    if (values[1] == values[4] && values[5] <= values[2]) {
        *error = "--region: in one measure the end position must come after the start (the end is not searched)";
        return false;
    }
    *out = RegionRecord{};
    out->firstStaff = static_cast<std::int16_t>(values[0]);
    out->firstMeasure = static_cast<std::int16_t>(values[1]);
    out->startPosition = static_cast<std::int32_t>(values[2]);
    out->lastStaff = static_cast<std::int16_t>(values[3]);
    out->lastMeasure = static_cast<std::int16_t>(values[4]);
    out->endPosition = static_cast<std::int32_t>(values[5]);
    if (note != nullptr && values[5] == 0)
        *note = "--region: an end position of 0 is the start of measure " + std::to_string(values[4]) +
                ", so nothing of measure " + std::to_string(values[4]) + " is searched; give --measures " +
                std::to_string(values[1]) + "-" + std::to_string(values[4]) + " for whole measures";
    return true;
}

bool ParseRange(const std::string& text, const char* option, int* first, int* last, std::string* error) {
    const std::string t = Trim(text);
    const std::size_t dash = t.find('-', 1);
    long long a = 0, b = 0;
    const bool ok = dash == std::string::npos ? ParseInteger(t, 1, 32767, &a)
                                              : ParseInteger(Trim(t.substr(0, dash)), 1, 32767, &a) &&
                                                    ParseInteger(Trim(t.substr(dash + 1)), 1, 32767, &b);
    if (!ok) {
        *error = std::string(option) + ": \"" + t + "\" is not a number from 1 or a range such as 1-8";
        return false;
    }
    if (dash == std::string::npos) b = a;
    if (b < a) {
        *error = std::string(option) + ": " + t + " ends before it starts";
        return false;
    }
    *first = static_cast<int>(a);
    *last = static_cast<int>(b);
    return true;
}

std::string DescribeRegion(const RegionRecord& r) {
    const auto range = [](const char* one, const char* many, int a, int b) {
        return a == b ? std::string(one) + " " + std::to_string(a)
                      : std::string(many) + " " + std::to_string(a) + "-" + std::to_string(b);
    };
    std::string text = range("staff", "staves", r.firstStaff, r.lastStaff) + ", " +
                       range("measure", "measures", r.firstMeasure, r.lastMeasure);
    if (r.startPosition != 0) text += ", from position " + std::to_string(r.startPosition) + " of the first";
    if (r.endPosition != INT32_MAX) text += ", up to position " + std::to_string(r.endPosition) + " of the last";
    return text;
}

RegionRecord WholeDocumentRegion(const host::Document& document) {
    int firstStaff = INT_MAX, lastStaff = INT_MIN, firstMeasure = INT_MAX, lastMeasure = INT_MIN;
    auto addStaff = [&](int staff) {
        firstStaff = std::min(firstStaff, staff);
        lastStaff = std::max(lastStaff, staff);
    };
    auto addMeasure = [&](int measure) {
        firstMeasure = std::min(firstMeasure, measure);
        lastMeasure = std::max(lastMeasure, measure);
    };
    for (const auto& [key, entries] : document.Frames()) {
        addStaff(key.staff);
        addMeasure(key.measure);
    }
    if (const auto* staves = document.RecordsOf(host::kTagStaff)) {
        for (const auto& [key, bytes] : *staves) addStaff(key[0]);
    }
    if (const auto* measures = document.RecordsOf(host::kTagMeasure)) {
        for (const auto& [key, bytes] : *measures) addMeasure(key[0]);
    }
    // The region's fields are 16-bit: held to what they can say, never wrapped.
    const auto field = [](int value, int fallback, int none) {
        return static_cast<std::int16_t>(std::clamp(value == none ? fallback : value, -32768, 32767));
    };
    RegionRecord region{};
    region.firstStaff = field(firstStaff, 1, INT_MAX);
    region.lastStaff = field(lastStaff, 1, INT_MIN);
    region.firstMeasure = field(firstMeasure, 1, INT_MAX);
    region.lastMeasure = field(lastMeasure, 1, INT_MIN);
    region.startPosition = 0;
    region.endPosition = INT32_MAX;
    return region;
}

bool PrepareEntries(const EntriesOptions& options, const host::Document& document, EntriesPlan* plan,
                    std::string* error) {
    const std::vector<CriteriaField> fields = CriteriaFields();
    if (fields.empty()) {
        *error = "the plug-in's criteria dialog template has no attribute boxes";
        return false;
    }
    plan->region = WholeDocumentRegion(document);
    if (options.region && (options.staves || options.measures)) {
        *error = "give --region, or --staves and --measures, not both";
        return false;
    }
    if (options.staves) {
        int first = 0, last = 0;
        if (!ParseRange(*options.staves, "--staves", &first, &last, error)) return false;
        plan->region.firstStaff = static_cast<std::int16_t>(first);
        plan->region.lastStaff = static_cast<std::int16_t>(last);
    }
    if (options.measures) {
        int first = 0, last = 0;
        if (!ParseRange(*options.measures, "--measures", &first, &last, error)) return false;
        plan->region.firstMeasure = static_cast<std::int16_t>(first);
        plan->region.lastMeasure = static_cast<std::int16_t>(last);
    }
    return ParseCriteriaList(options.find, fields, &plan->find, error, "--find") &&
           ParseCriteriaList(options.change.value_or(""), fields, &plan->change, error, "--change") &&
           (!options.region || ParseRegion(*options.region, &plan->region, error, &plan->note));
}

int RunEntriesSubcommand(const session::PluginModule& module, HWND hostWindow, const EntriesPlan& plan,
                         const EntriesOptions& options, session::Console& console, EntriesCounts* counts) {
    if (!plan.note.empty()) *console.err << "veldune-host: note: " << plan.note << "\n";
    *console.out << "region: " << DescribeRegion(plan.region) << "\n";
    EntriesUser user(options, console, plan);
    sim::SetUser(&user);
    module.invoke(hostWindow, 0, &plan.region, nullptr);
    sim::SetUser(nullptr);
    if (counts != nullptr) counts->replacements = user.replacements;
    return user.refused ? 1 : 0;
}

}  // namespace users
