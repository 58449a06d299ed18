// Random user sessions over the plug-in's dialogs: the player, a user who
// does anything the open dialog or message box offers, written down as
// session script lines as it goes; the checks that follow it are in
// checker.h, where its choices come from in choices.h. The fuzz target draws
// the choices from its input, `veldune-host --monkey` from a seed; both run
// the lines through the script runner, so the lines written down replay the
// session exactly.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/session/runner.h"
#include "host/session/script.h"
#include "host/sim/sim.h"
#include "host/users/monkey/checker.h"
#include "host/users/monkey/choices.h"
#include "host/users/monkey/documents.h"

namespace users::monkey {

struct Options {
    int actions = 200;  // user actions before the session winds down
    // Start from the default settings whatever the hive holds, so that the
    // lines replay alike on any hive.
    bool fromDefaults = false;
};

class Player : public session::ActionSource {
public:
    Player(Choices& choices, const host::Document& document, Options options);

    std::optional<std::string> Next(const sim::MessageBoxInfo* box) override;
    void Starting(const session::Action& action) override;
    void Performed(const session::Action& action) override;

    Checker& checker() { return checker_; }
    const std::vector<std::string>& Lines() const { return lines_; }
    std::string Script() const;  // the lines, one a line

private:
    std::string Write(std::string line);
    std::string Answer(const sim::MessageBoxInfo& box);
    std::string AtScore();
    std::string InDialog(HWND dialog);
    std::string GoOn(HWND dialog);
    std::string Invoke();
    std::string Text(bool numeric);
    std::string Pick(const std::vector<std::string>& list);

    Choices& choices_;
    Options options_;
    Checker checker_;
    std::vector<std::string> lines_;
    std::deque<std::string> pending_;  // lines to write before any other
    std::vector<std::string> words_;   // from the document's texts
    std::vector<int> staves_, measures_, positions_;
    int actions_ = 0;
    int closing_ = 0;       // close attempts while winding down
    bool started_ = false;  // the preamble is written
    bool ended_ = false;
    bool commandRan_ = false;  // a command returned since the last expectations
};

}  // namespace users::monkey
