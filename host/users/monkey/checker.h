// The checks that follow a random session: what the plug-in must never do,
// whatever the user does.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/session/script.h"
#include "host/sim/sim.h"

namespace users::monkey {

// Follows a session and says when the plug-in does what it must not. Every
// finding names the line it was found at.
class Checker : public sim::Watcher {
public:
    // The settings records as the plug-in holds them (search, replace, text
    // prefs), where they can be seen (a plug-in linked in); else the stored
    // bytes are checked against each other.
    std::function<std::array<std::vector<std::uint8_t>, 3>()> heldSettings;

    void Begin();  // watches from now on
    void End();    // stops watching

    void Starting(const session::Action& action);
    void Performed(const session::Action& action);
    void BoxUp(const sim::MessageBoxInfo& box);
    void DialogUp(HWND dialog);  // the session is asked for an action in it

    void Command(HWND dialog, int id, int code) override;
    void TextSet(HWND dialog, int id, const std::string& text) override;

    const std::vector<std::string>& Findings() const { return findings_; }

private:
    void Find(const std::string& what);
    void Written(const std::optional<std::string>& before, const std::optional<std::string>& after);
    void Results(HWND dialog);
    void CheckDialog(HWND dialog);
    void CheckQuiet();
    void CheckSummary();
    void SettleWrites();
    void CheckDocument(const session::Action& invoke);
    void CheckSettings();
    int TextWrites();

    std::vector<std::string> findings_;
    std::string where_;                // the line being performed
    std::vector<std::string> wheres_;  // and the lines it runs inside
    int warnings_ = 0;
    int complaints_ = 0;

    // The command running: -1 none, else 0 or 1.
    int command_ = -1;
    bool hasRegion_ = false;
    RegionRecord region_{};
    host::Document before_;
    std::size_t logStart_ = 0;
    std::size_t boxesStart_ = 0;
    int setupLast_ = 0;     // the last command the setup dialog handled
    int criteriaLast_ = 0;  // and the criteria dialog (GO! before a scan)
    bool replaceMode_ = false;
    std::string search_, replace_;  // as the setup dialog had them at GO!
    bool foldCase_ = true;

    // Text writes and what allows them.
    std::size_t logRead_ = 0;
    int writesSeen_ = 0;
    int writesMark_ = 0;
    int allowed_ = 0;  // for the command being handled; -1 any number (Yes to all)
    std::string allowedBy_;
    int matchesShown_ = 0;
    int writesInResults_ = 0;
    HWND results_ = nullptr;

    // Settings as last stored by a clean reload, and whether a registry
    // failure or a command came since.
    std::optional<std::array<std::vector<std::uint8_t>, 3>> stored_;
    bool registryPlanned_ = false;
    bool commandSinceStore_ = false;
};

}  // namespace users::monkey
