// The scripted user: runs a session script (or a person's typed actions)
// against the plug-in and the dialogs it opens.
#pragma once

#include <windows.h>

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>

#include "host/cli/plugin_module.h"
#include "host/cli/script.h"
#include "host/sim/sim.h"

namespace cli {

class Runner : public sim::User {
public:
    // The plug-in must be initialised already; the runner calls Terminate
    // and Init again only for "reload".
    Runner(const PluginModule& module, HWND hostWindow);

    // Runs every action. False after the first failure, which Failure()
    // then gives as "FILE:LINE: message"; the dialogs are unwound by then.
    bool Run(const Script& script);

    // A person types the actions; each line is parsed as a script line.
    // Failures are printed and the session goes on. False when any
    // expectation failed.
    bool RunInteractive(std::istream& in, std::ostream& out);

    // With keepGoing, a failed expectation is written to `report` and the
    // script goes on; Run still answers false at the end.
    void SetKeepGoing(bool keepGoing, std::ostream* report) {
        keepGoing_ = keepGoing;
        report_ = report;
    }

    const std::string& Failure() const { return failure_; }
    std::optional<long long> LastResult() const { return lastResult_; }

    void DriveDialog(HWND dialog) override;
    int AnswerMessageBox(const sim::MessageBoxInfo& box) override;
    void MessageBoxKeysFailed(const std::string& why) override;

private:
    const Action* Peek();
    const Action* Take();
    void Perform(const Action& action);
    bool PerformControlAction(const Action& action);
    void PerformKeys(const Action& action);
    void Check(const Action& action);
    void Fail(const Action* action, const std::string& message);
    std::string EndOfScriptWhere() const;

    PluginModule module_;
    HWND hostWindow_;

    // Script mode.
    const Script* script_ = nullptr;
    std::size_t next_ = 0;

    // Interactive mode.
    std::istream* in_ = nullptr;
    std::ostream* out_ = nullptr;
    int typedLines_ = 0;
    std::deque<Action> typed_;  // what the person typed; a deque keeps addresses stable
    bool quit_ = false;
    bool inputEnded_ = false;

    std::deque<Action> answers_;  // queued ahead of their message boxes
    const Action* current_ = nullptr;
    const Action* boxKeys_ = nullptr;  // the keys last given to a message box
    std::optional<long long> lastResult_;
    std::size_t boxesAtLastExpectation_ = 0;
    bool failed_ = false;  // unwinding: no more actions run
    bool anyFailed_ = false;
    bool keepGoing_ = false;
    std::ostream* report_ = nullptr;
    std::string failure_;
};

// How a message box's type reads in messages: "error, ok".
std::string DescribeBoxType(UINT type);

}  // namespace cli
