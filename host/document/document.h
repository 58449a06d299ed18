// The score document: the host's data records by tag and key, and the note
// entry frames. Semantic sections of the JSON file are laid out into the
// records the plug-in reads; see docs/score-document.md.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shell/host_records.h"

namespace host {

using Key = std::array<std::int16_t, 3>;  // unused trailing fields are 0
using Bytes = std::vector<std::uint8_t>;

// Record tags the host lays out (four bytes in memory order).
constexpr std::uint32_t kTagPageTextAssignment = 0x4F027054;
constexpr std::uint32_t kTagMeasureTextAssignment = 0x64746D74;
constexpr std::uint32_t kTagTextExpression = 0x534F4454;
constexpr std::uint32_t kTagStaff = 0x534F4953;
constexpr std::uint32_t kTagGroup = 0x53444E47;
constexpr std::uint32_t kTagTextRepeat = 0x534F5253;
constexpr std::uint32_t kTagTextRepeatText = 0x6F735254;
constexpr std::uint32_t kTagEndingRepeat = 0x534F4553;
constexpr std::uint32_t kTagEndingRepeatText = 0x6F734554;
constexpr std::uint32_t kTagVerseLyrics = 0x74787665;
constexpr std::uint32_t kTagChorusLyrics = 0x74786368;
constexpr std::uint32_t kTagSectionLyrics = 0x74787365;
constexpr std::uint32_t kTagTextBlock = 0x534F5458;
constexpr std::uint32_t kTagTextBlockText = 0x7478626C;
constexpr std::uint32_t kTagMeasure = 0x534F4D53;
constexpr std::uint32_t kTagStaffSystem = 0x534F5353;

// "lbxt" or "0x7478626C" -> tag; nullopt when neither.
std::optional<std::uint32_t> ParseTag(const std::string& text);
std::string TagName(std::uint32_t tag);  // four printable bytes, else 0x hex

struct LayerMenuSpec {
    bool present = true;  // false: the host window has no menu bar ("menu": null)
    bool toggle = false;
    bool visible[4] = {true, true, true, true};
    int submenuAt = 16;
};

enum class LyricsKind { Verse, Chorus, Section };

struct FrameKey {
    int staff = 0;
    int measure = 0;
    int layer = 0;
    auto operator<=>(const FrameKey&) const = default;
};

class Document {
public:
    // ---- Records ----
    // How many key fields the host reads for a tag (1 for texts by number,
    // 3 for measure text assignments and groups, 2 otherwise).
    static int KeyFields(std::uint32_t tag);
    const Bytes* Record(std::uint32_t tag, const Key& key) const;  // null when absent
    void SetRecord(std::uint32_t tag, const Key& key, Bytes bytes);
    bool EraseRecord(std::uint32_t tag, const Key& key);
    std::optional<Key> NextKey(std::uint32_t tag, const Key& after) const;  // ascending signed order
    std::size_t RecordCount() const;
    // Whole-record text (up to the first zero) for the text-like tags.
    std::optional<std::string> RecordText(std::uint32_t tag, const Key& key) const;

    // ---- Semantic builders (the host allocates text blocks and numbers) ----
    // Text block ids and text numbers each come from their own counter, from
    // 1 upward, one of each per text block; an index is the first free one.
    // Both are 16-bit keys: 1 to 32767, then -32768 to -1 (the host counts
    // on as unsigned numbers), never 0. Past kMaxTextBlocks a text gets no
    // block (its record names block 0, which does not exist) rather than
    // another text's number; TextBlocksFull() says so.
    void AddPageText(int page, const std::string& text);
    void AddMeasureText(int staff, int measure, const std::string& text);
    void AddExpression(int number, const std::string& text);
    // header: the record's first 12 bytes (shorter is padded with zeros).
    void AddExpression(int number, const std::string& text, const Bytes& header);
    void AddStaff(int number, const std::string& full, const std::string& abbreviated);
    void AddGroup(int system, int number, const std::string& full, const std::string& abbreviated);
    void AddTextRepeat(int number, const std::string& text);
    void AddEnding(int measure, const std::string& text);
    void AddLyrics(LyricsKind kind, int number, const std::string& text);
    void SetMeasureCount(int measures);          // measure records 1..n
    void SetStaffSystemCount(int staffSystems);  // staff system records 1..n
    static constexpr int kMaxTextBlocks = 65535;
    bool TextBlocksFull() const { return nextBlockId_ > kMaxTextBlocks; }

    // ---- Frames ----
    std::vector<EntryRecord>* Frame(const FrameKey& key);  // null when absent
    void SetFrame(const FrameKey& key, std::vector<EntryRecord> entries);
    const std::map<FrameKey, std::vector<EntryRecord>>& Frames() const;

    // ---- Host window and screen ----
    int screenWidth = 1024;
    int screenHeight = 768;
    LayerMenuSpec layers;

    // ---- JSON ----
    // Errors name the file's JSON path ("$.staves[2].full: expected a string").
    static bool FromJson(const std::string& text, Document* out, std::string* error);
    static bool Load(const std::string& path, Document* out, std::string* error);
    std::string ToJson() const;
    bool Save(const std::string& path, std::string* error) const;

    // Every record of a tag, in ascending key order.
    const std::map<Key, Bytes>* RecordsOf(std::uint32_t tag) const;
    const std::map<std::uint32_t, std::map<Key, Bytes>>& AllRecords() const;

private:
    std::map<std::uint32_t, std::map<Key, Bytes>> records_;
    std::map<FrameKey, std::vector<EntryRecord>> frames_;
    int nextBlockId_ = 1;
    int nextTextNumber_ = 1;

    std::int16_t AddTextBlock(const std::string& text);  // returns the block id
};

}  // namespace host
