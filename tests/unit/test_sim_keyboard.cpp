// The keyboard of the simulated dialog manager where scripts cannot reach:
// key names, the edit control's rules, the default id, mnemonics, focus
// that loses its control, and message boxes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/sim/sim.h"
#include "shell/host_services.h"

extern "C" const char OrvoResourceScript[];

namespace {

constexpr int kDialog = 400;

const char kScript[] = R"rc(
400 DIALOGEX 0, 0, 100, 80
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Keys"
BEGIN
    CONTROL "&Name:", 10, "Static", SS_LEFT, 0, 0, 40, 8
    CONTROL "", 11, "Edit", ES_LEFT | WS_TABSTOP, 0, 10, 40, 12
    CONTROL "", 12, "Edit", ES_NUMBER | WS_TABSTOP, 0, 24, 40, 12
    CONTROL "Fish && &Chips", 13, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 36, 40, 10
    CONTROL "&Cat", 14, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 48, 40, 10
    CONTROL "Gone", 15, "Button", BS_PUSHBUTTON | WS_TABSTOP | NOT WS_VISIBLE, 0, 0, 10, 10
    CONTROL "Off", 16, "Button", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0, 0, 10, 10
    CONTROL "&Apply", 17, "Button", BS_PUSHBUTTON | WS_TABSTOP, 50, 60, 30, 14
    CONTROL "OK", IDOK, "Button", BS_PUSHBUTTON | WS_TABSTOP, 0, 60, 30, 14
    CONTROL "Cancel", IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, 40, 60, 30, 14
END
)rc";

std::vector<std::pair<int, int>> g_commands;  // id, notification

std::int16_t KeysProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, std::int32_t) {
    if (message == WM_INITDIALOG) return 1;
    if (message == WM_COMMAND) {
        g_commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        if (LOWORD(wParam) == IDCANCEL) HS_EndDialog(dialog);
    }
    return 0;
}

sim::KeyStroke Key(const char* name) {
    sim::KeyStroke stroke;
    std::string error;
    EXPECT_TRUE(sim::ParseKeyStroke(name, &stroke, &error)) << name << ": " << error;
    return stroke;
}

class SimKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::SetResourceScript(kScript);
        g_commands.clear();
    }
    void TearDown() override {
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
    }
    void Run(const std::function<void(HWND)>& body) {
        sim::CallbackUser user;
        user.onDialog = [&](HWND dialog) {
            body(dialog);
            if (!sim::DialogEnded(dialog)) sim::Close(dialog);
        };
        sim::SetUser(&user);
        HS_Dialog(kDialog, KeysProc, sim::CreateHostWindow(nullptr), 1, 0);
        sim::SetUser(nullptr);
    }
    static void Press(HWND dialog, std::initializer_list<const char*> names) {
        for (const char* name : names) ASSERT_EQ(sim::PressKey(dialog, Key(name)), "") << name;
    }
    static void Type(HWND dialog, const char* text) {
        for (const sim::KeyStroke& key : sim::KeyStrokesTyping(text)) ASSERT_EQ(sim::PressKey(dialog, key), "");
    }
    static int Caret(HWND dialog, int id) {
        for (const sim::ControlInfo& info : sim::Controls(dialog)) {
            if (info.id == id) return info.caret;
        }
        return -1;
    }
};

TEST(KeyNames, NamesModifiersAndCharacters) {
    sim::KeyStroke key;
    std::string error;
    ASSERT_TRUE(sim::ParseKeyStroke("shift+TAB", &key, &error));
    EXPECT_EQ(key.key, VK_TAB);
    EXPECT_TRUE(key.shift);
    EXPECT_EQ(sim::KeyStrokeName(key), "Shift+Tab");
    ASSERT_TRUE(sim::ParseKeyStroke("Alt+r", &key, &error));
    EXPECT_EQ(key.key, 'R');
    EXPECT_TRUE(key.alt);
    EXPECT_EQ(sim::KeyStrokeName(key), "Alt+r");
    ASSERT_TRUE(sim::ParseKeyStroke("A", &key, &error));
    EXPECT_EQ(key.character, 'A');
    EXPECT_TRUE(key.shift);
    ASSERT_TRUE(sim::ParseKeyStroke("Shift+a", &key, &error));
    EXPECT_EQ(key.character, 'A');
    ASSERT_TRUE(sim::ParseKeyStroke(".", &key, &error));
    EXPECT_EQ(key.character, '.');
    EXPECT_EQ(key.key, 0);
    ASSERT_TRUE(sim::ParseKeyStroke("+", &key, &error));  // a plus alone is the character
    EXPECT_EQ(key.character, '+');
    ASSERT_TRUE(sim::ParseKeyStroke("Esc", &key, &error));
    EXPECT_EQ(sim::KeyStrokeName(key), "Escape");
    ASSERT_TRUE(sim::ParseKeyStroke("space", &key, &error));
    EXPECT_EQ(key.character, ' ');

    for (const char* bad : {"Ctrl+C", "Alt+Tab", "Alt+.", "F5", "Hyper+A", ""}) {
        error.clear();
        EXPECT_FALSE(sim::ParseKeyStroke(bad, &key, &error)) << bad;
        EXPECT_NE(error, "") << bad;
    }
    std::vector<sim::KeyStroke> typed = sim::KeyStrokesTyping("a B");
    ASSERT_EQ(typed.size(), 3u);
    EXPECT_EQ(typed[1].key, VK_SPACE);
    EXPECT_TRUE(typed[2].shift);
}

TEST_F(SimKeyboard, EditingKeepsTheLimitTheDigitsStyleAndTellsTheDialog) {
    Run([&](HWND dialog) {
        SendDlgItemMessageA(dialog, 11, EM_LIMITTEXT, 4, 0);
        EXPECT_EQ(sim::FocusedControl(dialog), 11);
        Type(dialog, "abcdef");
        EXPECT_EQ(sim::ControlText(dialog, 11), "abcd");
        EXPECT_EQ(Caret(dialog, 11), 4);
        // A selection makes room: Shift+Left twice, then one character.
        Press(dialog, {"Shift+Left", "Shift+Left", "x"});
        EXPECT_EQ(sim::ControlText(dialog, 11), "abx");
        Press(dialog, {"Home", "Right", "Delete", "End", "Backspace"});
        EXPECT_EQ(sim::ControlText(dialog, 11), "a");
        int changes = 0;
        for (auto [id, code] : g_commands) changes += id == 11 && code == EN_CHANGE;
        EXPECT_EQ(changes, 7);  // a b c d, x, the two deletions; nothing for the refused keys
        // Backspace at the start and Delete at the end change nothing.
        Press(dialog, {"End", "Delete", "Home", "Backspace"});
        EXPECT_EQ(sim::ControlText(dialog, 11), "a");

        Press(dialog, {"Tab"});
        EXPECT_EQ(sim::FocusedControl(dialog), 12);
        Type(dialog, "1a2");
        EXPECT_EQ(sim::ControlText(dialog, 12), "12");
        // EM_SETSEL with -1 drops the selection at the caret.
        SendDlgItemMessageA(dialog, 12, EM_SETSEL, 0, -1);
        SendDlgItemMessageA(dialog, 12, EM_SETSEL, static_cast<WPARAM>(-1), 0);
        Type(dialog, "3");
        EXPECT_EQ(sim::ControlText(dialog, 12), "123");
    });
}

TEST_F(SimKeyboard, TabSkipsHiddenAndDisabledControlsAndWraps) {
    Run([&](HWND dialog) {
        std::vector<int> order;
        for (int i = 0; i < 8; ++i) {
            Press(dialog, {"Tab"});
            order.push_back(sim::FocusedControl(dialog));
        }
        EXPECT_EQ(order, (std::vector<int>{12, 13, 14, 17, IDOK, IDCANCEL, 11, 12}));
        // Tabbing into an edit selects its text; typing replaces it.
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 11)), TRUE);
        Type(dialog, "one");
        Press(dialog, {"Tab", "Shift+Tab"});
        Type(dialog, "two");
        EXPECT_EQ(sim::ControlText(dialog, 11), "two");
        // A disabled focus leaves the dialog without one; Tab starts over.
        HS_EnableDlgItem(dialog, 11, 0);
        EXPECT_EQ(sim::FocusedControl(dialog), 0);
        Press(dialog, {"Tab"});
        EXPECT_EQ(sim::FocusedControl(dialog), 12);
        Press(dialog, {"Tab", "Tab"});
        EXPECT_EQ(sim::FocusedControl(dialog), 14);
        // Hiding the focused control hands the focus to the first tab stop.
        ShowWindow(GetDlgItem(dialog, 14), SW_HIDE);
        EXPECT_EQ(sim::FocusedControl(dialog), 12);
    });
}

TEST_F(SimKeyboard, EnterFollowsTheFocusedButtonThenTheDefaultId) {
    Run([&](HWND dialog) {
        // No default push button in the template: the default id is IDOK.
        EXPECT_EQ(HIWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), DC_HASDEFID);
        EXPECT_EQ(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDOK);
        Press(dialog, {"Enter"});
        EXPECT_EQ(g_commands.back().first, IDOK);
        // A push button reached by the keyboard is the default while focused.
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 17)), TRUE);
        EXPECT_EQ(sim::DefaultButton(dialog), 17);
        Press(dialog, {"Enter"});
        EXPECT_EQ(g_commands.back().first, 17);
        // Back on an edit, the default id's button has the border again.
        Press(dialog, {"Tab", "Tab", "Tab", "Tab"});
        EXPECT_EQ(sim::FocusedControl(dialog), 12);
        EXPECT_EQ(sim::DefaultButton(dialog), IDOK);
        SendMessageA(dialog, DM_SETDEFID, 17, 0);
        EXPECT_EQ(sim::DefaultButton(dialog), 17);
        Press(dialog, {"Enter"});
        EXPECT_EQ(g_commands.back().first, 17);
        // A disabled default button takes no Enter.
        HS_EnableDlgItem(dialog, 17, 0);
        g_commands.clear();
        Press(dialog, {"Enter"});
        EXPECT_TRUE(g_commands.empty());
        Press(dialog, {"Escape"});
        EXPECT_TRUE(sim::DialogEnded(dialog));
    });
    EXPECT_EQ(g_commands.back().first, IDCANCEL);
}

TEST_F(SimKeyboard, MnemonicsSearchOnFromTheFocusAndSkipDoubledAmpersands) {
    Run([&](HWND dialog) {
        // Two captions have &C; the search starts at the focused control.
        Press(dialog, {"Alt+C"});
        EXPECT_EQ(sim::FocusedControl(dialog), 13);
        EXPECT_EQ(sim::ControlState(dialog, 13), 1);
        Press(dialog, {"Tab", "c"});  // a plain letter where no edit has the focus
        EXPECT_EQ(sim::FocusedControl(dialog), 14);
        EXPECT_EQ(sim::ControlState(dialog, 14), 1);
        EXPECT_EQ(sim::ControlState(dialog, 13), 1);
        // "&&" is a plain ampersand: "Fish && &Chips" has no &F... or &&.
        Press(dialog, {"f"});
        EXPECT_EQ(sim::FocusedControl(dialog), 14);
        // A label's letter hands the focus to the tab stop after it; in the
        // edit a plain letter types, Alt+letter is still a mnemonic.
        Press(dialog, {"Alt+N"});
        EXPECT_EQ(sim::FocusedControl(dialog), 11);
        Press(dialog, {"a"});
        EXPECT_EQ(sim::ControlText(dialog, 11), "a");
        Press(dialog, {"Alt+A"});
        EXPECT_EQ(g_commands.back().first, 17);
        EXPECT_EQ(sim::FocusedControl(dialog), 17);
        // A click with the mouse gives the focus but not the default border.
        EXPECT_EQ(sim::DefaultButton(dialog), IDOK);
        // A hidden or disabled caption is passed over.
        ShowWindow(GetDlgItem(dialog, 14), SW_HIDE);
        HS_EnableDlgItem(dialog, 13, 0);
        g_commands.clear();
        Press(dialog, {"Alt+C"});
        EXPECT_TRUE(g_commands.empty());
    });
}

TEST(SimMessageBoxKeys, ButtonsFocusEscapeAndLeftoverKeys) {
    auto press = [](UINT type, std::initializer_list<const char*> names, int* answer) {
        sim::MessageBoxInfo box;
        box.text = "Sure?";
        box.type = type;
        std::vector<sim::KeyStroke> keys;
        for (const char* name : names) keys.push_back(Key(name));
        return sim::PressMessageBoxKeys(box, keys, answer);
    };
    int answer = 0;
    EXPECT_EQ(press(MB_OKCANCEL, {"Tab", "Enter"}, &answer), "");
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(press(MB_OKCANCEL, {"Right", "Left", "Space"}, &answer), "");
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(press(MB_OKCANCEL, {"Escape"}, &answer), "");
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(press(MB_OK, {"Escape"}, &answer), "");
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(press(MB_YESNO, {"Shift+Tab", "Enter"}, &answer), "");
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(press(MB_YESNO, {"Alt+Y"}, &answer), "");
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(press(MB_YESNO, {"n"}, &answer), "");
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(press(MB_YESNO, {"Escape"}, &answer), "");
    EXPECT_EQ(answer, IDNO);
    // OK and Cancel have no letter; keys that leave the box open, or keys
    // after the one that closed it, are refused with no answer.
    EXPECT_NE(press(MB_OKCANCEL, {"o", "c"}, &answer), "");
    EXPECT_EQ(answer, 0);
    EXPECT_NE(press(MB_YESNO, {"y", "Tab"}, &answer), "");
    EXPECT_EQ(answer, 0);
}

}  // namespace
