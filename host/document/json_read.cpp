// Reading a score document: every value is checked against its JSON path,
// and the document is only handed over when all of it was accepted.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "host/document/score_layout.h"
#include "host/document/text_codec.h"

namespace host {

namespace {

using Json = nlohmann::ordered_json;

struct JsonError {
    std::string message;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message) { throw JsonError{path + ": " + message}; }

std::string At(const std::string& path, const std::string& key) { return path + "." + key; }
std::string At(const std::string& path, std::size_t index) { return path + "[" + std::to_string(index) + "]"; }

const Json& Object(const Json& value, const std::string& path, std::initializer_list<const char*> keys) {
    if (!value.is_object()) Fail(path, "expected an object");
    for (const auto& [key, item] : value.items()) {
        bool known = false;
        for (const char* allowed : keys) known = known || key == allowed;
        if (!known) Fail(At(path, key), "unknown key");
    }
    return value;
}

bool Has(const Json& object, const char* key) { return object.contains(key); }

const Json& Required(const Json& object, const std::string& path, const char* key) {
    if (!object.contains(key)) Fail(path, std::string("missing \"") + key + "\"");
    return object.at(key);
}

long long Integer(const Json& value, const std::string& path, long long min, long long max) {
    const std::string range = " is out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")";
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(max)) Fail(path, std::to_string(number) + range);
        return static_cast<long long>(number);
    }
    if (!value.is_number_integer()) Fail(path, "expected an integer");
    const auto number = value.get<long long>();
    if (number < min || number > max) Fail(path, std::to_string(number) + range);
    return number;
}

int Int16(const Json& value, const std::string& path) {
    return static_cast<int>(Integer(value, path, INT16_MIN, INT16_MAX));
}

// Flag words: a number or a "0x" hex string.
std::uint32_t Flags(const Json& value, const std::string& path, std::uint32_t max) {
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        const auto parsed = ParseHexNumber(text);
        if (!parsed) Fail(path, "expected an integer or a \"0x\" hex string");
        if (*parsed > max) Fail(path, text + " is out of range (0 to " + std::to_string(max) + ")");
        return static_cast<std::uint32_t>(*parsed);
    }
    if (!value.is_number_integer()) Fail(path, "expected an integer or a \"0x\" hex string");
    return static_cast<std::uint32_t>(Integer(value, path, 0, max));
}

bool Boolean(const Json& value, const std::string& path) {
    if (!value.is_boolean()) Fail(path, "expected true or false");
    return value.get<bool>();
}

const Json& Array(const Json& value, const std::string& path) {
    if (!value.is_array()) Fail(path, "expected an array");
    return value;
}

std::string String(const Json& value, const std::string& path) {
    if (!value.is_string()) Fail(path, "expected a string");
    return value.get<std::string>();
}

// A stored text ends at its first zero; one inside would cut it silently.
std::string Text(const Json& value, const std::string& path) {
    std::string text = String(value, path);
    if (text.find('\0') != std::string::npos) Fail(path, "a text cannot hold a zero byte (use a raw record)");
    return text;
}

std::string OptionalText(const Json& object, const std::string& path, const char* key) {
    return Has(object, key) ? Text(object.at(key), At(path, key)) : std::string();
}

Bytes Hex(const Json& value, const std::string& path) {
    const auto bytes = ParseHexBytes(String(value, path));
    if (!bytes) Fail(path, "expected pairs of hex digits (spaces allowed)");
    return *bytes;
}

constexpr long long kMaxRecordSize = 1 << 20;

struct Reading {
    ScoreLayout layout;
    bool measuresGiven = false;
    int highestMeasure = 0;
    struct RawRecord {
        std::uint32_t tag;
        Key key;
        Bytes bytes;
    };
    std::vector<RawRecord> records;
    std::map<FrameKey, std::vector<EntryRecord>> frames;
    int screenWidth = 1024;
    int screenHeight = 768;
    LayerMenuSpec layers;
};

void UseMeasure(Reading& r, int measure) { r.highestMeasure = std::max(r.highestMeasure, measure); }

template <typename KeyT>
void Unique(std::set<KeyT>& seen, const KeyT& key, const std::string& path, const std::string& what) {
    if (!seen.insert(key).second) Fail(path, what + " is given twice");
}

void ReadScreen(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    if (value.size() != 2) Fail(path, "expected [width, height]");
    r.screenWidth = static_cast<int>(Integer(value[0], At(path, 0), 1, INT16_MAX));
    r.screenHeight = static_cast<int>(Integer(value[1], At(path, 1), 1, INT16_MAX));
}

void ReadLayers(const Json& value, const std::string& path, Reading& r) {
    Object(value, path, {"toggle", "visible", "submenuAt"});
    if (Has(value, "toggle")) r.layers.toggle = Boolean(value.at("toggle"), At(path, "toggle"));
    if (Has(value, "visible")) {
        const std::string vpath = At(path, "visible");
        const Json& visible = Array(value.at("visible"), vpath);
        if (visible.size() != 4) Fail(vpath, "expected four true or false values");
        for (std::size_t i = 0; i < 4; ++i) r.layers.visible[i] = Boolean(visible[i], At(vpath, i));
    }
    if (Has(value, "submenuAt")) {
        const int at = static_cast<int>(Integer(value.at("submenuAt"), At(path, "submenuAt"), 16, 17));
        r.layers.submenuAt = at;
    }
}

void ReadPageTexts(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"page", "text"});
        r.layout.pageTexts.push_back(
            {Int16(Required(item, p, "page"), At(p, "page")), Text(Required(item, p, "text"), At(p, "text"))});
    }
}

void ReadMeasureTexts(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"staff", "measure", "text"});
        ScoreLayout::MeasureText text;
        text.staff = Int16(Required(item, p, "staff"), At(p, "staff"));
        text.measure = Int16(Required(item, p, "measure"), At(p, "measure"));
        text.text = Text(Required(item, p, "text"), At(p, "text"));
        UseMeasure(r, text.measure);
        r.layout.measureTexts.push_back(std::move(text));
    }
}

void ReadExpressions(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    std::set<int> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"number", "text", "header"});
        ScoreLayout::Expression expression;
        expression.number = Int16(Required(item, p, "number"), At(p, "number"));
        Unique(seen, expression.number, At(p, "number"), "expression " + std::to_string(expression.number));
        expression.text = Text(Required(item, p, "text"), At(p, "text"));
        expression.header = Bytes(12, 0);
        if (Has(item, "header")) {
            expression.header = Hex(item.at("header"), At(p, "header"));
            if (expression.header.size() != 12) Fail(At(p, "header"), "expected 12 bytes");
        }
        r.layout.expressions.push_back(std::move(expression));
    }
}

void ReadStaves(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    std::set<int> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"number", "full", "abbreviated"});
        ScoreLayout::Names staff;
        staff.number = Int16(Required(item, p, "number"), At(p, "number"));
        Unique(seen, staff.number, At(p, "number"), "staff " + std::to_string(staff.number));
        staff.full = OptionalText(item, p, "full");
        staff.abbreviated = OptionalText(item, p, "abbreviated");
        r.layout.staves.push_back(std::move(staff));
    }
}

void ReadGroups(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    std::set<std::pair<int, int>> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"system", "number", "full", "abbreviated"});
        ScoreLayout::Names group;
        group.system = Int16(Required(item, p, "system"), At(p, "system"));
        group.number = Int16(Required(item, p, "number"), At(p, "number"));
        Unique(seen, std::pair{group.system, group.number}, At(p, "number"),
               "group " + std::to_string(group.number) + " of staff system " + std::to_string(group.system));
        group.full = OptionalText(item, p, "full");
        group.abbreviated = OptionalText(item, p, "abbreviated");
        r.layout.groups.push_back(std::move(group));
    }
}

// Text repeats, endings and lyrics: a number (or measure) and a text.
void ReadNumberedTexts(const Json& value, const std::string& path, const char* numberKey, const std::string& what,
                       std::vector<ScoreLayout::NumberedText>& out) {
    Array(value, path);
    std::set<int> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {numberKey, "text"});
        ScoreLayout::NumberedText text;
        text.number = Int16(Required(item, p, numberKey), At(p, numberKey));
        Unique(seen, text.number, At(p, numberKey), what + " " + std::to_string(text.number));
        text.text = Text(Required(item, p, "text"), At(p, "text"));
        out.push_back(std::move(text));
    }
}

void ReadLyrics(const Json& value, const std::string& path, Reading& r) {
    Object(value, path, {"verse", "chorus", "section"});
    const char* kinds[3] = {"verse", "chorus", "section"};
    for (int k = 0; k < 3; ++k)
        if (Has(value, kinds[k]))
            ReadNumberedTexts(value.at(kinds[k]), At(path, kinds[k]), "number", std::string(kinds[k]) + " lyrics",
                              r.layout.lyrics[k]);
}

void ReadRecords(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    std::set<std::pair<std::uint32_t, Key>> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"tag", "key", "text", "hex", "size"});
        Reading::RawRecord record{};
        const std::string tagText = String(Required(item, p, "tag"), At(p, "tag"));
        const auto tag = ParseTag(tagText);
        if (!tag) Fail(At(p, "tag"), "expected four characters or a \"0x\" hex number, not \"" + tagText + "\"");
        record.tag = *tag;

        const std::string kpath = At(p, "key");
        const Json& key = Array(Required(item, p, "key"), kpath);
        const std::size_t fields = static_cast<std::size_t>(Document::KeyFields(record.tag));
        if (key.empty() || key.size() > fields)
            Fail(kpath, "expected 1 to " + std::to_string(fields) + " key numbers for " + TagName(record.tag));
        record.key = Key{0, 0, 0};
        for (std::size_t k = 0; k < key.size(); ++k)
            record.key[k] = static_cast<std::int16_t>(Int16(key[k], At(kpath, k)));
        Unique(seen, std::pair{record.tag, record.key}, kpath, "this record");

        const int bodies = Has(item, "text") + Has(item, "hex") + Has(item, "size");
        if (bodies != 1) Fail(p, "expected exactly one of \"text\", \"hex\" and \"size\"");
        if (Has(item, "text")) {
            const std::string text = String(item.at("text"), At(p, "text"));
            record.bytes.assign(text.begin(), text.end());
            record.bytes.push_back(0);
        } else if (Has(item, "hex")) {
            record.bytes = Hex(item.at("hex"), At(p, "hex"));
        } else {
            record.bytes.assign(static_cast<std::size_t>(Integer(item.at("size"), At(p, "size"), 0, kMaxRecordSize)),
                                0);
        }
        if (record.bytes.size() > kMaxRecordSize) Fail(p, "a record holds at most 1048576 bytes");
        r.records.push_back(std::move(record));
    }
}

// Named fields overwrite only their bytes of `note`, which may come from "hex".
NoteRecord ReadNote(const Json& value, const std::string& p, NoteRecord note) {
    const Json& item = Object(value, p, {"displacement", "raiseLower", "flags"});
    if (Has(item, "displacement"))
        note.displacement = static_cast<std::int16_t>(Int16(item.at("displacement"), At(p, "displacement")));
    if (Has(item, "raiseLower"))
        note.raiseLower = static_cast<std::int16_t>(Int16(item.at("raiseLower"), At(p, "raiseLower")));
    if (Has(item, "flags")) note.flags = Flags(item.at("flags"), At(p, "flags"), UINT32_MAX);
    return note;
}

EntryRecord ReadEntry(const Json& value, const std::string& p) {
    const Json& item = Object(value, p, {"position", "duration", "flagsA", "flagsB", "notes", "noteCount", "hex"});
    EntryRecord entry{};
    // "hex" gives the whole record; the named fields then overwrite their bytes.
    if (Has(item, "hex")) {
        const Bytes bytes = Hex(item.at("hex"), At(p, "hex"));
        if (bytes.size() != sizeof(EntryRecord)) Fail(At(p, "hex"), "expected 146 bytes");
        std::memcpy(&entry, bytes.data(), sizeof entry);
    }
    if (Has(item, "position"))
        entry.position =
            static_cast<std::int32_t>(Integer(item.at("position"), At(p, "position"), INT32_MIN, INT32_MAX));
    if (Has(item, "duration"))
        entry.duration =
            static_cast<std::int32_t>(Integer(item.at("duration"), At(p, "duration"), INT32_MIN, INT32_MAX));
    if (Has(item, "flagsA")) entry.flagsA = Flags(item.at("flagsA"), At(p, "flagsA"), UINT32_MAX);
    if (Has(item, "flagsB"))
        entry.flagsB = static_cast<std::uint16_t>(Flags(item.at("flagsB"), At(p, "flagsB"), 0xFFFF));
    if (Has(item, "notes")) {
        const std::string npath = At(p, "notes");
        const Json& notes = Array(item.at("notes"), npath);
        if (notes.size() > kMaxNotesPerEntry) Fail(npath, "an entry holds at most 12 notes");
        for (std::size_t n = 0; n < notes.size(); ++n)
            entry.notes[n] = ReadNote(notes[n], At(npath, n), entry.notes[n]);
        entry.noteCount = static_cast<std::int16_t>(notes.size());
    }
    // A test may give a damaged count on purpose.
    if (Has(item, "noteCount"))
        entry.noteCount = static_cast<std::int16_t>(Int16(item.at("noteCount"), At(p, "noteCount")));
    return entry;
}

void ReadFrames(const Json& value, const std::string& path, Reading& r) {
    Array(value, path);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string p = At(path, i);
        const Json& item = Object(value[i], p, {"staff", "measure", "layer", "entries"});
        FrameKey key;
        key.staff = Int16(Required(item, p, "staff"), At(p, "staff"));
        key.measure = Int16(Required(item, p, "measure"), At(p, "measure"));
        key.layer = static_cast<int>(Integer(Required(item, p, "layer"), At(p, "layer"), 0, 3));
        if (r.frames.count(key)) Fail(p, "this staff, measure and layer is given twice");
        std::vector<EntryRecord> entries;
        if (Has(item, "entries")) {
            const std::string epath = At(p, "entries");
            const Json& list = Array(item.at("entries"), epath);
            if (list.size() > INT16_MAX) Fail(epath, "a frame holds at most 32767 entries");
            for (std::size_t e = 0; e < list.size(); ++e) entries.push_back(ReadEntry(list[e], At(epath, e)));
        }
        UseMeasure(r, key.measure);
        r.frames[key] = std::move(entries);
    }
}

void ReadDocument(const Json& root, Reading& r) {
    const std::string path = "$";
    Object(root, path,
           {"screen", "layers", "menu", "measures", "staffSystems", "pageTexts", "measureTexts", "expressions",
            "staves", "groups", "textRepeats", "endings", "lyrics", "records", "frames"});
    if (Has(root, "screen")) ReadScreen(root.at("screen"), At(path, "screen"), r);
    if (Has(root, "menu")) {
        if (!root.at("menu").is_null()) Fail(At(path, "menu"), "expected null (a host window without a menu bar)");
        if (Has(root, "layers")) Fail(At(path, "layers"), "a host window without a menu bar has no layer menu");
        r.layers.present = false;
    }
    if (Has(root, "layers")) ReadLayers(root.at("layers"), At(path, "layers"), r);
    if (Has(root, "measures")) {
        r.layout.measures = static_cast<int>(Integer(root.at("measures"), At(path, "measures"), 0, INT16_MAX));
        r.measuresGiven = true;
    }
    if (Has(root, "staffSystems"))
        r.layout.staffSystems =
            static_cast<int>(Integer(root.at("staffSystems"), At(path, "staffSystems"), 0, INT16_MAX));
    if (Has(root, "pageTexts")) ReadPageTexts(root.at("pageTexts"), At(path, "pageTexts"), r);
    if (Has(root, "measureTexts")) ReadMeasureTexts(root.at("measureTexts"), At(path, "measureTexts"), r);
    if (Has(root, "expressions")) ReadExpressions(root.at("expressions"), At(path, "expressions"), r);
    if (Has(root, "staves")) ReadStaves(root.at("staves"), At(path, "staves"), r);
    if (Has(root, "groups")) ReadGroups(root.at("groups"), At(path, "groups"), r);
    if (Has(root, "textRepeats"))
        ReadNumberedTexts(root.at("textRepeats"), At(path, "textRepeats"), "number", "text repeat",
                          r.layout.textRepeats);
    if (Has(root, "endings")) {
        ReadNumberedTexts(root.at("endings"), At(path, "endings"), "measure", "an ending in measure", r.layout.endings);
        for (const auto& ending : r.layout.endings) UseMeasure(r, ending.number);
    }
    if (Has(root, "lyrics")) ReadLyrics(root.at("lyrics"), At(path, "lyrics"), r);
    if (Has(root, "records")) ReadRecords(root.at("records"), At(path, "records"), r);
    if (Has(root, "frames")) ReadFrames(root.at("frames"), At(path, "frames"), r);
    if (!r.measuresGiven) r.layout.measures = r.highestMeasure;
}

// nlohmann keeps the last of two equal keys; a user's first value would be
// lost without a word, so a repeated key is refused with its path.
class DuplicateKeyCheck {
public:
    bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
        (void)depth;
        switch (event) {
            case Json::parse_event_t::object_start:
                Open(true);
                break;
            case Json::parse_event_t::array_start:
                Open(false);
                break;
            case Json::parse_event_t::key: {
                Level& level = levels_.back();
                level.key = parsed.get<std::string>();
                if (!level.keys.insert(level.key).second) Fail(Path(), "key given twice");
                break;
            }
            case Json::parse_event_t::object_end:
            case Json::parse_event_t::array_end:
                levels_.pop_back();
                Closed();
                break;
            case Json::parse_event_t::value:
                Closed();
                break;
        }
        return true;
    }

private:
    struct Level {
        bool object;
        std::set<std::string> keys;
        std::string key;
        std::size_t index = 0;
    };
    std::vector<Level> levels_;

    void Open(bool object) { levels_.push_back(Level{object, {}, {}, 0}); }
    void Closed() {
        if (!levels_.empty() && !levels_.back().object) ++levels_.back().index;
    }
    std::string Path() const {
        std::string path = "$";
        for (const Level& level : levels_) path = level.object ? At(path, level.key) : At(path, level.index);
        return path;
    }
};

}  // namespace

bool Document::FromJson(const std::string& text, Document* out, std::string* error) {
    Reading reading;
    try {
        DuplicateKeyCheck check;
        const Json root = Json::parse(text, std::ref(check));
        ReadDocument(root, reading);
    } catch (const JsonError& e) {
        if (error) *error = e.message;
        return false;
    } catch (const Json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 2, column 3: ..."
        std::string message = e.what();
        const std::string marker = "parse error at ";
        const auto at = message.find(marker);
        if (at != std::string::npos) message = message.substr(at + marker.size());
        if (error) *error = message;
        return false;
    } catch (const Json::exception& e) {
        // Anything else the reader refuses, such as a number too large for
        // any type ("1e999"), is a bad document too, not a crash.
        std::string message = e.what();
        const auto at = message.find("] ");
        if (at != std::string::npos) message = message.substr(at + 2);
        if (error) *error = message;
        return false;
    }

    Document document;
    LayOut(reading.layout, &document);
    for (auto& record : reading.records) document.SetRecord(record.tag, record.key, std::move(record.bytes));
    for (auto& [key, entries] : reading.frames) document.SetFrame(key, std::move(entries));
    document.screenWidth = reading.screenWidth;
    document.screenHeight = reading.screenHeight;
    document.layers = reading.layers;
    *out = std::move(document);
    return true;
}

bool Document::Load(const std::string& path, Document* out, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = path + ": cannot be opened";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string message;
    if (!FromJson(text.str(), out, &message)) {
        if (error) *error = path + ": " + message;
        return false;
    }
    return true;
}

}  // namespace host
