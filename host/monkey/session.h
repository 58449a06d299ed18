// Random user sessions over the plug-in's dialogs: a generator that plays a
// user who does anything the open dialog or message box offers, written down
// as session script lines as it goes, and the checks that follow the session.
// The fuzz target draws the choices from its input, `veldune-host --monkey`
// from a seed; both run the lines through the script runner, so the lines
// written down replay the session exactly.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/session/runner.h"
#include "host/session/script.h"
#include "host/sim/sim.h"

namespace monkey {

// Where the session's choices come from.
class Choices {
public:
    virtual ~Choices() = default;
    // A number below n (0 when n is 0 or 1).
    virtual std::uint32_t Below(std::uint32_t n) = 0;
    // No more choices: the session winds down.
    virtual bool Spent() const = 0;
};

// A seed's choices, the same on every machine.
class SeededChoices : public Choices {
public:
    explicit SeededChoices(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Below(std::uint32_t n) override;
    bool Spent() const override { return false; }

private:
    std::uint64_t state_;
};

// The fuzzer's bytes, one or two a choice; spent at the end of the input.
class ByteChoices : public Choices {
public:
    ByteChoices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t Below(std::uint32_t n) override;
    bool Spent() const override { return next_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
};

// Documents the fuzz target plays on: every kind of text with tags and long
// texts, several staves and layers of entries, and a small odd one.
constexpr int kSessionDocuments = 3;
host::Document SessionDocument(int which);

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

struct Options {
    int actions = 200;  // user actions before the session winds down
    // Start from the default settings whatever the hive holds, so that the
    // lines replay alike on any hive.
    bool fromDefaults = false;
};

class Session : public session::ActionSource {
public:
    Session(Choices& choices, const host::Document& document, Options options);

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

}  // namespace monkey
