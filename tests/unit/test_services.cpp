// The data services as the plug-in calls them: records by tag and key,
// frames on loan, the mass edit bracket, and the failures a test plans.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "shell/host_services.h"

namespace {

using host::Bytes;
using host::Document;
using host::Key;

constexpr std::uint8_t kSentinel = 0xBD;

class Services : public ::testing::Test {
protected:
    Document doc;
    void SetUp() override {
        host::ResetServices();
        host::AttachDocument(&doc);
    }
    void TearDown() override {
        host::ResetServices();
        host::AttachDocument(nullptr);
    }
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& line : lines) s += line + "\n";
    return s;
}

// ---- Records ---------------------------------------------------------------

struct LoadCase {
    const char* what;
    std::int16_t number;  // of the text block text
    bool buffer;          // null buffer: a probe
    std::uint32_t capacity;
    std::int16_t result;
    std::uint32_t size;  // afterwards
    std::size_t copied;  // bytes of the record in the buffer, then sentinels
};

TEST_F(Services, LoadEDataProbesCopiesAndReportsTheFullSize) {
    doc.SetRecord(host::kTagTextBlockText, Key{5, 0, 0}, Bytes{'H', 'e', 'l', 'l', 'o', 0});
    const LoadCase cases[] = {
        {"probe: size only", 5, false, 0, 1, 6, 0},
        {"probe with a capacity still copies nothing", 5, false, 64, 1, 6, 0},
        {"room to spare", 5, true, 64, 1, 6, 6},
        {"exactly the size", 5, true, 6, 1, 6, 6},
        {"short buffer: only the capacity is written, size says 6", 5, true, 3, 1, 6, 3},
        {"capacity 0 with a buffer", 5, true, 0, 1, 6, 0},
        {"absent: size becomes 0, nothing written", 6, true, 64, 0, 0, 0},
        {"absent probe", 6, false, 64, 0, 0, 0},
    };
    for (const LoadCase& c : cases) {
        std::uint8_t buffer[64];
        std::memset(buffer, kSentinel, sizeof buffer);
        std::int16_t key[3] = {c.number, 0, 0};
        std::uint32_t size = c.capacity;
        EXPECT_EQ(HS_LoadEData(host::kTagTextBlockText, key, c.buffer ? buffer : nullptr, &size), c.result) << c.what;
        EXPECT_EQ(size, c.size) << c.what;
        for (std::size_t i = 0; i < sizeof buffer; ++i) {
            const std::uint8_t expected = i < c.copied ? static_cast<std::uint8_t>("Hello"[i]) : kSentinel;
            ASSERT_EQ(buffer[i], expected) << c.what << ": byte " << i;
        }
    }
}

TEST_F(Services, KeysAreReadOnlyAsFarAsTheTagHasFields) {
    doc.SetRecord(host::kTagTextBlockText, Key{5, 0, 0}, Bytes{'x', 0});
    doc.SetRecord(host::kTagStaff, Key{2, 0, 0}, Bytes(36, 0));
    doc.SetRecord(host::kTagGroup, Key{0, 1, 0}, Bytes(30, 0));
    struct {
        const char* what;
        std::uint32_t tag;
        std::int16_t key[3];
        std::int16_t result;
    } const cases[] = {
        {"lbxt reads one field: stale fields after it do not matter", host::kTagTextBlockText, {5, 9, 9}, 1},
        {"a staff reads two fields: the third does not matter", host::kTagStaff, {2, 0, 9}, 1},
        {"the second field of a staff does", host::kTagStaff, {2, 1, 0}, 0},
        {"a group reads all three", host::kTagGroup, {0, 1, 9}, 0},
        {"a group with its key", host::kTagGroup, {0, 1, 0}, 1},
    };
    for (const auto& c : cases) {
        std::int16_t key[3] = {c.key[0], c.key[1], c.key[2]};
        std::uint32_t size = 0;
        EXPECT_EQ(HS_LoadEData(c.tag, key, nullptr, &size), c.result) << c.what;
    }
    // A lone 16-bit key is all the host may touch for lbxt.
    std::int16_t lone = 5;
    std::uint32_t size = 0;
    EXPECT_EQ(HS_LoadEData(host::kTagTextBlockText, &lone, nullptr, &size), 1);
}

TEST_F(Services, SaveEDataStoresExactlyTheBytesAndLogs) {
    std::int16_t key[3] = {5, 7, 7};  // trailing fields are not the tag's: logged as 0
    const std::uint8_t text[] = {'A', 'b', 0, 'z'};
    EXPECT_EQ(HS_SaveEData(host::kTagTextBlockText, key, text, sizeof text), 1);
    EXPECT_EQ(*doc.Record(host::kTagTextBlockText, Key{5, 0, 0}), Bytes(text, text + 4));
    std::int16_t groupKey[3] = {0, 2, 0};
    EXPECT_EQ(HS_SaveEData(host::kTagGroup, groupKey, text, 0), 1);  // an empty record is a record
    EXPECT_EQ(doc.Record(host::kTagGroup, Key{0, 2, 0})->size(), 0u);
    EXPECT_EQ(Joined(host::ServiceLog()), "savedata lbxt 5 0 0 4\nsavedata GNDS 0 2 0 0\n");
}

TEST_F(Services, RefusedWritesStoreNothing) {
    doc.SetRecord(host::kTagTextBlockText, Key{5, 0, 0}, Bytes{'o', 'l', 'd', 0});
    host::RefuseRecordWrites(true);
    std::int16_t key = 5;
    const std::uint8_t text[] = {'n', 'e', 'w', 0};
    EXPECT_EQ(HS_SaveEData(host::kTagTextBlockText, &key, text, sizeof text), 0);
    key = 6;
    EXPECT_EQ(HS_SaveEData(host::kTagTextBlockText, &key, text, sizeof text), 0);
    EXPECT_EQ(doc.RecordText(host::kTagTextBlockText, Key{5, 0, 0}), "old");
    EXPECT_EQ(doc.RecordCount(), 1u);
    host::RefuseRecordWrites(false);
    EXPECT_EQ(HS_SaveEData(host::kTagTextBlockText, &key, text, sizeof text), 1);
    EXPECT_EQ(doc.RecordCount(), 2u);
}

TEST_F(Services, NextEDataWalksInSignedKeyOrderAndWritesTheKeyBack) {
    const Key keys[] = {{1, 0, 0}, {0, 1, 0}, {-1, 3, 0}, {0, 0, 0}};
    for (const Key& k : keys) {
        Bytes record(24, 0);
        record[0] = static_cast<std::uint8_t>(10 + k[0]);
        record[1] = static_cast<std::uint8_t>(k[1]);
        doc.SetRecord(host::kTagPageTextAssignment, k, record);
    }
    // From (0, 0) on, as the page text walk starts: (0, 0) itself is not "next".
    std::int16_t key[3] = {0, 0, 0x5555};
    struct {
        std::int16_t page, index;
    } const expected[] = {{0, 1}, {1, 0}};
    for (const auto& e : expected) {
        std::uint8_t area[24];
        std::memset(area, kSentinel, sizeof area);
        ASSERT_EQ(HS_NextEData(host::kTagPageTextAssignment, key, area, 24), 1);
        EXPECT_EQ(key[0], e.page);
        EXPECT_EQ(key[1], e.index);
        EXPECT_EQ(key[2], 0x5555) << "a two-field tag must leave the third field alone";
        EXPECT_EQ(area[0], 10 + e.page);
        EXPECT_EQ(area[1], e.index);
    }
    std::uint8_t area[24];
    EXPECT_EQ(HS_NextEData(host::kTagPageTextAssignment, key, area, 24), 0);
    EXPECT_EQ(key[0], 1);  // unchanged at the end

    // Negative keys come first; a short buffer gets only its size.
    std::int16_t low[3] = {INT16_MIN, 0, 0};
    std::uint8_t small[4];
    std::memset(small, kSentinel, sizeof small);
    ASSERT_EQ(HS_NextEData(host::kTagPageTextAssignment, low, small, 2), 1);
    EXPECT_EQ(low[0], -1);
    EXPECT_EQ(low[1], 3);
    EXPECT_EQ(small[0], 9);
    EXPECT_EQ(small[2], kSentinel);
}

// ---- Frames ----------------------------------------------------------------

EntryRecord Entry(std::int32_t position, std::uint32_t flagsA) {
    EntryRecord e{};
    e.position = position;
    e.duration = 1024;
    e.flagsA = flagsA;
    return e;
}

TEST_F(Services, FramesAreLentCopiedBackAndReleased) {
    doc.SetFrame({1, 2, 0}, {Entry(0, 0x40000000), Entry(1024, 0x44000000)});
    TgfFrame* frame = HS_LoadTGF(0, 1, 2, 0, 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(host::LiveFrames(), 1);
    EXPECT_EQ(frame->count, 2);
    const std::uint8_t zeros[14] = {};
    EXPECT_EQ(std::memcmp(frame->head, zeros, sizeof zeros), 0);
    EXPECT_EQ(+frame->entries[1].position, 1024);

    // A loan is a copy: the document changes only on save.
    frame->entries[1].flagsA = 0x44000001;
    EXPECT_EQ(+(*doc.Frame({1, 2, 0}))[1].flagsA, 0x44000000u);
    EXPECT_EQ(HS_SaveTGF(frame), 1);
    EXPECT_EQ(+(*doc.Frame({1, 2, 0}))[1].flagsA, 0x44000001u);
    EXPECT_EQ(HS_FreeTGF(frame), 1);
    EXPECT_EQ(host::LiveFrames(), 0);
    EXPECT_EQ(Joined(host::ServiceLog()), "load 1 2 0\nsave 1 2 0\nfree 1 2 0\n");

    // A run that reads no log turns it off; the next run has it again.
    host::KeepServiceLog(false);
    EXPECT_EQ(HS_FreeTGF(HS_LoadTGF(0, 1, 2, 0, 0)), 1);
    EXPECT_EQ(Joined(host::ServiceLog()), "load 1 2 0\nsave 1 2 0\nfree 1 2 0\n");
    host::ResetServices();
    EXPECT_EQ(HS_FreeTGF(HS_LoadTGF(0, 1, 2, 0, 0)), 1);
    EXPECT_EQ(Joined(host::ServiceLog()), "load 1 2 0\nfree 1 2 0\n");
}

TEST_F(Services, FramesThatCannotBeLoaded) {
    doc.SetFrame({1, 1, 0}, {Entry(0, 0)});
    doc.SetFrame({1, 1, 1}, {Entry(0, 0)});
    doc.SetFrame({1, 1, 2}, {});
    host::FailFrameLoad({1, 1, 1});
    EXPECT_EQ(HS_LoadTGF(0, 1, 1, 3, 0), nullptr);  // no such frame
    EXPECT_EQ(HS_LoadTGF(0, 1, 1, 1, 0), nullptr);  // planned failure
    EXPECT_EQ(HS_LoadTGF(0, 1, 1, 1, 0), nullptr);  // and it stays planned
    EXPECT_EQ(host::LiveFrames(), 0);
    TgfFrame* empty = HS_LoadTGF(0, 1, 1, 2, 0);  // an empty frame is still a frame
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count, 0);
    EXPECT_EQ(HS_FreeTGF(empty), 1);
    EXPECT_EQ(Joined(host::ServiceLog()), "load 1 1 3\nload 1 1 1\nload 1 1 1\nload 1 1 2\nfree 1 1 2\n");
}

TEST_F(Services, UnknownFramesAreRefusedWithoutACrash) {
    doc.SetFrame({1, 1, 0}, {Entry(0, 0)});
    TgfFrame stranger{};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(HS_SaveTGF(&stranger), 0);
    EXPECT_EQ(HS_FreeTGF(&stranger), 0);
    EXPECT_EQ(HS_FreeTGF(nullptr), 0);
    TgfFrame* frame = HS_LoadTGF(0, 1, 1, 0, 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(HS_FreeTGF(frame), 1);
    EXPECT_EQ(HS_FreeTGF(frame), 0);  // freed twice
    const std::string complaints = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(complaints.find("HS_FreeTGF of a frame the host did not lend"), std::string::npos) << complaints;
    EXPECT_EQ(host::LiveFrames(), 0);
}

TEST_F(Services, SaveUsesTheLentEntriesEvenIfThePlugInChangesTheFrame) {
    doc.SetFrame({1, 1, 0}, {Entry(0, 1), Entry(512, 2)});
    TgfFrame* frame = HS_LoadTGF(0, 1, 1, 0, 0);
    ASSERT_NE(frame, nullptr);
    frame->entries[0].flagsA = 7;
    frame->count = 30000;  // a damaged count must not make the host read past the entries
    EXPECT_EQ(HS_SaveTGF(frame), 1);
    ASSERT_EQ(doc.Frame({1, 1, 0})->size(), 2u);
    EXPECT_EQ(+(*doc.Frame({1, 1, 0}))[0].flagsA, 7u);
    EXPECT_EQ(HS_FreeTGF(frame), 1);
}

TEST_F(Services, ResetReleasesFramesStillOnLoan) {
    doc.SetFrame({1, 1, 0}, {Entry(0, 0)});
    ASSERT_NE(HS_LoadTGF(0, 1, 1, 0, 0), nullptr);
    EXPECT_EQ(host::LiveFrames(), 1);
    host::ResetServices();
    EXPECT_EQ(host::LiveFrames(), 0);
    EXPECT_TRUE(host::ServiceLog().empty());
}

// ---- Mass edit --------------------------------------------------------------

TEST_F(Services, ProgressAnswersStopOnThePlannedCall) {
    RegionRecord region{};
    const std::uint32_t handle = HS_StartMassEdit(&region, 0);
    EXPECT_NE(handle, 0u);
    host::CancelAtProgress(3);
    const std::int16_t expected[] = {1, 1, 0, 1};
    for (int call = 0; call < 4; ++call)
        EXPECT_EQ(HS_MassEditProgress(handle, 4, 1, static_cast<std::int16_t>(call + 1), -1), expected[call])
            << "call " << call + 1;
    EXPECT_EQ(host::ProgressCalls(), 4);
    EXPECT_EQ(HS_EndMassEdit(handle, 1), 1);
    EXPECT_EQ(Joined(host::ServiceLog()), "start\nprogress 1 1\nprogress 1 2\nprogress 1 3\nprogress 1 4\nend 1\n");

    // Counted from the call of the plan on, and 0 means never.
    host::CancelAtProgress(1);
    EXPECT_EQ(HS_MassEditProgress(HS_StartMassEdit(&region, 0), 4, 1, 1, -1), 0);
    host::CancelAtProgress(0);
    EXPECT_EQ(HS_MassEditProgress(handle, 4, 1, 1, -1), 1);
}

// ---- No document ------------------------------------------------------------

TEST_F(Services, WithoutADocumentEveryDataCallFails) {
    doc.SetRecord(host::kTagTextBlockText, Key{1, 0, 0}, Bytes{'x', 0});
    doc.SetFrame({1, 1, 0}, {Entry(0, 0)});
    host::AttachDocument(nullptr);
    std::int16_t key[3] = {1, 0, 0};
    std::uint32_t size = 99;
    std::uint8_t buffer[8];
    EXPECT_EQ(HS_LoadEData(host::kTagTextBlockText, key, buffer, &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(HS_SaveEData(host::kTagTextBlockText, key, "y", 2), 0);
    key[0] = 0;
    EXPECT_EQ(HS_NextEData(host::kTagTextBlockText, key, buffer, 8), 0);
    EXPECT_EQ(HS_LoadTGF(0, 1, 1, 0, 0), nullptr);
    RegionRecord region{};
    EXPECT_EQ(HS_StartMassEdit(&region, 0), 0u);
    EXPECT_EQ(HS_MassEditProgress(0, 4, 1, 1, -1), 0);
    EXPECT_EQ(HS_EndMassEdit(0, 0), 0);
    EXPECT_EQ(host::LiveFrames(), 0);
    EXPECT_EQ(doc.RecordText(host::kTagTextBlockText, Key{1, 0, 0}), "x");
}

}  // namespace
