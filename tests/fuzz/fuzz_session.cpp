// A user who does anything: the input is read as a session over one of the
// session documents (its first byte picks which), and every action and every
// command is checked as the session goes. A finding prints the session as
// the script that replays it, ready to keep as a scenario.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/services/services.h"
#include "host/session/plugin_linked.h"
#include "host/session/runner.h"
#include "host/session/world.h"
#include "host/sim/sim.h"
#include "host/users/monkey/player.h"
#include "shell/plugin_state.h"

namespace {

std::vector<std::uint8_t> BytesOf(const void* record, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    return {bytes, bytes + size};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    users::monkey::ByteChoices choices(data, size);
    const int which = static_cast<int>(choices.Below(users::monkey::kSessionDocuments));
    host::Document document = users::monkey::SessionDocument(which);
    const session::PluginModule module = session::LinkedPluginModule();
    HWND hostWindow = session::SetUpWorld(&document, module);
    sim::UseEmptyHive();
    // Each input starts from a plug-in just loaded.
    std::memset(static_cast<void*>(&g_plugin), 0, sizeof g_plugin);
    module.init(nullptr, nullptr);

    users::monkey::Options options;
    options.actions = 400;
    users::monkey::Player session(choices, document, options);
    session.checker().heldSettings = [] {
        return std::array<std::vector<std::uint8_t>, 3>{BytesOf(&g_plugin.search, sizeof g_plugin.search),
                                                        BytesOf(&g_plugin.replace, sizeof g_plugin.replace),
                                                        BytesOf(&g_plugin.prefs, sizeof g_plugin.prefs)};
    };
    session::Runner runner(module, hostWindow);
    const bool ran = runner.Run(session, "fuzz.script");
    session.checker().End();
    module.terminate(nullptr);
    host::AttachDocument(nullptr);

    const std::string replay =
        "--- the session, on session document " + std::to_string(which) + "\n" + session.Script();
    if (!ran) fuzz::Fail("session", runner.Failure() + "\n" + replay);
    if (!session.checker().Findings().empty()) {
        std::string all;
        for (const std::string& finding : session.checker().Findings()) all += finding + "\n";
        fuzz::Fail("session", all + replay);
    }
    return 0;
}
