// Dialogs of the simulated window system: what the user's actions do, what
// the dialog host services read and write, procedures and subclassing,
// colours, the modal life cycle and message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/sim/sim.h"
#include "shell/host_services.h"

extern "C" const char OrvoResourceScript[];

namespace {

constexpr int kDialog = 300;
constexpr int kInner = 301;

const char kScript[] = R"rc(
300 DIALOGEX 10, 20, 100, 80
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Test"
FONT 8, "MS Sans Serif"
BEGIN
    CONTROL "Label", 10, "Static", SS_LEFT, 4, 8, 40, 8
    CONTROL "", 11, "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, 4, 20, 40, 12
    CONTROL "Box", 12, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 4, 34, 40, 10
    CONTROL "Tri", 13, "Button", BS_AUTO3STATE | WS_TABSTOP, 4, 46, 40, 10
    CONTROL "A", 14, "Button", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 50, 8, 20, 10
    CONTROL "B", 15, "Button", BS_AUTORADIOBUTTON, 50, 20, 20, 10
    CONTROL "C", 16, "Button", BS_AUTORADIOBUTTON | WS_GROUP, 50, 32, 20, 10
    CONTROL "D", 17, "Button", BS_AUTORADIOBUTTON, 50, 44, 20, 10
    CONTROL "Hidden", 18, "Button", BS_PUSHBUTTON | NOT WS_VISIBLE, 0, 0, 10, 10
    CONTROL "Off", 19, "Button", BS_AUTOCHECKBOX | WS_DISABLED, 0, 0, 10, 10
    CONTROL "Group", 20, "Button", BS_GROUPBOX | WS_GROUP, 0, 0, 10, 10
    CONTROL "Manual", 21, "Button", BS_CHECKBOX, 0, 0, 10, 10
    CONTROL "Digits", 22, "Edit", ES_NUMBER, 0, 0, 10, 10
    CONTROL "Grey", 23, "Static", SS_LEFT | WS_DISABLED, 0, 0, 10, 10
    CONTROL "Inner", 30, "Button", BS_PUSHBUTTON, 0, 0, 10, 10
    CONTROL "OK", IDOK, "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 60, 30, 14
    CONTROL "Cancel", IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, 40, 60, 30, 14
END
301 DIALOGEX 0, 0, 50, 50
CAPTION "Inner"
BEGIN
    CONTROL "Cancel", IDCANCEL, "Button", BS_PUSHBUTTON, 0, 0, 10, 10
END
)rc";

// What the test dialog procedure saw, and how it behaves.
struct ProcLog {
    std::vector<int> commands;  // control ids of WM_COMMAND, in order
    int initDialogs = 0;
    int colorChanges = 0;
    bool ignoreCancel = false;
};
ProcLog g_log;

std::int16_t TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, std::int32_t) {
    switch (message) {
        case WM_INITDIALOG:
            ++g_log.initDialogs;
            return 1;
        case WM_SYSCOLORCHANGE:
            ++g_log.colorChanges;
            return 0;
        case WM_COMMAND:
            g_log.commands.push_back(LOWORD(wParam));
            if (LOWORD(wParam) == 30) HS_Dialog(kInner, TestProc, nullptr, 1, 0);
            if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == IDCANCEL && !g_log.ignoreCancel)) HS_EndDialog(dialog);
            return 0;
        default:
            return 0;
    }
}

class SimDialog : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::SetResourceScript(kScript);
        g_log = ProcLog();
        layers_ = sim::LayerMenu();
        host_ = sim::CreateHostWindow(&layers_);
    }
    void TearDown() override {
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
    }
    // Opens the test dialog and runs `body` as the user.
    void Run(const std::function<void(HWND)>& body, std::function<void(HWND)> inner = nullptr) {
        sim::CallbackUser user;
        user.onDialog = [&](HWND dialog) {
            if (sim::DialogTemplateId(dialog) == kInner) {
                if (inner) inner(dialog);
                return;
            }
            body(dialog);
        };
        sim::SetUser(&user);
        EXPECT_EQ(HS_Dialog(kDialog, TestProc, host_, 1, 0), 1);
        sim::SetUser(nullptr);
    }

    sim::LayerMenu layers_;
    HWND host_ = nullptr;
};

TEST_F(SimDialog, PlacesTheDialogAndItsControlsInPixels) {
    Run([&](HWND dialog) {
        RECT outer = sim::DialogRect(dialog);
        // x 10 du = 15 px, y 20 du = 32.5 px rounded away from zero
        EXPECT_EQ(outer.left, 15);
        EXPECT_EQ(outer.top, 33);
        EXPECT_EQ(outer.right - outer.left, 150 + 6);       // 100 du wide, plus two borders
        EXPECT_EQ(outer.bottom - outer.top, 130 + 19 + 6);  // 80 du high, plus caption and borders
        RECT edit{};
        ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog, 11), &edit));
        EXPECT_EQ(edit.left, outer.left + 3 + 6);
        EXPECT_EQ(edit.top, outer.top + 3 + 19 + 33);  // 20 du = 32.5 px -> 33
        EXPECT_EQ(edit.bottom - edit.top, 20);         // 12 du = 19.5 px -> 20
        EXPECT_TRUE(MoveWindow(dialog, 200, 100, 50, 40, TRUE));
        RECT moved = sim::DialogRect(dialog);
        EXPECT_EQ(moved.left, 200);
        EXPECT_EQ(moved.bottom, 140);
        EXPECT_EQ(sim::WindowCaption(dialog), "Test");
    });
}

TEST_F(SimDialog, ClicksCycleBoxesAsWindowsDoes) {
    struct Row {
        int id;
        std::vector<int> states;  // after each click
    };
    const Row kRows[] = {
        {12, {1, 0, 1}},     // automatic check box: unchecked <-> checked
        {13, {1, 2, 0, 1}},  // automatic three-state: unchecked, checked, indeterminate, round again
        {21, {0, 0}},        // plain check box: the program changes it, not the click
    };
    Run([&](HWND dialog) {
        for (const Row& row : kRows) {
            for (std::size_t i = 0; i < row.states.size(); ++i) {
                EXPECT_EQ(sim::Click(dialog, row.id), "");
                EXPECT_EQ(sim::ControlState(dialog, row.id), row.states[i]) << "control " << row.id << " click " << i;
            }
        }
        EXPECT_EQ(HS_GetDlgItemVal(dialog, 13, HS_KIND_TRISTATE), 1);
    });
    // Each click told the dialog, with its id.
    EXPECT_EQ(std::count(g_log.commands.begin(), g_log.commands.end(), 13), 4);
    EXPECT_EQ(std::count(g_log.commands.begin(), g_log.commands.end(), 21), 2);
}

TEST_F(SimDialog, SetStateClicksUntilTheStateIsReached) {
    Run([&](HWND dialog) {
        EXPECT_EQ(sim::SetState(dialog, 13, 2), "");
        EXPECT_EQ(sim::ControlState(dialog, 13), 2);
        EXPECT_EQ(sim::SetState(dialog, 13, 1), "");  // 2 -> 0 -> 1
        EXPECT_EQ(sim::ControlState(dialog, 13), 1);
        EXPECT_NE(sim::SetState(dialog, 12, 2), "");  // a two-state box never gets there
        EXPECT_NE(sim::SetState(dialog, 21, 1), "");  // nor a box only the program changes
        EXPECT_NE(sim::SetState(dialog, 11, 1), "");  // an edit has no state
    });
}

TEST_F(SimDialog, ARadioClickClearsOnlyItsOwnGroup) {
    Run([&](HWND dialog) {
        auto states = [&] {
            std::vector<int> s;
            for (int id = 14; id <= 17; ++id) s.push_back(*sim::ControlState(dialog, id));
            return s;
        };
        ASSERT_EQ(sim::Click(dialog, 16), "");
        EXPECT_EQ(states(), (std::vector<int>{0, 0, 1, 0}));
        ASSERT_EQ(sim::Click(dialog, 14), "");
        EXPECT_EQ(states(), (std::vector<int>{1, 0, 1, 0}));  // 16 is in the next group
        ASSERT_EQ(sim::Click(dialog, 15), "");
        EXPECT_EQ(states(), (std::vector<int>{0, 1, 1, 0}));
        ASSERT_EQ(sim::Click(dialog, 17), "");
        EXPECT_EQ(states(), (std::vector<int>{0, 1, 0, 1}));
        EXPECT_EQ(HS_GetDlgItemVal(dialog, 15, HS_KIND_RADIO), 1);
        EXPECT_EQ(HS_GetDlgItemVal(dialog, 14, HS_KIND_RADIO), 0);
    });
}

TEST_F(SimDialog, RefusesWhatAUserCouldNotDo) {
    struct Row {
        const char* action;
        int id;
        const char* reason;  // part of the refusal
    };
    const Row kRows[] = {
        {"click", 18, "hidden"},      // template without WS_VISIBLE
        {"click", 19, "disabled"},    // template with WS_DISABLED
        {"click", 99, "no control"},  // not in the dialog
        {"click", 20, "group box"},   // a group box is not a button
        {"click", 10, "static"},      // nor is a label
        {"click", 11, "edit"},        // nor an edit
        {"type", 12, "not an edit"},  // typing into a check box
        {"type", 22, "digits"},       // letters into a digits-only edit
        {"state", 19, "disabled"},    // SetState obeys the same rules
    };
    Run([&](HWND dialog) {
        for (const Row& row : kRows) {
            std::string why = std::string(row.action) == "click"  ? sim::Click(dialog, row.id)
                              : std::string(row.action) == "type" ? sim::Type(dialog, row.id, "x")
                                                                  : sim::SetState(dialog, row.id, 1);
            EXPECT_NE(why.find(row.reason), std::string::npos)
                << row.action << " " << row.id << ": got \"" << why << "\", expected it to say " << row.reason;
        }
        EXPECT_EQ(sim::ControlState(dialog, 19), 0);
        HS_EnableDlgItem(dialog, 19, 1);
        EXPECT_EQ(sim::Click(dialog, 19), "");
        ShowWindow(GetDlgItem(dialog, 12), SW_HIDE);
        EXPECT_NE(sim::Click(dialog, 12), "");
        EXPECT_EQ(sim::ControlVisible(dialog, 12), false);
        EXPECT_EQ(sim::Click(dialog, IDOK), "");
        EXPECT_NE(sim::Click(dialog, IDCANCEL).find("ended"), std::string::npos);  // nothing after the end
    });
    EXPECT_EQ(std::count(g_log.commands.begin(), g_log.commands.end(), 18), 0);
    EXPECT_EQ(std::count(g_log.commands.begin(), g_log.commands.end(), IDCANCEL), 0);
}

TEST_F(SimDialog, TypingObeysTheLimitAndTheProgramDoesNot) {
    Run([&](HWND dialog) {
        EXPECT_EQ(sim::Type(dialog, 11, std::string(30005, 'a')), "");
        EXPECT_EQ(sim::ControlText(dialog, 11)->size(), 30000u);  // the default limit
        SendDlgItemMessageA(dialog, 11, EM_LIMITTEXT, 5, 0);
        EXPECT_EQ(sim::Type(dialog, 11, "abcdefgh"), "");
        EXPECT_EQ(sim::ControlText(dialog, 11), "abcde");
        EXPECT_EQ(sim::FocusedControl(dialog), 11);  // typing moves the focus there
        HS_SetDlgString(dialog, 11, "0123456789");
        EXPECT_EQ(sim::ControlText(dialog, 11), "0123456789");
        SendDlgItemMessageA(dialog, 11, EM_LIMITTEXT, 0, 0);  // 0: as much as an edit holds
        EXPECT_EQ(sim::Controls(dialog)[1].limit, 0x7FFFFFFE);
        SendDlgItemMessageA(dialog, 11, EM_SETSEL, 0, -1);
        EXPECT_EQ(sim::Controls(dialog)[1].selStart, 0);
        EXPECT_EQ(sim::Controls(dialog)[1].selEnd, -1);
        EXPECT_EQ(sim::Type(dialog, 22, "123"), "");
    });
}

TEST_F(SimDialog, ReadsAnEditAsASigned16BitNumber) {
    struct Row {
        const char* text;
        std::int16_t value;
    };
    const Row kRows[] = {
        {"12", 12},          // plain
        {"  -7", -7},        // leading blanks and a sign
        {"+5", 5},           // plus sign
        {"5  ", 5},          // trailing blanks, as Windows allows
        {"12abc", 0},        // trailing text spoils it
        {"", 0},             // empty
        {"-", 0},            // a sign alone
        {"1 2", 0},          // two numbers
        {"32767", 32767},    // the largest 16-bit number
        {"32768", -32768},   // one more wraps
        {"70000", 4464},     // 70000 - 65536
        {"-40000", 25536},   // -40000 + 65536
        {"2147483647", -1},  // the largest 32-bit number, low 16 bits
        {"2147483648", 0},   // beyond 32 bits reads as nothing
        {"99999999999", 0},  // far beyond
    };
    Run([&](HWND dialog) {
        for (const Row& row : kRows) {
            HS_SetDlgString(dialog, 11, row.text);
            EXPECT_EQ(HS_GetDlgItemVal(dialog, 11, HS_KIND_NUMBER), row.value) << "text \"" << row.text << "\"";
        }
        HS_SetDlgItemVal(dialog, 11, HS_KIND_NUMBER, -12);
        EXPECT_EQ(sim::ControlText(dialog, 11), "-12");
    });
}

TEST_F(SimDialog, SetsAndReadsBoxStatesThroughTheServices) {
    struct Row {
        int id;
        std::int16_t kind, value;
        int state;  // what the box then shows
    };
    const Row kRows[] = {
        {13, HS_KIND_CHECKBOX, 2, 2},  // a three-state box takes indeterminate
        {13, HS_KIND_CHECKBOX, 0, 0}, {12, HS_KIND_CHECKBOX, 1, 1},
        {12, HS_KIND_CHECKBOX, 2, 1},  // a two-state box cannot hold 2; Windows makes it checked
        {14, HS_KIND_RADIO, 5, 1},     // any nonzero selects
        {14, HS_KIND_RADIO, 0, 0},
    };
    Run([&](HWND dialog) {
        for (const Row& row : kRows) {
            EXPECT_EQ(HS_SetDlgItemVal(dialog, row.id, row.kind, row.value), 1);
            EXPECT_EQ(sim::ControlState(dialog, row.id), row.state)
                << "control " << row.id << " kind " << row.kind << " value " << row.value;
            EXPECT_EQ(SendDlgItemMessageA(dialog, row.id, BM_GETCHECK, 0, 0), row.state);
        }
        EXPECT_EQ(HS_GetDlgItemVal(dialog, 99, HS_KIND_CHECKBOX), 0);  // no such control
    });
}

TEST_F(SimDialog, CopiesAtMostTheAskedCharactersAndAZero) {
    Run([&](HWND dialog) {
        HS_SetDlgString(dialog, 11, "abcdef");
        char buffer[8];
        std::memset(buffer, 0xbd, sizeof buffer);
        EXPECT_EQ(HS_GetDlgString(dialog, 11, buffer, 3), 1);
        EXPECT_STREQ(buffer, "abc");
        EXPECT_EQ(static_cast<unsigned char>(buffer[4]), 0xbd);  // nothing written past the zero
        std::memset(buffer, 0xbd, sizeof buffer);
        EXPECT_EQ(HS_GetDlgString(dialog, 11, buffer, 7), 1);
        EXPECT_STREQ(buffer, "abcdef");
        EXPECT_EQ(static_cast<unsigned char>(buffer[7]), 0xbd);
        EXPECT_EQ(HS_GetDlgString(dialog, 11, buffer, 0), 1);
        EXPECT_STREQ(buffer, "");
    });
}

TEST_F(SimDialog, FocusGoesToTheFirstTabStopUnlessMoved) {
    Run([&](HWND dialog) {
        EXPECT_EQ(sim::FocusedControl(dialog), 11);
        HS_SetDlgFocus(dialog, 13);
        EXPECT_EQ(sim::FocusedControl(dialog), 13);
        EXPECT_EQ(g_log.initDialogs, 1);
    });
}

// A procedure put in front of the dialog's own, as a plug-in subclasses it.
WNDPROC g_previous = nullptr;
int g_subclassSeen = 0;
LRESULT CALLBACK RedLabels(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ++g_subclassSeen;
    if (message == WM_CTLCOLORSTATIC && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == 10) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(128, 0, 0));
        return 1;
    }
    return CallWindowProcA(g_previous, window, message, wParam, lParam);
}

TEST_F(SimDialog, SubclassingPutsAProcedureInFrontAndBackAgain) {
    Run([&](HWND dialog) {
        EXPECT_EQ(sim::Subclassings(), 0);
        g_subclassSeen = 0;
        g_previous =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RedLabels)));
        ASSERT_NE(g_previous, nullptr);
        EXPECT_EQ(sim::Subclassings(), 1);
        EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RedLabels));

        // The front procedure answers for its label; everything else reaches the
        // dialog's own procedure and its default colours.
        EXPECT_EQ(sim::ControlTextColor(dialog, 10), RGB(128, 0, 0));
        EXPECT_EQ(sim::ControlTextColor(dialog, 12), GetSysColor(COLOR_WINDOWTEXT));
        EXPECT_EQ(sim::ControlTextColor(dialog, 23), GetSysColor(COLOR_GRAYTEXT));  // disabled label
        EXPECT_EQ(sim::Click(dialog, 12), "");
        EXPECT_EQ(g_log.commands.back(), 12);  // passed through to the dialog procedure
        EXPECT_GE(g_subclassSeen, 4);
        EXPECT_EQ(sim::LiveDCs(), 0);  // every colour question gave its display context back

        sim::SetSysColor(COLOR_WINDOWTEXT, RGB(0, 0, 200));
        EXPECT_EQ(g_log.colorChanges, 1);
        EXPECT_EQ(sim::ControlTextColor(dialog, 12), RGB(0, 0, 200));

        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
        EXPECT_EQ(sim::Subclassings(), 0);
        EXPECT_EQ(sim::ControlTextColor(dialog, 10), RGB(0, 0, 200));
    });
}

TEST_F(SimDialog, AUserWhoGivesUpCancelsAndAStuckDialogIsClosedAnyway) {
    Run([](HWND) {});
    EXPECT_EQ(g_log.commands, std::vector<int>{IDCANCEL});
    EXPECT_EQ(sim::ActiveDialog(), nullptr);

    g_log = ProcLog();
    g_log.ignoreCancel = true;  // a procedure that never ends on Cancel
    HWND seen = nullptr;
    Run([&](HWND dialog) { seen = dialog; });
    EXPECT_EQ(g_log.commands, std::vector<int>{IDCANCEL});
    EXPECT_EQ(sim::ActiveDialog(), nullptr);
    EXPECT_TRUE(sim::DialogEnded(seen));  // destroyed

    EXPECT_EQ(HS_Dialog(999, TestProc, host_, 1, 0), -1);  // no such template
}

TEST_F(SimDialog, TheCloseBoxIsCancelUnlessCancelIsDisabled) {
    Run([&](HWND dialog) {
        HS_EnableDlgItem(dialog, IDCANCEL, 0);
        EXPECT_EQ(sim::Close(dialog), "");
        EXPECT_FALSE(sim::DialogEnded(dialog));
        HS_EnableDlgItem(dialog, IDCANCEL, 1);
        EXPECT_EQ(sim::Close(dialog), "");
        EXPECT_TRUE(sim::DialogEnded(dialog));
        EXPECT_NE(sim::Close(dialog), "");
    });
    EXPECT_EQ(g_log.commands, std::vector<int>{IDCANCEL});
}

TEST_F(SimDialog, DialogsNest) {
    HWND outer = nullptr, innerSeen = nullptr;
    Run(
        [&](HWND dialog) {
            outer = dialog;
            EXPECT_EQ(sim::Click(dialog, 30), "");  // its procedure opens dialog 301
            EXPECT_EQ(sim::ActiveDialog(), dialog);
            EXPECT_EQ(sim::Click(dialog, IDOK), "");
        },
        [&](HWND inner) {
            innerSeen = inner;
            EXPECT_EQ(sim::ActiveDialog(), inner);
            EXPECT_EQ(sim::Close(inner), "");
        });
    ASSERT_NE(innerSeen, nullptr);
    EXPECT_NE(innerSeen, outer);
    EXPECT_EQ(g_log.commands, (std::vector<int>{30, IDCANCEL, IDOK}));
    EXPECT_EQ(sim::ActiveDialog(), nullptr);
}

TEST_F(SimDialog, RendersWhatThePersonSees) {
    Run([&](HWND dialog) {
        sim::Click(dialog, 12);
        sim::Type(dialog, 11, "abc");
        std::string picture = sim::Render(dialog);
        for (const char* part : {"Test", "[x] Box", "[ ] Tri", "[abc]", "Off (disabled)", "< OK >"}) {
            EXPECT_NE(picture.find(part), std::string::npos) << "missing " << part << " in\n" << picture;
        }
        EXPECT_EQ(picture.find("Hidden"), std::string::npos) << picture;
    });
}

TEST(SimMessageBox, TakesOnlyAnswersTheBoxHas) {
    struct Row {
        UINT type;
        int answer;    // the user's; 0: no user at all
        int expected;  // what MessageBoxA returns
    };
    const Row kRows[] = {
        {MB_OK | MB_ICONERROR, IDOK, IDOK},
        {MB_OK, IDYES, IDOK},  // no Yes on an OK box: the neutral answer
        {MB_YESNO | MB_ICONWARNING, IDYES, IDYES},
        {MB_YESNO, IDNO, IDNO},
        {MB_YESNO, IDOK, IDNO},  // no OK on a Yes/No box
        {MB_OKCANCEL, IDCANCEL, IDCANCEL},
        {MB_YESNO, 0, IDNO},  // nobody there
        {MB_OKCANCEL, 0, IDCANCEL},
        {MB_OK, 0, IDOK},
    };
    for (const Row& row : kRows) {
        sim::Reset();
        sim::CallbackUser user;
        user.onMessageBox = [&](const sim::MessageBoxInfo& box) {
            EXPECT_EQ(box.text, "text");
            EXPECT_EQ(sim::MessageBoxes().size(), 1u);  // logged while it is up
            return row.answer;
        };
        if (row.answer != 0) sim::SetUser(&user);
        EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", row.type), row.expected)
            << "type " << row.type << " answered " << row.answer;
        ASSERT_EQ(sim::MessageBoxes().size(), 1u);
        EXPECT_EQ(sim::MessageBoxes()[0].caption, "caption");
        EXPECT_EQ(sim::MessageBoxes()[0].type, row.type);
        EXPECT_EQ(sim::MessageBoxes()[0].answer, row.expected);
    }
    sim::Reset();
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

}  // namespace
