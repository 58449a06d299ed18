// veldune-host on MuseScore files: both forms chosen by content, outputs in
// the input's form, in place with the original kept, dry runs and batches.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/cli/host_main.h"
#include "host_program.h"

namespace {

namespace fs = std::filesystem;

using testing_host::Contains;
using testing_host::Outcome;

class MuseScoreProgram : public testing_host::HostProgramTest {
protected:
    MuseScoreProgram() : HostProgramTest("veldune_mscx_") {}
    void SetUp() override {
        HostProgramTest::SetUp();
        original_ = Read(std::string(ORVO_SOURCE_DIR) + "/tests/musescore/files/all_kinds.mscx");
        // Named as nothing in particular: the content decides.
        score_ = Write("score.txt", original_);
    }

    std::string original_;
    std::string score_;
};

TEST_F(MuseScoreProgram, ASearchThatChangesNothingWritesTheFileAgain) {
    Outcome outcome = Run({score_, "--output", In("out.mscx"), "text", "--search", "e", "--elements", "all"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(Contains(outcome.out, "instance(s) found")) << outcome.out;
    EXPECT_TRUE(Read(In("out.mscx")) == original_);
}

TEST_F(MuseScoreProgram, ReplacementsAcrossEveryKindReachTheFileAndItsExcerpt) {
    Outcome outcome = Run({score_, "--output", In("out.mscx"), "text", "--search", "o", "--replace", "O", "--elements",
                           "all", "--all", "--case", "--yes"});
    ASSERT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    const std::string out = Read(In("out.mscx"));
    for (const char* part : {"<b>Kleine</b> Suite", "= 120 AllegrO", "dOlce <i>sempre</i>", "D.S. al COda",
                             "<text>TO COda</text>", "<text>GlO</text>", "<text>tO</text>", "<text>GOd</text>"})
        EXPECT_TRUE(Contains(out, part)) << part;
    // The excerpt's copies too: every "dolce" and "Allegro" is changed.
    EXPECT_FALSE(Contains(out, "dolce")) << out;
    EXPECT_FALSE(Contains(out, "Allegro<")) << out;
}

TEST_F(MuseScoreProgram, WritingInPlaceKeepsTheOriginalAndADryRunWritesNothing) {
    Outcome dry = Run({score_, "--in-place", "--dry-run", "text", "--search", "Fl", "--replace", "Pic", "--elements",
                       "staff", "--all"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_TRUE(Contains(dry.out, "\"Flöte\" -> \"Picöte\"")) << dry.out;
    EXPECT_TRUE(Contains(dry.out, "dry run: nothing was written")) << dry.out;
    EXPECT_TRUE(Read(score_) == original_);
    EXPECT_FALSE(fs::exists(score_ + ".orig"));

    Outcome outcome =
        Run({score_, "--in-place", "text", "--search", "Fl", "--replace", "Pic", "--elements", "staff", "--all"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(Contains(Read(score_), "<shortName>Pic.</shortName>"));
    EXPECT_TRUE(Read(score_ + ".orig") == original_);
}

TEST_F(MuseScoreProgram, ABatchGoesOnPastAnOldFile) {
    std::string old = original_;
    old.replace(old.find("version=\"3.02\""), 14, "version=\"2.06\"");
    const std::string oldScore = Write("old.mscx", old);
    Outcome outcome = Run({score_, oldScore, "--output-dir", In("out"), "text", "--search", "Kl", "--replace", "Gr",
                           "--elements", "staff", "--all"});
    EXPECT_EQ(outcome.status, 2) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "old.mscx: a MuseScore 2 score (format 2.06)")) << outcome.err;
    EXPECT_TRUE(Contains(Read(In("out/score.txt")), "<longName>Gravier</longName>"));
    EXPECT_FALSE(fs::exists(In("out/old.mscx")));
}

}  // namespace
