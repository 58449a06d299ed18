// The veldune-host program: its arguments, its refusals, and the two
// commands for people run end to end on the real plug-in module.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/cli/host_main.h"
#include "host/session/script.h"

namespace {

namespace fs = std::filesystem;

constexpr char kDemo[] = R"({
  "measures": 1,
  "pageTexts": [{"page": 0, "text": "Sonata in G"}, {"page": 1, "text": "Sonata, first movement"}],
  "lyrics": {"verse": [{"number": 1, "text": "Glo-ry"}], "chorus": [], "section": []},
  "frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
      {"position": 0, "duration": 1024, "flagsA": "0x44000000", "flagsB": "0x0000",
       "notes": [{"displacement": 0, "raiseLower": 0, "flags": "0x00000000"}]},
      {"position": 1024, "duration": 1024, "flagsA": "0x40000000", "flagsB": "0x0000",
       "notes": [{"displacement": 0, "raiseLower": 0, "flags": "0x00000000"}]}]}]
})";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class HostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("veldune_cli_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        demo_ = Write("demo.json", kDemo);
        hive_ = (dir_ / "registry.reg").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& text) {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs the program in-process on the real module with a scratch hive.
    Outcome Run(std::vector<std::string> args, const std::string& input = "", bool terminal = false) {
        args.insert(args.begin(), "veldune-host");
        args.push_back("--registry");
        args.push_back(hive_);
        args.push_back("--plugin");
        args.push_back(ORVO_MODULE_PATH);
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        session::Console console{&in, &out, &err, terminal};
        Outcome outcome;
        outcome.status = cli::HostMain(static_cast<int>(argv.size()), argv.data(), console);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    fs::path dir_;
    std::string demo_;
    std::string hive_;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(HostProgram, BadArgumentsAndFilesAreRefusedBeforeAnythingRuns) {
    const std::string unknownKey = Write("unknown.json", R"({"staves": [{"number": 1, "ful": "x"}]})");
    const std::string badScript = Write("bad.script", "invoke 1\n\nclick 2\nexpect dialog clozed\n");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string message;  // part of the error output
    };
    const Case cases[] = {
        {"no document", {}, "DOCUMENT is required"},
        {"an option nobody knows", {demo_, "--bogus"}, "--bogus"},
        {"text without --search", {demo_, "text"}, "--search is required"},
        {"entries without --find", {demo_, "entries"}, "--find is required"},
        {"a script and a subcommand",
         {demo_, "--script", badScript, "text", "--search", "x"},
         "--script cannot be combined with the text subcommand"},
        {"a document that is not there", {(dir_ / "none.json").string(), "--script", badScript}, "none.json"},
        // the reader names the JSON path of the unknown key
        {"a document with an unknown key", {unknownKey, "--script", badScript}, "$.staves[0].ful"},
        // the whole script is checked first: line 4 is refused, line 1 never runs
        {"a malformed script line",
         {demo_, "--script", badScript},
         badScript + ":4: expect dialog: expected the dialog's state (open|closed), got \"clozed\""},
        {"a script that is not there", {demo_, "--script", (dir_ / "none.script").string()}, "cannot read the script"},
        {"an unknown element",
         {demo_, "text", "--search", "x", "--elements", "page,verses"},
         "--elements: unknown element \"verses\""},
        {"a search longer than the field", {demo_, "text", "--search", std::string(51, 'a')}, "at most 50"},
        {"an unknown attribute", {demo_, "entries", "--find", "Chrod=on"}, "--find: unknown attribute \"Chrod\""},
        {"an attribute value", {demo_, "entries", "--find", "Chord=yes"}, "Chord takes on, off or any, got \"yes\""},
        {"a numeric field", {demo_, "entries", "--find", "Duration=long"}, "Duration takes a number or off"},
        {"a short region",
         {demo_, "entries", "--find", "Chord=on", "--region", "1,1,0,1,1"},
         "--region: expected six numbers"},
    };
    for (const Case& c : cases) {
        Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.status, 2) << c.what << "\n" << outcome.err;
        EXPECT_TRUE(Contains(outcome.err, c.message)) << c.what << ": got " << outcome.err;
        EXPECT_EQ(outcome.out, "") << c.what;
    }
    EXPECT_FALSE(fs::exists(hive_)) << "nothing may run, so nothing is saved";
}

TEST_F(HostProgram, HelpExplainsItself) {
    Outcome outcome = Run({"--help"});
    EXPECT_EQ(outcome.status, 0);
    for (const char* part : {"Veldune", "--script", "--registry", "--output", "--plugin", "text", "entries",
                             "Exit status", "registry.reg", "VELDUNE_REGISTRY"}) {
        EXPECT_TRUE(Contains(outcome.out, part)) << part;
    }
}

TEST_F(HostProgram, ScriptFailureNamesTheLineAndWritesNothing) {
    const std::string script = Write("s.script", "invoke 1\ntype 101 \"Sonata\"\nclick 1\nexpect text 106 \"x\"\n");
    const std::string output = (dir_ / "out.json").string();
    Outcome outcome = Run({demo_, "--script", script, "--output", output});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, script + ":4: expect text 106: got \"page text block #1 [All pages]\", expected \"x\"\n");
    EXPECT_FALSE(fs::exists(output));

    // The same script read from standard input.
    outcome = Run({demo_, "--script", "-"}, "invoke 1\nclick 2\nexpect result 1\n");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

TEST_F(HostProgram, TextCommandListsRepliesAndReplaces) {
    // Without a terminal and without --all the matches are only listed.
    Outcome listed = Run({demo_, "text", "--search", "Sonata", "--replace", "Suite", "--elements", "page"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(Contains(listed.out,
                         "Match was found in page text block #1 [All pages]\n    Sonata in G\nat position 1\n"
                         "in the score: page text, all pages\nReplace? -> No (give --all to replace)\n"))
        << listed.out;
    EXPECT_TRUE(Contains(listed.out, "Search result:\n2 instance(s) found\n0 instance(s) replaced\n")) << listed.out;

    // --all answers Yes to all and the document is written.
    const std::string output = (dir_ / "out.json").string();
    Outcome all = Run({demo_, "text", "--search", "Sonata", "--replace", "Suite", "--all", "--output", output});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(Contains(all.out, "2 instance(s) found\n2 instance(s) replaced\n")) << all.out;
    EXPECT_TRUE(Contains(Read(output), "Suite in G")) << Read(output);

    // At a terminal each match is asked: yes to the first, quit at the second.
    Outcome asked =
        Run({demo_, "text", "--search", "Sonata", "--replace", "Suite", "--output", output}, "y\nq\n", true);
    EXPECT_EQ(asked.status, 0) << asked.err;
    EXPECT_TRUE(Contains(asked.out, "Replace? [yes/no/all/quit]")) << asked.out;
    EXPECT_TRUE(Contains(asked.out, "Stopped; the replacements made so far are kept.")) << asked.out;
    const std::string written = Read(output);
    EXPECT_TRUE(Contains(written, "Suite in G") && Contains(written, "Sonata, first movement")) << written;
}

TEST_F(HostProgram, TextCommandRefusalsReachTheUser) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string shown;
    };
    const Case cases[] = {
        {"an empty search",
         {demo_, "text", "--search", ""},
         1,
         "Empty search string error: You must enter a search string before starting a search.\n"},
        // lyrics with a length change: not confirmed without --yes
        {"the lyrics warning",
         {demo_, "text", "--search", "ry", "--replace", "ries", "--elements", "lyrics"},
         1,
         "Lyrics Replacement Warning: The search and replace string have different lengths. This may distort the "
         "assigned lyrics. Continue anyway?\nThe plug-in asks because lyrics are searched and the replace text is "
         "not as long as the search text: a changed verse is split back into syllables by their places.\n"
         "-> No (give --yes to go on)\n"},
        {"the lyrics warning confirmed",
         {demo_, "text", "--search", "ry", "--replace", "ries", "--elements", "lyrics", "--yes", "--all"},
         0,
         "-> Yes (--yes)\n"},
    };
    for (const Case& c : cases) {
        Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.status, c.status) << c.what << "\n" << outcome.out << outcome.err;
        EXPECT_TRUE(Contains(outcome.out, c.shown)) << c.what << ": got " << outcome.out;
    }
}

TEST_F(HostProgram, SettingsOfOneRunAreTheNextRunsStart) {
    ASSERT_EQ(Run({demo_, "text", "--search", "Glo", "--case", "--elements", "lyrics,staff"}).status, 0);
    const std::string script = Write("check.script",
                                     "invoke 1\n"
                                     "expect text 101 \"Glo\"\n"
                                     "expect state 102 1\n"
                                     "expect state 108 0\n"
                                     "expect state 111 1\n"
                                     "expect state 115 1\n"
                                     "click 2\n");
    Outcome outcome = Run({demo_, "--script", script});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

TEST_F(HostProgram, EntriesCommandFillsTheCriteriaDialog) {
    const std::string output = (dir_ / "out.json").string();
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string shown;
    };
    const Case cases[] = {
        // chords lose their up/down flag: one entry of two
        {"a harmless change",
         {demo_, "entries", "--find", "Chord=on", "--change", "Up/Down=off"},
         0,
         "Orvo Search/Replace Info: 1 replacement was made.\n"},
        {"OR over the whole region",
         {demo_, "entries", "--find", "Chord=on,Duration=1024", "--or", "--change", "Up/Down=off"},
         0,
         "2 replacements were made.\n"},
        {"a range error",
         {demo_, "entries", "--find", "Duration=0", "--change", "Up/Down=off"},
         1,
         "Range Error: The duration value is out of range.\n"},
        {"nothing to change",
         {demo_, "entries", "--find", "Chord=on"},
         1,
         "No Entries: No replace actions are made.\n"},
        {"a dangerous change without --yes",
         {demo_, "entries", "--find", "Chord=on", "--change", "Chord=off"},
         1,
         "Are you sure?: "},
        {"a dangerous change with --yes",
         {demo_, "entries", "--find", "Chord=on", "--change", "Chord=off", "--yes", "--output", output},
         0,
         "1 replacement was made.\n"},
        // a region that leaves out the second entry
        {"a partial region",
         {demo_, "entries", "--region", "1,1,0,1,1,1024", "--find", "Duration=1024", "--change", "Up/Down=off"},
         0,
         "1 replacement was made.\n"},
    };
    for (const Case& c : cases) {
        Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.status, c.status) << c.what << "\n" << outcome.out << outcome.err;
        EXPECT_TRUE(Contains(outcome.out, c.shown)) << c.what << ": got " << outcome.out;
    }
    const std::string written = Read(output);
    EXPECT_TRUE(Contains(written, "0x40000000") && !Contains(written, "0x44000000"))
        << "the chord flag is off in the written document: " << written;

    // An attribute the replace page does not show is refused with the reason.
    Outcome hidden = Run({demo_, "entries", "--find", "Displacement=0", "--change", "Chord=on"});
    EXPECT_EQ(hidden.status, 1);
    EXPECT_TRUE(Contains(hidden.err, "cannot set --change Chord")) << hidden.err;
}

// The examples the README points at keep working on the demo score.
TEST_F(HostProgram, ExampleScriptsRunOnTheDemoScore) {
    const fs::path examples = fs::path(ORVO_SOURCE_DIR) / "examples";
    const std::string demo = (examples / "demo.json").string();
    int scripts = 0;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".script") continue;
        ++scripts;
        fs::remove(hive_);
        Outcome outcome = Run({demo, "--script", entry.path().string()});
        EXPECT_EQ(outcome.status, 0) << entry.path() << ": " << outcome.err;
    }
    EXPECT_GE(scripts, 2);
    // The README's main job, both commands.
    EXPECT_EQ(Run({demo, "text", "--search", "Allegro", "--replace", "Allegretto", "--all"}).status, 0);
    Outcome entries = Run({demo, "entries", "--find", "Chord=on,Duration=1024", "--change", "Up/Down=off", "--yes"});
    EXPECT_EQ(entries.status, 0) << entries.err;
    EXPECT_TRUE(Contains(entries.out, "replacements were made.")) << entries.out;
}

// The program itself, as a user starts it.
TEST_F(HostProgram, RealProgramRefusesBadInputWithExitStatusTwo) {
    const std::string unknownKey = Write("unknown.json", R"({"measures": 2, "tempo": 90})");
    const std::string badScript = Write("bad.script", "# a script\ninvoke 1\nclik 1\n");
    struct Case {
        const char* what;
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"unknown key", unknownKey + " --script " + badScript, "$.tempo"},
        {"malformed script line", demo_ + " --script " + badScript, badScript + ":3: expected an action"},
    };
    for (const Case& c : cases) {
        const std::string command =
            std::string(ORVO_HOST_PATH) + " " + c.arguments + " --registry " + hive_ + " </dev/null 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.what << ": status " << status;
        EXPECT_TRUE(Contains(output, c.message)) << c.what << ": got " << output;
    }
}

}  // namespace
