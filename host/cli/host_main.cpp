#include "host/cli/host_main.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "host/cli/arguments.h"
#include "host/cli/outputs.h"
#include "host/cli/platform.h"
#include "host/cli/results.h"
#include "host/document/document.h"
#include "host/scores/score_file.h"
#include "host/session/plugin_module.h"
#include "host/session/runner.h"
#include "host/session/script.h"
#include "host/session/world.h"
#include "host/users/dry_run.h"
#include "host/users/entries_command.h"
#include "host/users/text_command.h"
#if ORVO_HAVE_MONKEY
#include "host/users/monkey/player.h"
#endif
#include "host/services/services.h"
#include "host/sim/resource_script.h"
#include "host/sim/sim.h"
#include "shell/settings.h"

namespace cli {

namespace {

const char kDescription[] =
    "veldune-host stands in for the Veldune notation program. It loads the Orvo Search/Replace plug-in,\n"
    "serves it the score DOCUMENT (a JSON score document, a MusicXML score: .musicxml, .xml or compressed\n"
    ".mxl, or a MuseScore 3 or 4 score: .mscx or compressed .mscz, told apart by content) and shows the plug-in's "
    "dialogs to a session script, to you at the\n"
    "terminal, or to one of the subcommands below. Several documents get the same run one after another.";

const char kFooter[] =
    "Ways to run:\n"
    "  veldune-host DOCUMENT --script FILE     run a session script (- reads it from standard input)\n"
    "  veldune-host DOCUMENT                   at a terminal: a menu of the two commands, then the plug-in's\n"
    "                                          dialogs drawn on the screen, worked with the keys (F1: help)\n"
    "                                          and the mouse; otherwise the script is read from standard input\n"
    "  veldune-host DOCUMENT --script -        at a terminal: type the actions yourself ('help' lists them)\n"
    "  veldune-host DOCUMENT text ...          search (and replace) texts; see 'veldune-host x text --help'\n"
    "  veldune-host DOCUMENT entries ...       search and change note entries; see 'veldune-host x entries --help'\n"
    "  veldune-host A.mxl B.musicxml --output-dir DIR text ...   the same run on each file, a summary at the end\n"
    "  veldune-host DOCUMENT --monkey SEED     a random user session from SEED, printed as a script that\n"
    "                                          replays it through --script\n"
    "\n"
    "Writing: --output FILE (one document), --output-dir DIR (each document under its own name) or --in-place\n"
    "(over the document itself, keeping the first original as DOCUMENT.orig). A MusicXML score is written as\n"
    "MusicXML (an .mxl stays compressed), a MuseScore score as MuseScore (an .mscz stays compressed, its\n"
    "excerpts kept in step), with only the changed texts replaced, byte for byte as read otherwise;\n"
    "an output name ending in .json writes the score document instead. Outputs are written to a temporary file\n"
    "and renamed into place when complete, so a failed write leaves the old file as it was.\n"
    "\n"
    "Exit status: 0 success; 1 a script expectation failed, or the plug-in refused the request or a\n"
    "question was not confirmed; 2 bad arguments, an unreadable or malformed document or script, a\n"
    "settings file or plug-in that cannot be loaded, or an output file that cannot be written; 130 Ctrl+C\n"
    "at the terminal (nothing is written).\n"
    "A document is written only after a successful run. With several documents the status is the worst one,\n"
    "and one bad document does not stop the others.\n"
    "\n"
    "Settings: the plug-in keeps its settings in the registry, here a .reg text file: --registry FILE,\n"
    "else $VELDUNE_REGISTRY, else $XDG_CONFIG_HOME/veldune-host/registry.reg (~/.config/veldune-host/\n"
    "registry.reg when XDG_CONFIG_HOME is not set). They are read when the plug-in starts and written\n"
    "when it ends.\n"
    "Plug-in: --plugin PATH, else OrvoSearchReplace.so next to this program.\n"
    "Formats: docs/score-document.md, docs/musicxml.md, docs/musescore.md and docs/session-script.md.";

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

// A random session from the seed, printed as the script that replays it.
// The settings start from the defaults (the script's first lines see to
// that), and the hive is the --registry file or none at all, so that the
// person's own settings are left alone.
int RunMonkey(const session::PluginModule& module, HWND hostWindow, const host::Document& document,
              const std::string& path, const Arguments& args, session::Console& console) {
#if ORVO_HAVE_MONKEY
    users::monkey::SeededChoices choices(args.monkeySeed);
    users::monkey::Options options;
    options.actions = args.monkeyActions;
    options.fromDefaults = true;
    users::monkey::Player session(choices, document, options);
    session::Runner runner(module, hostWindow);
    const bool ran = runner.Run(session, "monkey");
    session.checker().End();
    std::ostream& out = *console.out;
    out << "# veldune-host " << path << " --monkey " << args.monkeySeed << " --actions " << args.monkeyActions << "\n"
        << session.Script();
    int status = 0;
    if (!ran) {
        out << "# FAILED: " << runner.Failure() << "\n";
        *console.err << "veldune-host: the session failed: " << runner.Failure() << "\n";
        status = 1;
    }
    for (const std::string& finding : session.checker().Findings()) {
        out << "# FINDING: " << finding << "\n";
        *console.err << "veldune-host: finding: " << finding << "\n";
        status = 1;
    }
    return status;
#else
    // Random sessions plan failures and watch the services as only the
    // simulated window system can.
    (void)module, (void)hostWindow, (void)document, (void)path, (void)args;
    *console.err << "veldune-host: --monkey needs the simulated window system; run it with the Linux host\n";
    return 2;
#endif
}

// A dry run leaves the plug-in's stored settings as they were: the hive
// file is not saved, and the values are put back (the real registry).
class HeldSettings {
public:
    HeldSettings() {
        for (std::size_t i = 0; i < 3; ++i) values_[i] = sim::HiveValue(kSettingsKey, kNames[i]);
        sim::KeepHiveUnsaved();
    }
    ~HeldSettings() {
        bool any = false;
        for (std::size_t i = 0; i < 3; ++i) {
            if (!values_[i]) continue;
            any = true;
            sim::SetHiveValue(kSettingsKey, kNames[i], REG_BINARY, *values_[i]);
        }
        if (!any) sim::DeleteHiveKey(kSettingsKey);
    }
    HeldSettings(const HeldSettings&) = delete;
    HeldSettings& operator=(const HeldSettings&) = delete;

private:
    static constexpr const char* kNames[3] = {kSearchOptionsValue, kReplaceOptionsValue, kTextSearchPrefsValue};
    std::array<std::optional<std::vector<std::uint8_t>>, 3> values_;
};

struct Run {
    const Arguments& args;
    bool textCommand;
    bool entriesCommand;
    std::string hivePath;
    std::string pluginPath;
    session::Console& console;
    bool needScript = false;  // else a person types the actions
    bool scriptRead = false;
    bool scriptRefused = false;  // a script that cannot run stops every document
    session::Script script;
    session::ScreenSession screen = nullptr;  // a person works the dialogs on the terminal's screen
};

// The whole script is read and checked before anything runs, after the
// first document has been read, so that its errors come first.
bool ReadScript(Run& run, std::string* error) {
    if (!run.needScript || run.scriptRead) return true;
    const std::string& path = run.args.script;
    std::string text;
    std::string name = path.empty() || path == "-" ? "<stdin>" : path;
    if (name == "<stdin>") {
        std::ostringstream buffer;
        buffer << run.console.in->rdbuf();
        text = buffer.str();
    } else if (!ReadFile(path, &text)) {
        *error = "cannot read the script " + path;
        run.scriptRefused = true;
        return false;
    }
    if (!session::ParseScript(text, name, &run.script, error)) {
        run.scriptRefused = true;
        return false;
    }
    run.scriptRead = true;
    return true;
}

int Refuse(FileResult* result, std::ostream& err, const std::string& message, int status = 2) {
    err << "veldune-host: " << message << "\n";
    result->status = status;
    if (result->problem.empty()) result->problem = message;
    return status;
}

int RunDocument(Run& run, const std::string& path, FileResult* result) {
    std::ostream& err = *run.console.err;
    const Arguments& args = run.args;
    const std::string output = OutputFor(args, path);
    if (!output.empty() && !args.inPlace && SameFile(path, output))
        return Refuse(result, err, output + ": is the document itself; give --in-place to write over it");

    host::Document document;
    scores::ScoreFile file;
    std::string error;
    if (!file.Load(path, &document, &error)) return Refuse(result, err, error);
    if (!ReadScript(run, &error)) return Refuse(result, err, error);
    for (const std::string& note : file.ReadNotes()) err << "veldune-host: " << path << ": warning: " << note << "\n";
    result->warnings = static_cast<int>(file.ReadNotes().size());
    // What the note reader met matters to note entry runs; a text run only counts it.
    const std::vector<std::string> entryNotes = file.EntryNotes();
    if (run.textCommand && !args.dryRun && !entryNotes.empty()) {
        err << "veldune-host: " << path << ": " << Plural(entryNotes.size(), "warning", "warnings")
            << " about the notes, which a text run does not use (an entries run or --dry-run shows them)\n";
    } else {
        for (const std::string& note : entryNotes) err << "veldune-host: " << path << ": warning: " << note << "\n";
        result->warnings += static_cast<int>(entryNotes.size());
    }

    std::string pluginPath = run.pluginPath;
    session::PluginModule module;
    if (!session::LoadPluginModule(pluginPath, &module, &error)) return Refuse(result, err, error);
    if (!args.lackService.empty() && !sim::LackExport(args.lackService)) {
        session::UnloadPluginModule(&module);
        return Refuse(result, err, "--lack-service is not available here; this program exports every service");
    }
    HWND hostWindow = session::SetUpWorld(&document, module);
    const auto unwind = [&](int status) {
        host::AttachDocument(nullptr);
        session::UnloadPluginModule(&module);
        return status;
    };
    if (std::string why = sim::ResourceScriptError(); !why.empty()) {
        Refuse(result, err, pluginPath + ": the dialog templates cannot be read: " + why);
        return unwind(2);
    }
    // Options are checked against the module's templates before it starts.
    std::array<bool, 8> elements{};
    users::EntriesPlan plan;
    if ((run.textCommand && !users::PrepareText(args.text, &elements, &error)) ||
        (run.entriesCommand && !users::PrepareEntries(args.entries, document, &plan, &error))) {
        Refuse(result, err, error);
        return unwind(2);
    }
    if (run.hivePath.empty()) {
        sim::UseEmptyHive();
    } else if (!sim::LoadHive(run.hivePath, &error)) {
        Refuse(result, err, run.hivePath + ": " + error);
        return unwind(2);
    }

    const bool listChanges = args.dryRun || run.textCommand || run.entriesCommand;
    const host::Document before = listChanges ? document : host::Document();
    std::optional<HeldSettings> held;
    if (args.dryRun) held.emplace();
    module.init(nullptr, nullptr);
    // The monkey watches the writes itself.
    if (!args.monkey) file.WatchVerseWrites();
    int status = 0;
    if (args.monkey) {
        status = RunMonkey(module, hostWindow, document, path, args, run.console);
    } else if (run.textCommand) {
        host::KeepServiceLog(false);  // nothing reads it here
        // The match on screen was found in the text the plug-in read last.
        const users::MatchPlace place = [&](int position) {
            return file.TextPlace(document, host::LastLoadedTag(), host::LastLoadedKey(), position - 1);
        };
        status = users::RunTextSubcommand(module, hostWindow, args.text, users::ElementsToSet(args.text, elements),
                                          run.console, &result->counts, place);
    } else if (run.entriesCommand) {
        host::KeepServiceLog(false);
        status = users::RunEntriesSubcommand(module, hostWindow, plan, args.entries, run.console, &result->entries);
    } else if (run.screen != nullptr) {
        session::ScreenOptions options;
        options.documentName = std::filesystem::path(path).filename().string();
        options.output = output;
        options.wholeScore = users::WholeDocumentRegion(document);
        options.matchPlace = [&](int position) {
            return file.TextPlace(document, host::LastLoadedTag(), host::LastLoadedKey(), position - 1);
        };
        for (const std::string& line : run.screen(module, hostWindow, options)) *run.console.out << line << "\n";
    } else {
        session::Runner runner(module, hostWindow);
        runner.SetKeepGoing(args.keepGoing, &err);
        if (run.needScript) {
            if (!runner.Run(run.script)) {
                err << runner.Failure() << "\n";
                status = 1;
            }
        } else if (!runner.RunInteractive(*run.console.in, *run.console.out)) {
            status = 1;
        }
    }
    module.terminate(nullptr);
    file.StopWatching();
    held.reset();
    sim::SetUser(nullptr);
    result->status = status;
    if (status != 0 && result->problem.empty()) result->problem = "the run failed";

    // The score is rendered before the changes are listed: a change the
    // writer withholds with a warning is not in the file, and the list says
    // what the file holds.
    const bool writes = !args.dryRun && status == 0 && !output.empty();
    host::Pieces bytes;
    std::vector<std::string> warnings;
    if (writes && !file.Render(document, output, &bytes, &warnings, &error)) {
        Refuse(result, err, path + ": " + error);
        return unwind(2);
    }
    if (listChanges) {
        result->changes = users::ListChanges(before, document, &file);
        if (!warnings.empty()) {
            scores::ScoreFile written;
            host::Document holds;
            std::string ignored;
            if (written.Parse(output, bytes.Joined(), &holds, &ignored)) {
                users::WrittenChanges split =
                    users::SplitWritten(result->changes, users::ListChanges(before, holds, &file));
                result->changes = std::move(split.written);
                result->notWritten = std::move(split.withheld);
            }
        }
        const Outcome outcome = args.dryRun   ? Outcome::DryRun
                                : writes      ? Outcome::Written
                                : status != 0 ? Outcome::Failed
                                              : Outcome::NoOutput;
        PrintChanges(*run.console.out, *result, run.textCommand, run.entriesCommand, outcome, args.quiet);
    }
    if (args.dryRun) {
        *run.console.out << "dry run: nothing was written" << (result->changes.empty() ? " (nothing would change)" : "")
                         << "\n";
        return unwind(status);
    }
    if (writes) {
        for (const std::string& warning : warnings) err << "veldune-host: " << path << ": warning: " << warning << "\n";
        result->warnings += static_cast<int>(warnings.size());
        // The plug-in counted these as made; the file will not hold them.
        result->withheld = static_cast<int>(warnings.size());
        if (result->withheld > 0)
            *run.console.out << result->withheld << " of the changes counted above "
                             << (result->withheld == 1 ? "is" : "are") << " not written to " << output
                             << " (see the warnings)\n";
        if (!args.outputDir.empty()) {
            std::error_code code;
            std::filesystem::create_directories(args.outputDir, code);
        }
        // A link is written through: the file it points to takes the result
        // (and, in place, keeps its original beside it); the link stays.
        std::string target = output;
        std::error_code code;
        if (std::filesystem::is_symlink(output, code)) {
            target = Place(output).string();
            err << "veldune-host: " << output << " is a link; writing the file it points to, " << target << "\n";
        }
        if ((args.inPlace && !scores::KeepOriginal(target, &error)) ||
            !scores::WriteFileAtomically(target, bytes, &error)) {
            Refuse(result, err, error);
            return unwind(2);
        }
        result->written = output;
    }
    if (run.screen != nullptr) {
        *run.console.out << (output.empty() ? "The score was not written: no --output was given.\n"
                                            : "The score was written to " + output + ".\n");
    }
    return unwind(status);
}

}  // namespace

int HostMain(int argc, const char* const* argv, session::Console& console) {
    std::ostream& err = *console.err;
    Arguments args;
    CLI::App app(kDescription, "veldune-host");
    app.footer(kFooter);
    app.add_option("DOCUMENT", args.documents, "the score documents (JSON or MusicXML)")->required()->type_name("");
    app.add_option("--script", args.script, "run this session script; - reads it from standard input")
        ->type_name("FILE|-");
    app.add_option("--registry", args.registry, "the settings hive (.reg file)")->type_name("FILE");
    app.add_option("--output", args.output, "write the document here after a successful run")->type_name("FILE");
    app.add_option("--output-dir", args.outputDir, "write each document into this folder under its own name")
        ->type_name("DIR");
    app.add_flag("--in-place", args.inPlace, "write over each document, keeping its first original as .orig");
    app.add_flag("--dry-run", args.dryRun,
                 "go through the same dialogs and counts, print what would change, and write nothing: no score and "
                 "no stored settings");
    app.add_flag("--quiet", args.quiet, "print the counts only, not the list of what changed");
    app.add_option("--report", args.report,
                   "write what each run changed, with its place in the score, as JSON to this file")
        ->type_name("FILE.json");
    app.add_option("--plugin", args.plugin, "the plug-in module to load")->type_name("PATH");
    app.add_option("--lack-service", args.lackService,
                   "act as a host program that does not export this service (such as HS_LoadTGF), to see how "
                   "the plug-in copes")
        ->type_name("NAME");
    app.add_flag("--keep-going", args.keepGoing,
                 "a failed expectation of the script is reported and the script goes on (exit status 1 at the "
                 "end), to see everything two hosts do differently in one run");
    CLI::Option* monkeyOption =
        app.add_option("--monkey", args.monkeySeed,
                       "play a random user session from this seed (commands, clicks, typing, keys, answers, reloads "
                       "and planned failures), check what the plug-in must keep true after every action, and print "
                       "the session as a script that replays it through --script; exit status 1 on a finding")
            ->type_name("SEED");
    app.add_option("--actions", args.monkeyActions, "user actions in a --monkey session (default 200)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000000))
        ->needs(monkeyOption);

    CLI::App* text = app.add_subcommand("text", "run the text command: search (and replace) stored texts");
    text->fallthrough();
    text->add_option("--search", args.text.search, "the text to search for (at most 50 characters)")->required();
    text->add_option("--replace", args.replace, "replace every accepted match with this text");
    text->add_flag("--case", args.text.matchCase, "match upper and lower case exactly");
    text->add_flag("--tags", args.text.tags, "let formatting tags take part in matching");
    text->add_option("--elements", args.elements,
                     "where to search: page,measure,expressions,staff,group,repeats,endings,lyrics or all "
                     "(default: as for a new user, everything but endings and lyrics)");
    text->add_flag("--remember", args.text.remember,
                   "start from the settings the last use of the command stored, not from a new user's");
    text->add_flag("--all", args.text.all, "replace every match (Yes to all); without --replace, list them all");
    text->add_flag("--yes", args.text.yes, "answer Yes to the lyrics length warning");
    text->footer(
        "Each match is printed as the results dialog shows it. At a terminal you are asked for each match\n"
        "(yes, no, all, quit; next or quit when only searching); otherwise, without --all, matches are only\n"
        "listed. A refusal of the setup dialog prints its message and exits with status 1.");

    CLI::App* entries =
        app.add_subcommand("entries", "run the note entry command: find note entries and change their attributes");
    entries->fallthrough();
    entries->add_option("--staves", args.staves, "whole staves to search, such as 1-2 or 3 (default: all)")
        ->type_name("A-B");
    entries->add_option("--measures", args.measures, "whole measures to search, such as 1-8 or 4 (default: all)")
        ->type_name("A-B");
    entries->add_option("--region", args.region,
                        "S1,M1,P1,S2,M2,P2 by positions: first staff, first measure, the first position searched "
                        "in it, last staff, last measure, the first position not searched in it (1024 to the "
                        "quarter; 0 is the start of that measure, so nothing of it is searched)");
    entries->add_flag("--remember", args.entries.remember,
                      "start from the criteria the last use of the command stored, not from Reset");
    entries
        ->add_option("--find", args.entries.find,
                     "what to look for, such as \"Chord=on,Duration=1024\": a check box caption (on, off or any) or "
                     "Duration, Position, Displacement, Raise/Lower with a number")
        ->required();
    entries->add_option("--change", args.change, "what to change, such as \"Up/Down=off\"");
    entries->add_flag("--or", args.entries.useOr, "an entry matches when any criterion holds (default: all)");
    entries->add_flag("--yes", args.entries.yes, "confirm changes the dialog calls dangerous");
    entries->footer(
        "Note group boxes whose caption an entry box also has are written \"Note Legality\". A refusal of the\n"
        "dialog prints its message and exits with status 1; a dangerous change is asked at a terminal and\n"
        "otherwise needs --yes.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, *console.out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, *console.out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, *console.out, err);
        return 2;
    }
    const bool textCommand = text->parsed();
    const bool entriesCommand = entries->parsed();
    args.monkey = monkeyOption->count() > 0;
    if (args.monkey && (textCommand || entriesCommand || !args.script.empty() || args.documents.size() > 1)) {
        err << "veldune-host: --monkey takes one document, without --script or a subcommand\n";
        return 2;
    }
    if ((textCommand || entriesCommand) && !args.script.empty()) {
        err << "veldune-host: --script cannot be combined with the " << (textCommand ? "text" : "entries")
            << " subcommand\n";
        return 2;
    }

    if (args.documents.size() > 1 && !args.output.empty()) {
        err << "veldune-host: --output takes one document; give --output-dir DIR for several\n";
        return 2;
    }
    if (args.inPlace && (!args.output.empty() || !args.outputDir.empty())) {
        err << "veldune-host: --in-place cannot be combined with --output or --output-dir\n";
        return 2;
    }
    if (!args.output.empty() && !args.outputDir.empty()) {
        err << "veldune-host: give --output or --output-dir, not both\n";
        return 2;
    }
    if (args.documents.size() > 1 && !textCommand && !entriesCommand && args.script.empty()) {
        err << "veldune-host: several documents need a subcommand or --script\n";
        return 2;
    }

    std::string error;
    if (textCommand) {
        if (!args.replace.empty() || text->count("--replace") > 0) args.text.replace = args.replace;
        if (text->count("--elements") > 0) args.text.elements = args.elements;
    }
    if (entriesCommand) {
        if (entries->count("--region") > 0) args.entries.region = args.region;
        if (entries->count("--staves") > 0) args.entries.staves = args.staves;
        if (entries->count("--measures") > 0) args.entries.measures = args.measures;
        if (entries->count("--change") > 0) args.entries.change = args.change;
    }

    std::string hivePath = args.registry;
    if (hivePath.empty() && !args.monkey) {
        hivePath = session::DefaultRegistryPath(&error);
        if (hivePath.empty()) {
            err << "veldune-host: " << error << "\n";
            return 2;
        }
    }
    std::string pluginPath = args.plugin;
    if (pluginPath.empty()) {
        std::string folder = ExecutableDirectory();
        pluginPath = (folder.empty() ? std::string(".") : folder) + "/" + session::PluginModuleFileName();
    }

    if (!CheckOutputs(args, &error)) {
        err << "veldune-host: " << error << "\n";
        return 2;
    }

    Run run{args, textCommand, entriesCommand, hivePath, pluginPath, console, false, false, false, {}};
    // At a terminal without a script the dialogs are drawn on its screen;
    // the line prompt stays for "--script -" typed at a terminal and for a
    // terminal the screen cannot be drawn on. Anything else reads a script.
    const bool plain = !textCommand && !entriesCommand && !args.monkey;
    if (plain && args.script.empty() && console.screen) run.screen = TerminalFrontEnd();
    const bool linePrompt =
        plain && run.screen == nullptr && console.terminal && (args.script.empty() || args.script == "-");
    run.needScript = plain && run.screen == nullptr && !linePrompt;
    const bool batch = args.documents.size() > 1;
    std::vector<FileResult> results(args.documents.size());
    int status = 0;
    for (std::size_t i = 0; i < args.documents.size(); ++i) {
        if (batch && console.terminal)
            err << "[" << (i + 1) << "/" << args.documents.size() << "] " << args.documents[i] << "\n";
        else if (batch)
            *console.out << "\n== " << args.documents[i] << "\n";
        status = std::max(status, RunDocument(run, args.documents[i], &results[i]));
        if (run.scriptRefused) return 2;
    }
    if (batch) PrintSummary(*console.out, args.documents, results);
    if (!args.report.empty() && !WriteReport(args, results, &error)) {
        err << "veldune-host: " << error << "\n";
        status = std::max(status, 2);
    }
    return status;
}

}  // namespace cli
