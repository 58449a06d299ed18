// veldune-host against hostile batches and files: no input is written but
// in place, results never collide, files keep their modes, links are
// written through, interrupted writes leave nothing behind, and the counts
// say what the file holds.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/cli/host_main.h"
#include "host_program.h"
#include "host/scores/score_file.h"

namespace {

namespace fs = std::filesystem;

using testing_host::Contains;
using testing_host::Outcome;

std::string Score(const std::string& title, const std::string& lyric = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\"><credit page=\"1\">"
           "<credit-words>" +
           title +
           "</credit-words></credit><part-list><score-part id=\"P1\"><part-name>Flute</part-name></score-part>"
           "</part-list><part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions></attributes>"
           "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration>" +
           (lyric.empty() ? std::string() : "<lyric><text>" + lyric + "</text></lyric>") +
           "</note></measure></part></score-partwise>\n";
}

class HostileProgram : public testing_host::HostProgramTest {
protected:
    HostileProgram() : HostProgramTest("veldune_hostile_") {}

    static fs::perms Mode(const std::string& path) { return fs::status(path).permissions() & fs::perms::mask; }

    Outcome Replace(std::vector<std::string> files, bool yes = false) {
        for (const char* arg : {"text", "--search", "Kleine", "--replace", "Grosse", "--elements", "all", "--all"})
            files.push_back(arg);
        if (yes) files.push_back("--yes");
        return Run(files);
    }
};

TEST_F(HostileProgram, OutputDirResultsNeverLandOnAnInputOrOnEachOther) {
    const std::string first = Write("a/t.musicxml", Score("Kleine Suite"));
    const std::string second = Write("out/t.musicxml", Score("Kleine Welt"));
    Outcome onInput = Replace({first, second, "--output-dir", In("out")});
    EXPECT_EQ(onInput.status, 2);
    EXPECT_TRUE(Contains(onInput.err, "would be written over the document")) << onInput.err;
    EXPECT_EQ(Read(second), Score("Kleine Welt"));

    const std::string same1 = Write("a/s.musicxml", Score("Kleine Suite"));
    const std::string same2 = Write("b/s.musicxml", Score("Kleine Welt"));
    Outcome clash = Replace({same1, same2, "--output-dir", In("c")});
    EXPECT_EQ(clash.status, 2);
    EXPECT_TRUE(Contains(clash.err, "would both be written to")) << clash.err;
    EXPECT_FALSE(fs::exists(In("c/s.musicxml")));

    // The same file under two names would be changed twice.
    Outcome twice = Replace({same1, In("a/../a/s.musicxml"), "--in-place"});
    EXPECT_EQ(twice.status, 2);
    EXPECT_TRUE(Contains(twice.err, "are the same file")) << twice.err;
    EXPECT_EQ(Read(same1), Score("Kleine Suite"));
    EXPECT_FALSE(fs::exists(same1 + ".orig"));
}

TEST_F(HostileProgram, WritesKeepTheFileModes) {
    const std::string score = Write("private.musicxml", Score("Kleine Suite"));
    fs::permissions(score, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Replace({score, "--in-place"}).status, 0);
    EXPECT_TRUE(Contains(Read(score), "Grosse Suite"));
    EXPECT_EQ(Mode(score), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Mode(score + ".orig"), fs::perms::owner_read | fs::perms::owner_write);

    const std::string target = Write("kept.musicxml", "old");
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(target, readOnly);
    const std::string input = Write("in.musicxml", Score("Kleine Suite"));
    ASSERT_EQ(Replace({input, "--output", target}).status, 0);
    EXPECT_TRUE(Contains(Read(target), "Grosse Suite"));
    EXPECT_EQ(Mode(target), readOnly);
}

TEST_F(HostileProgram, InPlaceWritesTheFileALinkPointsTo) {
    const std::string real = Write("real/score.musicxml", Score("Kleine Suite"));
    const std::string link = In("link.musicxml");
    fs::create_symlink(real, link);
    Outcome outcome = Replace({link, "--in-place"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "is a link; writing the file it points to")) << outcome.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(Contains(Read(real), "Grosse Suite"));
    EXPECT_EQ(Read(real + ".orig"), Score("Kleine Suite"));
}

TEST_F(HostileProgram, AnOriginalThatCannotBeKeptStopsTheRunFirst) {
    const std::string score = Write("score.musicxml", Score("Kleine Suite"));
    fs::create_directories(score + ".orig");
    Outcome outcome = Replace({score, "--in-place"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(Contains(outcome.err, ".orig: is there and is not a file")) << outcome.err;
    EXPECT_EQ(Read(score), Score("Kleine Suite"));
}

TEST_F(HostileProgram, AChangeWithheldWithAWarningIsNotCountedAsReplaced) {
    // A verse of two syllables, "Kleine" and "Suite": a change across them
    // that drops the space between cannot go back onto the notes and is
    // withheld; the credit's is written.
    std::string file = Score("Kleine Suite", "Kleine");
    const std::string second =
        "<note><pitch><step>D</step><octave>4</octave></pitch><duration>1</duration>"
        "<lyric><text>Suite</text></lyric></note>";
    file.insert(file.find("</measure>"), second);
    const std::string score = Write("score.musicxml", file);
    const std::string other = Write("other.musicxml", Score("Suite"));
    Outcome outcome = Run({score, other, "--output-dir", In("out"), "text", "--search", "e S", "--replace", "e_S",
                           "--elements", "all", "--all", "--yes"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "is not written back")) << outcome.err;
    EXPECT_TRUE(Contains(outcome.out, "1 of the changes counted above is not written")) << outcome.out;
    const std::size_t row = outcome.out.rfind(score + "  ");
    ASSERT_NE(row, std::string::npos) << outcome.out;
    std::istringstream cells(outcome.out.substr(row + score.size()));
    std::string found, replaced, warnings, result;
    cells >> found >> replaced >> warnings >> result;
    EXPECT_EQ(found + " " + replaced + " " + warnings + " " + result, "2 1 1 ok,") << outcome.out;
    EXPECT_TRUE(Contains(Read(In("out/score.musicxml")), "Kleine_Suite"));
    // The change list says what the file holds, and apart what it does not.
    const std::size_t changed = outcome.out.find("Changed:\n");
    const std::size_t withheld = outcome.out.find("Changed in the run, not written (see the warnings):\n  verse #1");
    ASSERT_NE(changed, std::string::npos) << outcome.out;
    ASSERT_NE(withheld, std::string::npos) << outcome.out;
    const std::string written = outcome.out.substr(changed, withheld - changed);
    EXPECT_TRUE(Contains(written, "\"Kleine Suite\" -> \"Kleine_Suite\"")) << outcome.out;
    EXPECT_FALSE(Contains(written, "verse #1")) << outcome.out;
    EXPECT_TRUE(Contains(outcome.out, "1 text changed\n")) << outcome.out;
}

// ---- Interrupted writes leave no temporary file ----

std::vector<fs::path> Temporaries(const fs::path& dir) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir))
        if (Contains(entry.path().filename().string(), ".tmp-")) found.push_back(entry.path());
    return found;
}

TEST_F(HostileProgram, AFileSizeLimitFailsTheWriteAndLeavesNoTemporaryFile) {
    const std::string target = In("big.musicxml");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string block(1 << 20, 'x');
        host::Pieces pieces;
        for (int i = 0; i < 4; ++i) pieces.Add(block);
        std::string error;
        _exit(scores::WriteFileAtomically(target, pieces, &error) ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "stopped by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_TRUE(Temporaries(dir_).empty());
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(HostileProgram, SigtermDuringAWriteLeavesNoTemporaryFile) {
    for (const int signal : {SIGTERM, SIGINT}) {
        const std::string target = In("big.musicxml");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string block(1 << 20, 'x');
            host::Pieces pieces;
            for (int i = 0; i < 4096; ++i) pieces.Add(block);  // 4 GiB: still writing when the signal comes
            std::string error;
            scores::WriteFileAtomically(target, pieces, &error);
            _exit(0);
        }
        // Stopped once its temporary file is there.
        for (int i = 0; i < 2000 && Temporaries(dir_).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        EXPECT_TRUE(Temporaries(dir_).empty());
        EXPECT_FALSE(fs::exists(target));
    }
}

}  // namespace
