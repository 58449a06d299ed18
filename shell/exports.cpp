#include "shell/plugin_exports.h"

#include "resources/messages.h"
#include "shell/commands.h"
#include "shell/count_message.h"
#include "shell/host_binding.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

namespace {

enum Command : std::int16_t { NoteEntryCommand = 0, TextCommand = 1 };
constexpr int kCommandCount = 2;

// Field f of command i is entry 2f + i.
const char* const kCommandTexts[3 * kCommandCount] = {
    "Orvo S && R - Note Entries [v 1.11a]...", "Orvo S && R - Text [v 1.11a]...",
    "Search/Replace - Note Entries",           "Search/Replace - Text",
    "Orvo Search/Replace - Note Entries",      "Orvo Search/Replace - Text",
};

const char* CommandText(int field, int command) { return kCommandTexts[2 * field + command]; }

// A bounded copy with zero padding: the text's characters, then zeros to the
// end of the field. A text of 64 characters or more would fill it unended.
void CopyToField(char (&field)[kMenuFieldSize], const char* text) {
    int i = 0;
    for (; i < kMenuFieldSize && text[i] != '\0'; ++i) field[i] = text[i];
    for (; i < kMenuFieldSize; ++i) field[i] = '\0';
}

// A host program without every service can still list the commands; running
// one would call through a missing address, so the user is told instead.
bool HostLacksServices(HWND hostWindow) {
    const char* missing = MissingHostService();
    if (missing == nullptr) return false;
    char text[sizeof(kMissingServiceFormat) + 64];
    wsprintfA(text, kMissingServiceFormat, missing);
    MessageBoxA(hostWindow, text, kMissingServiceCaption, MB_OK | MB_ICONERROR);
    return true;
}

}  // namespace

void ReportReplacementCount(HWND hostWindow, std::int32_t count) {
    // Room for the longest number and both words.
    char text[sizeof(kCountFormat) + 16];
    wsprintfA(text, kCountFormat, static_cast<int>(count), count == 1 ? "t" : "ts", count == 1 ? "was" : "were");
    MessageBoxA(hostWindow, text, kCountCaption, MB_OK | MB_ICONINFORMATION);
}

extern "C" {

std::uint32_t VelduneExtensionVersion(void*) { return kInterfaceVersion; }

std::int16_t VelduneExtensionInit(void*, void*) {
    // A missing service is reported when a command is invoked, so that the
    // plug-in stays loaded and its commands listed.
    BindHostServices();
    // A missing or unreadable key leaves the defaults; Init cannot fail.
    LoadSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
    return 1;
}

std::int16_t VelduneExtensionEnumerate(void*, std::int16_t index, MenuItemRecord* item) {
    if (index < 0 || index >= kCommandCount || item == nullptr) return 0;
    // The host owns nothing past offset 195.
    CopyToField(item->menuText, CommandText(0, index));
    CopyToField(item->name, CommandText(1, index));
    CopyToField(item->fullName, CommandText(2, index));
    item->reserved192 = 0;
    item->reserved194 = 0;
    return 1;
}

std::int16_t VelduneExtensionInvoke(HWND hostWindow, std::int16_t command, const RegionRecord* region, void*) {
    // The region scan reads the layer menu through it, so it must be current.
    g_plugin.hostWindow = hostWindow;
    if (HostLacksServices(hostWindow)) return 0;
    if (command == TextCommand) {
        RunTextCommand(hostWindow);
        return 1;
    }
    if (region == nullptr) {
        MessageBoxA(hostWindow, kNoAreaText, kNoAreaCaption, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (RunCriteriaDialog(hostWindow, &g_plugin.search, &g_plugin.replace) == 0) return 1;
    std::int32_t count = ScanRegion(&g_plugin.search, &g_plugin.replace, region);
    if (count != kScanCancelled) ReportReplacementCount(hostWindow, count);
    return 1;
}

std::int32_t VelduneExtensionTerminate(void*) {
    return SaveSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
}

std::int16_t VelduneExtensionGetMenuStatus(void*) { return 1; }

}  // extern "C"
