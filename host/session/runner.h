// The scripted user: runs a session script (or a person's typed actions)
// against the plug-in and the dialogs it opens.
#pragma once

#include <windows.h>

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>

#include "host/session/plugin_module.h"
#include "host/session/script.h"
#include "host/sim/sim.h"

namespace session {

// Where the actions come from in a generated session (a random user): one
// script line at a time, chosen when it is needed, so that what is written
// down replays exactly as a script.
class ActionSource {
public:
    virtual ~ActionSource() = default;
    // The next line to perform; `box` is set when a message box is up and the
    // line must answer it (an answer or a key). Nullopt ends the session.
    virtual std::optional<std::string> Next(const sim::MessageBoxInfo* box) = 0;
    // Around every action performed; for an invoke, Performed comes once the
    // whole command has returned.
    virtual void Starting(const Action& action) { (void)action; }
    virtual void Performed(const Action& action) { (void)action; }
};

class Runner : public sim::User {
public:
    // The plug-in must be initialised already; the runner calls Terminate
    // and Init again only for "reload".
    Runner(const PluginModule& module, HWND hostWindow);

    // Runs every action. False after the first failure, which Failure()
    // then gives as "FILE:LINE: message"; the dialogs are unwound by then.
    bool Run(const Script& script);

    // Runs the lines the source gives, as a script of those lines would run;
    // a line that does not parse is a failure.
    bool Run(ActionSource& source, const std::string& name);

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
    bool RunScripted();
    const Action* Peek();
    const Action* PeekGenerated();
    const Action* Take();
    void Perform(const Action& action);
    void PerformAction(const Action& action);
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

    // Generated mode: the lines so far, as a script of them (a deque keeps
    // the addresses of actions still running stable).
    ActionSource* source_ = nullptr;
    const sim::MessageBoxInfo* box_ = nullptr;  // the box waiting for the line asked for
    Script generated_;
    std::deque<Action> generatedActions_;
    std::size_t generatedNext_ = 0;

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

// The answer that changes nothing: No, Cancel or OK by the box's buttons.
int NeutralAnswer(UINT type);

}  // namespace session
