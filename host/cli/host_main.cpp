#include "host/cli/host_main.h"

#include <CLI/CLI.hpp>

#include <array>
#include <fstream>
#include <iostream>
#include <sstream>

#include "host/cli/entries_command.h"
#include "host/cli/platform.h"
#include "host/cli/plugin_module.h"
#include "host/cli/runner.h"
#include "host/cli/script.h"
#include "host/cli/text_command.h"
#include "host/cli/world.h"
#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/resource_script.h"
#include "host/sim/sim.h"

namespace cli {

namespace {

const char kDescription[] =
    "veldune-host stands in for the Veldune notation program. It loads the Orvo Search/Replace plug-in,\n"
    "serves it the score DOCUMENT (a JSON file) and shows the plug-in's dialogs to a session script, to you\n"
    "at the terminal, or to one of the subcommands below.";

const char kFooter[] =
    "Ways to run:\n"
    "  veldune-host DOCUMENT --script FILE     run a session script (- reads it from standard input)\n"
    "  veldune-host DOCUMENT                   at a terminal: type the actions yourself ('help' lists them);\n"
    "                                          otherwise the script is read from standard input\n"
    "  veldune-host DOCUMENT text ...          search (and replace) texts; see 'veldune-host x text --help'\n"
    "  veldune-host DOCUMENT entries ...       search and change note entries; see 'veldune-host x entries --help'\n"
    "\n"
    "Exit status: 0 success; 1 a script expectation failed, or the plug-in refused the request or a\n"
    "question was not confirmed; 2 bad arguments, an unreadable or malformed document or script, a\n"
    "settings file or plug-in that cannot be loaded, or an output file that cannot be written.\n"
    "The document is written to --output only after a successful run.\n"
    "\n"
    "Settings: the plug-in keeps its settings in the registry, here a .reg text file: --registry FILE,\n"
    "else $VELDUNE_REGISTRY, else $XDG_CONFIG_HOME/veldune-host/registry.reg (~/.config/veldune-host/\n"
    "registry.reg when XDG_CONFIG_HOME is not set). They are read when the plug-in starts and written\n"
    "when it ends.\n"
    "Plug-in: --plugin PATH, else OrvoSearchReplace.so next to this program.\n"
    "Formats: docs/score-document.md and docs/session-script.md.";

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

struct Arguments {
    std::string document;
    std::string script;
    std::string registry;
    std::string output;
    std::string plugin;
    std::string lackService;
    TextOptions text;
    std::string replace;
    std::string elements;
    EntriesOptions entries;
    std::string region;
    std::string change;
};

}  // namespace

int HostMain(int argc, const char* const* argv, Console& console) {
    std::ostream& err = *console.err;
    Arguments args;
    CLI::App app(kDescription, "veldune-host");
    app.footer(kFooter);
    app.add_option("DOCUMENT", args.document, "the score document (JSON)")->required()->type_name("");
    app.add_option("--script", args.script, "run this session script; - reads it from standard input")
        ->type_name("FILE|-");
    app.add_option("--registry", args.registry, "the settings hive (.reg file)")->type_name("FILE");
    app.add_option("--output", args.output, "write the document here after a successful run")->type_name("FILE");
    app.add_option("--plugin", args.plugin, "the plug-in module to load")->type_name("PATH");
    app.add_option("--lack-service", args.lackService,
                   "act as a host program that does not export this service (such as HS_LoadTGF), to see how "
                   "the plug-in copes")
        ->type_name("NAME");

    CLI::App* text = app.add_subcommand("text", "run the text command: search (and replace) stored texts");
    text->fallthrough();
    text->add_option("--search", args.text.search, "the text to search for (at most 50 characters)")->required();
    text->add_option("--replace", args.replace, "replace every accepted match with this text");
    text->add_flag("--case", args.text.matchCase, "match upper and lower case exactly");
    text->add_flag("--tags", args.text.tags, "let formatting tags take part in matching");
    text->add_option("--elements", args.elements,
                     "where to search: page,measure,expressions,staff,group,repeats,endings,lyrics or all "
                     "(default: as last time)");
    text->add_flag("--all", args.text.all, "replace every match (Yes to all); without --replace, list them all");
    text->add_flag("--yes", args.text.yes, "answer Yes to the lyrics length warning");
    text->footer(
        "Each match is printed as the results dialog shows it. At a terminal you are asked for each match\n"
        "(yes, no, all, quit; next or quit when only searching); otherwise, without --all, matches are only\n"
        "listed. A refusal of the setup dialog prints its message and exits with status 1.");

    CLI::App* entries =
        app.add_subcommand("entries", "run the note entry command: find note entries and change their attributes");
    entries->fallthrough();
    entries->add_option("--region", args.region,
                        "S1,M1,P1,S2,M2,P2: first staff, first measure, start position, last staff, last measure, "
                        "end position (default: the whole document)");
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
    if ((textCommand || entriesCommand) && !args.script.empty()) {
        err << "veldune-host: --script cannot be combined with the " << (textCommand ? "text" : "entries")
            << " subcommand\n";
        return 2;
    }

    host::Document document;
    std::string error;
    if (!host::Document::Load(args.document, &document, &error)) {
        // The reader's message may already name the file.
        if (error.rfind(args.document, 0) != 0) error = args.document + ": " + error;
        err << "veldune-host: " << error << "\n";
        return 2;
    }

    // The whole script is read and checked before anything runs.
    Script script;
    bool haveScript = false;
    if (!args.script.empty() || (!textCommand && !entriesCommand && !console.terminal)) {
        std::string scriptText;
        std::string name = args.script.empty() || args.script == "-" ? "<stdin>" : args.script;
        if (name == "<stdin>") {
            std::ostringstream buffer;
            buffer << console.in->rdbuf();
            scriptText = buffer.str();
        } else if (!ReadFile(args.script, &scriptText)) {
            err << "veldune-host: cannot read the script " << args.script << "\n";
            return 2;
        }
        if (!ParseScript(scriptText, name, &script, &error)) {
            err << "veldune-host: " << error << "\n";
            return 2;
        }
        haveScript = true;
    }
    if (textCommand) {
        if (!args.replace.empty() || text->count("--replace") > 0) args.text.replace = args.replace;
        if (text->count("--elements") > 0) args.text.elements = args.elements;
    }
    if (entriesCommand) {
        if (entries->count("--region") > 0) args.entries.region = args.region;
        if (entries->count("--change") > 0) args.entries.change = args.change;
    }

    std::string hivePath = args.registry;
    if (hivePath.empty()) {
        hivePath = DefaultRegistryPath(&error);
        if (hivePath.empty()) {
            err << "veldune-host: " << error << "\n";
            return 2;
        }
    }
    std::string pluginPath = args.plugin;
    if (pluginPath.empty()) {
        std::string folder = ExecutableDirectory();
        pluginPath = (folder.empty() ? std::string(".") : folder) + "/" + PluginModuleFileName();
    }
    PluginModule module;
    if (!LoadPluginModule(pluginPath, &module, &error)) {
        err << "veldune-host: " << error << "\n";
        return 2;
    }
    if (!args.lackService.empty() && !sim::LackExport(args.lackService)) {
        err << "veldune-host: --lack-service is not available here; this program exports every service\n";
        UnloadPluginModule(&module);
        return 2;
    }
    HWND hostWindow = SetUpWorld(&document, module);
    if (std::string why = sim::ResourceScriptError(); !why.empty()) {
        err << "veldune-host: " << pluginPath << ": the dialog templates cannot be read: " << why << "\n";
        host::AttachDocument(nullptr);
        UnloadPluginModule(&module);
        return 2;
    }
    // Options are checked against the module's templates before it starts.
    std::array<bool, 8> elements{};
    EntriesPlan plan;
    if ((textCommand && !PrepareText(args.text, &elements, &error)) ||
        (entriesCommand && !PrepareEntries(args.entries, document, &plan, &error))) {
        err << "veldune-host: " << error << "\n";
        host::AttachDocument(nullptr);
        UnloadPluginModule(&module);
        return 2;
    }
    if (!sim::LoadHive(hivePath, &error)) {
        err << "veldune-host: " << hivePath << ": " << error << "\n";
        host::AttachDocument(nullptr);
        UnloadPluginModule(&module);
        return 2;
    }

    module.init(nullptr, nullptr);
    int status = 0;
    if (textCommand) {
        status = RunTextSubcommand(module, hostWindow, args.text, args.text.elements ? &elements : nullptr, console);
    } else if (entriesCommand) {
        status = RunEntriesSubcommand(module, hostWindow, plan, args.entries, console);
    } else {
        Runner runner(module, hostWindow);
        if (haveScript) {
            if (!runner.Run(script)) {
                err << runner.Failure() << "\n";
                status = 1;
            }
        } else if (!runner.RunInteractive(*console.in, *console.out)) {
            status = 1;
        }
    }
    module.terminate(nullptr);
    sim::SetUser(nullptr);

    if (status == 0 && !args.output.empty() && !document.Save(args.output, &error)) {
        err << "veldune-host: " << args.output << ": " << error << "\n";
        status = 2;
    }
    host::AttachDocument(nullptr);
    UnloadPluginModule(&module);
    return status;
}

}  // namespace cli
