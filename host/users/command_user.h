// A subcommand as the user of a session: what it prints, how it answers a
// question.
#pragma once

#include <initializer_list>
#include <string>

#include "host/session/console.h"
#include "host/sim/sim.h"

namespace users {

// Asks until the person types one of the choices (or its first letter);
// returns the index, or -1 when the input ends.
int Ask(session::Console& console, const std::string& question, std::initializer_list<const char*> choices);

// A subcommand acting for a person: prints every message box as it appears,
// answers a question at the terminal or by --yes, and remembers the first
// thing it could not do, so the command ends with status 1.
class CommandUser : public sim::User {
public:
    // why: what the plug-in's question is about, said when no one is there
    // to answer it.
    CommandUser(session::Console& console, bool yes, const char* prompt, const char* why = "")
        : console_(console), yes_(yes), prompt_(prompt), why_(why) {}

    bool refused = false;

    int AnswerMessageBox(const sim::MessageBoxInfo& box) override;

protected:
    // `why` is what sim said of the action; empty when it was done.
    bool Act(const std::string& what, const std::string& why);

    session::Console& console_;

private:
    bool yes_;
    const char* prompt_;
    const char* why_;
};

}  // namespace users
