// Writing a score document: the semantic sections are recovered from the
// current records, so a text the plug-in replaced shows where the user wrote
// it; whatever they cannot say byte for byte follows as raw records.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "host/document/score_layout.h"
#include "host/document/text_codec.h"

namespace host {

namespace {

using Json = nlohmann::ordered_json;

std::int16_t Int16At(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::string TextFrom(const Bytes& bytes, std::size_t start) {
    if (start >= bytes.size()) return {};
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(start);
    return std::string(begin, std::find(begin, bytes.end(), std::uint8_t{0}));
}

// JSON strings are UTF-8; another 8-bit text is shown byte by byte as
// Latin-1 here, and its exact bytes follow as a raw record.
std::string Shown(const std::string& text) { return IsUtf8(text) ? text : Latin1ToUtf8(text); }

class Recovery {
public:
    explicit Recovery(const Document& document) : d_(document) {}

    ScoreLayout Run() {
        PageTexts();
        MeasureTexts();
        Staves();
        Groups();
        Expressions();
        PairedTexts(kTagTextRepeat, kTagTextRepeatText, layout_.textRepeats);
        PairedTexts(kTagEndingRepeat, kTagEndingRepeatText, layout_.endings);
        const std::uint32_t lyricsTags[3] = {kTagVerseLyrics, kTagChorusLyrics, kTagSectionLyrics};
        for (int k = 0; k < 3; ++k)
            for (const auto& [key, bytes] : Of(lyricsTags[k]))
                layout_.lyrics[k].push_back({key[0], TextFrom(bytes, 0)});
        layout_.measures = Consecutive(kTagMeasure);
        layout_.staffSystems = Consecutive(kTagStaffSystem);
        return layout_;
    }

private:
    const Document& d_;
    ScoreLayout layout_;
    int nextId_ = 1;
    int nextNumber_ = 1;

    const std::map<Key, Bytes>& Of(std::uint32_t tag) const {
        static const std::map<Key, Bytes> kNone;
        const auto* records = d_.RecordsOf(tag);
        return records ? *records : kNone;
    }

    // The text of block `id` when it is the block the layout would allocate
    // at this point (offset ahead of the counters); nullopt otherwise.
    std::optional<std::string> BlockText(std::int16_t id, int ahead) const {
        if (id != nextId_ + ahead) return std::nullopt;
        const Bytes* block = d_.Record(kTagTextBlock, Key{id, 0, 0});
        if (!block || block->size() < 2 || Int16At(*block, 0) != nextNumber_ + ahead) return std::nullopt;
        const Bytes* text = d_.Record(kTagTextBlockText, Key{Int16At(*block, 0), 0, 0});
        if (!text) return std::nullopt;
        return TextFrom(*text, 0);
    }

    void TakeBlocks(int count) {
        nextId_ += count;
        nextNumber_ += count;
    }

    void PageTexts() {
        std::map<int, int> taken;  // per page: the next index the layout gives
        for (const auto& [key, bytes] : Of(kTagPageTextAssignment)) {
            if (key[1] != taken[key[0]] || bytes.size() < 2) continue;
            const auto text = BlockText(Int16At(bytes, 0), 0);
            if (!text) continue;
            layout_.pageTexts.push_back({key[0], *text});
            TakeBlocks(1);
            ++taken[key[0]];
        }
    }

    void MeasureTexts() {
        std::map<std::pair<int, int>, int> taken;
        for (const auto& [key, bytes] : Of(kTagMeasureTextAssignment)) {
            int& next = taken[{key[0], key[1]}];
            if (key[2] != next || bytes.size() < 2) continue;
            const auto text = BlockText(Int16At(bytes, 0), 0);
            if (!text) continue;
            layout_.measureTexts.push_back({key[0], key[1], *text});
            TakeBlocks(1);
            ++next;
        }
    }

    bool Names(const Bytes& bytes, std::size_t fullAt, std::size_t abbreviatedAt, ScoreLayout::Names* names) {
        if (bytes.size() < abbreviatedAt + 2) return false;
        const auto full = BlockText(Int16At(bytes, fullAt), 0);
        const auto abbreviated = BlockText(Int16At(bytes, abbreviatedAt), 1);
        if (!full || !abbreviated) return false;
        names->full = *full;
        names->abbreviated = *abbreviated;
        TakeBlocks(2);
        return true;
    }

    void Staves() {
        for (const auto& [key, bytes] : Of(kTagStaff)) {
            ScoreLayout::Names staff;
            staff.number = key[0];
            if (key[1] == 0 && Names(bytes, 30, 32, &staff)) layout_.staves.push_back(staff);
        }
    }

    void Groups() {
        for (const auto& [key, bytes] : Of(kTagGroup)) {
            ScoreLayout::Names group;
            group.system = key[0];
            group.number = key[1];
            if (key[2] == 0 && Names(bytes, 4, 22, &group)) layout_.groups.push_back(group);
        }
    }

    void Expressions() {
        for (const auto& [key, bytes] : Of(kTagTextExpression)) {
            if (key[1] != 0 || bytes.size() < 12) continue;
            layout_.expressions.push_back({key[0], TextFrom(bytes, 12), Bytes(bytes.begin(), bytes.begin() + 12)});
        }
    }

    void PairedTexts(std::uint32_t recordTag, std::uint32_t textTag, std::vector<ScoreLayout::NumberedText>& out) {
        for (const auto& [key, bytes] : Of(recordTag)) {
            const Bytes* text = d_.Record(textTag, key);
            if (key[1] == 0 && text) out.push_back({key[0], TextFrom(*text, 0)});
        }
    }

    int Consecutive(std::uint32_t tag) const {
        int n = 0;
        while (n < INT16_MAX && d_.Record(tag, Key{static_cast<std::int16_t>(n + 1), 0, 0})) ++n;
        return n;
    }
};

void ShowTexts(ScoreLayout& layout) {
    for (auto& t : layout.pageTexts) t.text = Shown(t.text);
    for (auto& t : layout.measureTexts) t.text = Shown(t.text);
    for (auto& t : layout.expressions) t.text = Shown(t.text);
    for (auto* names : {&layout.staves, &layout.groups})
        for (auto& n : *names) {
            n.full = Shown(n.full);
            n.abbreviated = Shown(n.abbreviated);
        }
    for (auto* texts : {&layout.textRepeats, &layout.endings, &layout.lyrics[0], &layout.lyrics[1], &layout.lyrics[2]})
        for (auto& t : *texts) t.text = Shown(t.text);
}

bool Covers(const Document& whole, const Document& part) {
    for (const auto& [tag, byKey] : part.AllRecords())
        for (const auto& [key, bytes] : byKey)
            if (!whole.Record(tag, key)) return false;
    return true;
}

std::string Hex32(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

Json RawRecord(std::uint32_t tag, const Key& key, const Bytes& bytes) {
    Json record;
    record["tag"] = TagName(tag);
    Json keyJson = Json::array();
    for (int i = 0; i < Document::KeyFields(tag); ++i) keyJson.push_back(key[static_cast<std::size_t>(i)]);
    record["key"] = keyJson;
    const bool oneZeroAtEnd = !bytes.empty() && std::find(bytes.begin(), bytes.end(), 0) == bytes.end() - 1;
    const std::string text(bytes.begin(), bytes.empty() ? bytes.end() : bytes.end() - 1);
    if (oneZeroAtEnd && IsUtf8(text)) {
        record["text"] = text;
    } else if (!bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; })) {
        record["size"] = bytes.size();
    } else {
        record["hex"] = HexString(bytes);
    }
    return record;
}

Json Entry(const EntryRecord& entry) {
    Json json;
    // Packed fields are copied out: a reference to one would be misaligned.
    json["position"] = static_cast<std::int32_t>(entry.position);
    json["duration"] = static_cast<std::int32_t>(entry.duration);
    json["flagsA"] = Hex32(entry.flagsA, 8);
    json["flagsB"] = Hex32(entry.flagsB, 4);
    int shown = entry.noteCount;
    if (shown < 0 || shown > kMaxNotesPerEntry) {
        // A damaged count: show every note that holds anything.
        static const NoteRecord kEmpty{};
        shown = kMaxNotesPerEntry;
        while (shown > 0 && std::memcmp(&entry.notes[shown - 1], &kEmpty, sizeof kEmpty) == 0) --shown;
    }
    EntryRecord rebuilt{};
    rebuilt.position = entry.position;
    rebuilt.duration = entry.duration;
    rebuilt.flagsA = entry.flagsA;
    rebuilt.flagsB = entry.flagsB;
    rebuilt.noteCount = entry.noteCount;
    Json notes = Json::array();
    for (int n = 0; n < shown; ++n) {
        const NoteRecord& note = entry.notes[n];
        notes.push_back({{"displacement", static_cast<int>(note.displacement)},
                         {"raiseLower", static_cast<int>(note.raiseLower)},
                         {"flags", Hex32(note.flags, 8)}});
        rebuilt.notes[n].displacement = note.displacement;
        rebuilt.notes[n].raiseLower = note.raiseLower;
        rebuilt.notes[n].flags = note.flags;
    }
    json["notes"] = notes;
    if (entry.noteCount != shown) json["noteCount"] = static_cast<int>(entry.noteCount);
    // Bytes the named fields do not cover travel as the whole record.
    if (std::memcmp(&rebuilt, &entry, sizeof entry) != 0) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&entry);
        json["hex"] = HexString(Bytes(bytes, bytes + sizeof entry));
    }
    return json;
}

std::string Compact(const Json& value) {
    if (value.is_object()) {
        std::string out = "{";
        bool first = true;
        for (const auto& [key, item] : value.items()) {
            out += (first ? "" : ", ") + Json(key).dump() + ": " + Compact(item);
            first = false;
        }
        return out + "}";
    }
    if (value.is_array()) {
        std::string out = "[";
        for (std::size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + Compact(value[i]);
        return out + "]";
    }
    return value.dump();
}

// Lists of objects one item a line (a note list stays with its entry);
// everything else as compact as it reads.
std::string Render(const Json& value, int indent, const std::string& name) {
    const std::string pad(static_cast<std::size_t>(indent), ' ');
    const std::string inner(static_cast<std::size_t>(indent + 2), ' ');
    if (value.is_array() && !value.empty() && value[0].is_object() && name != "notes") {
        std::string out = "[\n";
        for (std::size_t i = 0; i < value.size(); ++i)
            out += inner + Render(value[i], indent + 2, "") + (i + 1 < value.size() ? ",\n" : "\n");
        return out + pad + "]";
    }
    if (!value.is_object()) return Compact(value);
    bool nested = name == "$";
    for (const auto& [key, item] : value.items()) nested = nested || (item.is_object() && !item.empty());
    for (const auto& [key, item] : value.items())
        nested = nested || (name == "lyrics" && item.is_array() && !item.empty());
    std::string out = nested ? "{\n" : "{";
    bool first = true;
    for (const auto& [key, item] : value.items()) {
        out += first ? "" : (nested ? ",\n" : ", ");
        out += (nested ? inner : "") + Json(key).dump() + ": " + Render(item, nested ? indent + 2 : indent, key);
        first = false;
    }
    return out + (nested ? "\n" + pad + "}" : "}");
}

}  // namespace

std::string Document::ToJson() const {
    ScoreLayout layout = Recovery(*this).Run();
    // Lay out the texts as they will be read back, so that a text shown
    // differently from its bytes gets its exact bytes as a raw record.
    ShowTexts(layout);
    Document laidOut;
    LayOut(layout, &laidOut);
    if (!Covers(*this, laidOut)) {
        // Cannot happen by the recovery's checks; if it did, raw records alone
        // still give every byte back.
        layout = ScoreLayout{};
        laidOut = Document{};
    }

    Json root;
    root["screen"] = {screenWidth, screenHeight};
    if (layers.present) {
        Json menu;
        menu["toggle"] = layers.toggle;
        menu["visible"] = {layers.visible[0], layers.visible[1], layers.visible[2], layers.visible[3]};
        if (layers.submenuAt != 16) menu["submenuAt"] = layers.submenuAt;
        root["layers"] = menu;
    } else {
        root["menu"] = nullptr;
    }
    root["measures"] = layout.measures;
    root["staffSystems"] = layout.staffSystems;

    auto list = [&root](const char* name, Json items) {
        if (!items.empty()) root[name] = std::move(items);
    };
    Json items = Json::array();
    for (const auto& t : layout.pageTexts) items.push_back({{"page", t.page}, {"text", t.text}});
    list("pageTexts", std::move(items));
    items = Json::array();
    for (const auto& t : layout.measureTexts)
        items.push_back({{"staff", t.staff}, {"measure", t.measure}, {"text", t.text}});
    list("measureTexts", std::move(items));
    items = Json::array();
    for (const auto& e : layout.expressions) {
        Json item = {{"number", e.number}, {"text", e.text}};
        if (std::any_of(e.header.begin(), e.header.end(), [](std::uint8_t b) { return b != 0; }))
            item["header"] = HexString(e.header);
        items.push_back(item);
    }
    list("expressions", std::move(items));
    items = Json::array();
    for (const auto& s : layout.staves)
        items.push_back({{"number", s.number}, {"full", s.full}, {"abbreviated", s.abbreviated}});
    list("staves", std::move(items));
    items = Json::array();
    for (const auto& g : layout.groups)
        items.push_back({{"system", g.system}, {"number", g.number}, {"full", g.full}, {"abbreviated", g.abbreviated}});
    list("groups", std::move(items));
    items = Json::array();
    for (const auto& t : layout.textRepeats) items.push_back({{"number", t.number}, {"text", t.text}});
    list("textRepeats", std::move(items));
    items = Json::array();
    for (const auto& t : layout.endings) items.push_back({{"measure", t.number}, {"text", t.text}});
    list("endings", std::move(items));
    Json lyrics = Json::object();
    const char* kinds[3] = {"verse", "chorus", "section"};
    for (int k = 0; k < 3; ++k) {
        if (layout.lyrics[k].empty()) continue;
        Json texts = Json::array();
        for (const auto& t : layout.lyrics[k]) texts.push_back({{"number", t.number}, {"text", t.text}});
        lyrics[kinds[k]] = texts;
    }
    if (!lyrics.empty()) root["lyrics"] = lyrics;

    items = Json::array();
    for (const auto& [tag, byKey] : records_)
        for (const auto& [key, bytes] : byKey) {
            const Bytes* laid = laidOut.Record(tag, key);
            if (!laid || *laid != bytes) items.push_back(RawRecord(tag, key, bytes));
        }
    list("records", std::move(items));

    items = Json::array();
    for (const auto& [key, entries] : frames_) {
        Json frame = {{"staff", key.staff}, {"measure", key.measure}, {"layer", key.layer}};
        Json list = Json::array();
        for (const EntryRecord& entry : entries) list.push_back(Entry(entry));
        frame["entries"] = list;
        items.push_back(frame);
    }
    if (!items.empty()) root["frames"] = std::move(items);

    return Render(root, 0, "$") + "\n";
}

bool Document::Save(const std::string& path, std::string* error) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file << ToJson();
    if (!file) {
        if (error) *error = path + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace host
