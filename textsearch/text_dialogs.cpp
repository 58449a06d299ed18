// The text command: the setup dialog takes the options, the results dialog
// runs the search and asks the user about every match.
#include "textsearch/text_dialogs.h"

#include <cstring>

#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/commands.h"
#include "shell/dialog_utils.h"
#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/matcher.h"
#include "textsearch/walker.h"

namespace {

constexpr std::int16_t kStringLimit = kPrefsStringSize - 1;

// Element check boxes in the order of the record's element switches.
constexpr std::int16_t kElementBoxes[kElementSwitchCount] = {
    IDC_SETUP_PAGE_TEXT,   IDC_SETUP_MEASURE_TEXT, IDC_SETUP_EXPRESSIONS, IDC_SETUP_STAFF_NAMES,
    IDC_SETUP_GROUP_NAMES, IDC_SETUP_TEXT_REPEATS, IDC_SETUP_ENDINGS,     IDC_SETUP_LYRICS,
};

// Buttons that leave the screen at the summary, and while replacing all.
constexpr std::int16_t kSummaryHidden[] = {IDC_RESULTS_YES, IDC_RESULTS_NO, IDC_RESULTS_YES_ALL, IDC_RESULTS_NEXT,
                                           IDCANCEL};
constexpr std::int16_t kReplaceAllHidden[] = {IDC_RESULTS_YES, IDC_RESULTS_NO, IDC_RESULTS_YES_ALL, IDCANCEL};

// The bold face of the results text, 8 points at the screen's resolution.
constexpr int kResultsFontPoints = 8;
constexpr char kResultsFontFace[] = "MS Sans Serif";

std::int16_t Checked(HWND dialog, std::int16_t id) {
    return HS_GetDlgItemVal(dialog, id, HS_KIND_CHECKBOX) != 0 ? 1 : 0;
}

// A stored switch may hold any nonzero value; the box only knows checked.
void SetChecked(HWND dialog, std::int16_t id, std::int16_t value) {
    HS_SetDlgItemVal(dialog, id, HS_KIND_CHECKBOX, value != 0 ? 1 : 0);
}

void FocusAndSelect(HWND dialog, std::int16_t id) {
    HS_SetDlgFocus(dialog, id);
    SelectAllText(dialog, id);
}

void EndSetup(HWND dialog) {
    SaveDialogPosition(dialog, &g_plugin.prefs.setupLeft, &g_plugin.prefs.setupTop);
    HS_EndDialog(dialog);
}

void CreateResultsFont(HWND dialog) {
    if (g_plugin.resultsFont != nullptr) DeleteObject(g_plugin.resultsFont);
    HDC dc = GetDC(dialog);
    int height = -MulDiv(kResultsFontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72);
    g_plugin.resultsFont =
        CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, kResultsFontFace);
    ReleaseDC(dialog, dc);
    SendDlgItemMessageA(dialog, IDC_RESULTS_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(g_plugin.resultsFont), TRUE);
}

// What the results dialog owns goes with it, however it ends.
void ReleaseResults() {
    FreeText(g_plugin.text.textCopy);
    g_plugin.text.textCopy = nullptr;
    if (g_plugin.resultsFont != nullptr) {
        DeleteObject(g_plugin.resultsFont);
        g_plugin.resultsFont = nullptr;
    }
}

void EndResults(HWND dialog) {
    ReleaseResults();
    SaveDialogPosition(dialog, &g_plugin.prefs.resultsLeft, &g_plugin.prefs.resultsTop);
    HS_EndDialog(dialog);
    g_plugin.text.resultsDialog = nullptr;
}

void SetLine(std::int16_t id, const char* text) { HS_SetDlgString(g_plugin.text.resultsDialog, id, text); }

}  // namespace

// ---- Setup dialog -----------------------------------------------------------

void FillTextSetup(HWND dialog) {
    const TextSearchPrefs& prefs = g_plugin.prefs;
    HS_SetDlgString(dialog, IDC_SETUP_SEARCH, prefs.searchString);
    HS_SetDlgString(dialog, IDC_SETUP_REPLACE, prefs.replaceString);
    SetChecked(dialog, IDC_SETUP_REPLACE_ON, prefs.replaceSwitch);
    SetChecked(dialog, IDC_SETUP_CASE, prefs.caseSensitive);
    SetChecked(dialog, IDC_SETUP_TAGS, prefs.searchTags);
    for (int i = 0; i < kElementSwitchCount; ++i) SetChecked(dialog, kElementBoxes[i], prefs.elementSwitch[i]);
}

std::int16_t SyncReplaceEdit(HWND dialog) {
    std::int16_t on = Checked(dialog, IDC_SETUP_REPLACE_ON);
    HS_EnableDlgItem(dialog, IDC_SETUP_REPLACE, on);
    return on;
}

std::int16_t AcceptTextSetup(HWND dialog) {
    std::int16_t elements[kElementSwitchCount];
    bool anyElement = false;
    for (int i = 0; i < kElementSwitchCount; ++i) {
        elements[i] = HS_GetDlgItemVal(dialog, kElementBoxes[i], HS_KIND_CHECKBOX);
        anyElement = anyElement || elements[i] != 0;
    }
    if (!anyElement) {
        MessageBoxA(dialog, kNoElementsText, kNoElementsCaption, MB_OK | MB_ICONERROR);
        return 0;
    }

    std::int16_t replaceOn = HS_GetDlgItemVal(dialog, IDC_SETUP_REPLACE_ON, HS_KIND_CHECKBOX);
    char search[kPrefsStringSize] = {};
    char replace[kPrefsStringSize] = {};
    HS_GetDlgString(dialog, IDC_SETUP_SEARCH, search, kStringLimit);
    HS_GetDlgString(dialog, IDC_SETUP_REPLACE, replace, kStringLimit);
    search[kStringLimit] = '\0';
    replace[kStringLimit] = '\0';

    if (search[0] == '\0') {
        MessageBoxA(dialog, kEmptySearchText, kEmptySearchCaption, MB_OK | MB_ICONERROR);
        FocusAndSelect(dialog, IDC_SETUP_SEARCH);
        return 0;
    }
    // Lyrics syllables are placed by character; a length change shifts them.
    if (replaceOn != 0 && elements[kElementSwitchCount - 1] != 0 && std::strlen(search) != std::strlen(replace)) {
        if (MessageBoxA(dialog, kLyricsWarningText, kLyricsWarningCaption, MB_YESNO | MB_ICONWARNING) != IDYES)
            return 0;
    }

    TextSearchPrefs& prefs = g_plugin.prefs;
    std::memcpy(prefs.searchString, search, sizeof prefs.searchString);
    std::memcpy(prefs.replaceString, replace, sizeof prefs.replaceString);
    prefs.replaceSwitch = replaceOn;
    prefs.caseSensitive = HS_GetDlgItemVal(dialog, IDC_SETUP_CASE, HS_KIND_CHECKBOX);
    prefs.searchTags = HS_GetDlgItemVal(dialog, IDC_SETUP_TAGS, HS_KIND_CHECKBOX);
    for (int i = 0; i < kElementSwitchCount; ++i) prefs.elementSwitch[i] = elements[i];
    return 1;
}

std::int16_t TextSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, std::int32_t) {
    if (message == WM_INITDIALOG) {
        RestoreDialogPosition(dialog, g_plugin.prefs.setupLeft, g_plugin.prefs.setupTop);
        LimitText(dialog, IDC_SETUP_SEARCH, kStringLimit);
        LimitText(dialog, IDC_SETUP_REPLACE, kStringLimit);
        FillTextSetup(dialog);
        SyncReplaceEdit(dialog);
        return 1;
    }
    if (message != WM_COMMAND) return 0;
    switch (LOWORD(wParam)) {
        case IDC_SETUP_REPLACE_ON:
            if (HIWORD(wParam) == BN_CLICKED && SyncReplaceEdit(dialog)) FocusAndSelect(dialog, IDC_SETUP_REPLACE);
            break;
        case IDOK:
            if (AcceptTextSetup(dialog)) {
                g_plugin.setupAccepted = 1;
                EndSetup(dialog);
            }
            break;
        case IDCANCEL:
            EndSetup(dialog);
            break;
        default:
            break;
    }
    return 0;
}

// ---- Results dialog ---------------------------------------------------------

void FormatMatchLocation(char* out) {
    const TextSearchState& t = g_plugin.text;
    const char* which = t.nameToggle != 0 ? kFullName : kAbbreviatedName;
    out[0] = '\0';
    switch (t.currentKind) {
        case PageTextBlocks: {
            int n = wsprintfA(out, kPageTextFormat, t.key2 + 1);
            if (t.key1 == 0)
                std::strcpy(out + n, kAllPagesSuffix);
            else
                wsprintfA(out + n, kOnPageFormat, t.key1);
            break;
        }
        case MeasureTextBlocks:
            wsprintfA(out, kMeasureTextFormat, t.key3 + 1, t.key2, t.key1);
            break;
        case TextExpressions:
            wsprintfA(out, kExpressionFormat, t.key1);
            break;
        case StaffNames:
            wsprintfA(out, kStaffNameFormat, which, t.key1);
            break;
        case GroupNames: {
            char system[32];
            if (t.key1 == 0)
                std::strcpy(system, kGlobalStaffSet);
            else
                wsprintfA(system, kStaffSystemFormat, t.key1);
            wsprintfA(out, kGroupNameFormat, which, t.key2, system);
            break;
        }
        case TextRepeats:
            wsprintfA(out, kTextRepeatFormat, t.key1);
            break;
        case EndingRepeats:
            wsprintfA(out, kEndingFormat, t.key1);
            break;
        case VerseLyrics:
            wsprintfA(out, kVerseFormat, t.key1);
            break;
        case ChorusLyrics:
            wsprintfA(out, kChorusFormat, t.key1);
            break;
        case SectionLyrics:
            wsprintfA(out, kSectionFormat, t.key1);
            break;
        default:
            break;
    }
}

void ShowMatch() {
    TextSearchState& t = g_plugin.text;
    char line[kLocationSize];
    ++t.foundCounter;
    SetLine(IDC_RESULTS_HEADING, kMatchHeading);
    FormatMatchLocation(line);
    SetLine(IDC_RESULTS_LOCATION, line);

    // A match whose text could not be copied has nothing to show.
    std::int16_t shown = t.matchPosition;
    if (g_plugin.prefs.searchTags != 0) {
        SetLine(IDC_RESULTS_TEXT, t.textCopy != nullptr ? t.textCopy : "");
    } else {
        char* display = t.textCopy != nullptr ? MakeDisplayText(&shown) : nullptr;
        SetLine(IDC_RESULTS_TEXT, display != nullptr ? display : "");
        FreeText(display);
    }

    wsprintfA(line, kPositionFormat, shown + 1);
    SetLine(IDC_RESULTS_POSITION, line);
    SetLine(IDC_RESULTS_REPLACED, "");
    SetLine(IDC_RESULTS_QUESTION, g_plugin.prefs.replaceSwitch != 0 ? kReplaceQuestion : "");
    t.matchAwaitingAnswer = 1;
}

void ShowSummary() {
    TextSearchState& t = g_plugin.text;
    t.matchAwaitingAnswer = 0;
    HWND dialog = t.resultsDialog;
    for (std::int16_t id : kSummaryHidden) ShowControl(dialog, id, 0);
    ShowControl(dialog, IDOK, 1);
    // The focus may have been on a button now hidden; OK takes it, and with
    // it the default border, so that Enter closes the summary.
    HS_SetDlgFocus(dialog, IDOK);

    char line[64];
    SetLine(IDC_RESULTS_HEADING, kSummaryHeading);
    SetLine(IDC_RESULTS_LOCATION, "");
    wsprintfA(line, kFoundFormat, t.foundCounter);
    SetLine(IDC_RESULTS_TEXT, line);
    SetLine(IDC_RESULTS_POSITION, "");
    if (g_plugin.prefs.replaceSwitch != 0)
        wsprintfA(line, kReplacedFormat, t.replacedCounter);
    else
        line[0] = '\0';
    SetLine(IDC_RESULTS_REPLACED, line);
    SetLine(IDC_RESULTS_QUESTION, "");
}

void StartTextRun(HWND dialog) {
    TextSearchState& t = g_plugin.text;
    t.resultsDialog = dialog;
    t.foundCounter = 0;
    t.replacedCounter = 0;
    t.matchPosition = 0;
    t.matchAwaitingAnswer = 0;

    // The setup dialog admits a run only with some switch on, so when none of
    // the first seven is, lyrics is.
    t.currentKind = VerseLyrics;
    for (int kind = PageTextBlocks; kind <= EndingRepeats; ++kind) {
        if (g_plugin.prefs.elementSwitch[kind] != 0) {
            t.currentKind = kind;
            break;
        }
    }

    if (StartKind())
        ShowMatch();
    else
        ShowSummary();
}

std::int16_t FindNextMatch() {
    // Without a copy of the current text there is nothing left to search in it.
    if (g_plugin.text.textCopy != nullptr && FindNextInText()) {
        ShowMatch();
        return 1;
    }
    if (StepElement() && SearchFromElement()) {
        ShowMatch();
        return 1;
    }
    if (NextEnabledKind() && StartKind()) {
        ShowMatch();
        return 1;
    }
    ShowSummary();
    return 0;
}

void ReplaceAllMatches() {
    ReplaceMatch();
    while (FindNextMatch()) ReplaceMatch();
}

namespace {

bool IsMatchCommand(std::int16_t command) {
    return command == IDC_RESULTS_YES || command == IDC_RESULTS_NO || command == IDC_RESULTS_YES_ALL ||
           command == IDC_RESULTS_NEXT;
}

// A match command counts only while a match waits for its answer, and only
// from a button of the current mode: Yes, No and Yes to all when replacing,
// Next when only searching.
bool MatchCommandApplies(std::int16_t command) {
    if (g_plugin.text.matchAwaitingAnswer == 0) return false;
    const bool replacing = g_plugin.prefs.replaceSwitch != 0;
    return command == IDC_RESULTS_NEXT ? !replacing : replacing;
}

}  // namespace

std::int16_t ResultsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, std::int32_t) {
    if (message == WM_INITDIALOG) {
        RestoreDialogPosition(dialog, g_plugin.prefs.resultsLeft, g_plugin.prefs.resultsTop);
        FreeText(g_plugin.text.textCopy);
        g_plugin.text.textCopy = nullptr;
        ShowControl(dialog, IDOK, 0);
        CreateResultsFont(dialog);
        if (g_plugin.prefs.replaceSwitch != 0) {
            ShowControl(dialog, IDC_RESULTS_NEXT, 0);
        } else {
            ShowControl(dialog, IDC_RESULTS_YES, 0);
            ShowControl(dialog, IDC_RESULTS_NO, 0);
            ShowControl(dialog, IDC_RESULTS_YES_ALL, 0);
        }
        StartTextRun(dialog);
        return 1;
    }
    if (message != WM_COMMAND) return 0;
    const std::int16_t command = static_cast<std::int16_t>(LOWORD(wParam));
    if (IsMatchCommand(command)) {
        if (!MatchCommandApplies(command)) return 0;
        // Answered now; showing the next match asks again.
        g_plugin.text.matchAwaitingAnswer = 0;
    }
    switch (command) {
        case IDOK:
        case IDCANCEL:
            EndResults(dialog);
            break;
        case IDC_RESULTS_YES:
            ReplaceMatch();
            FindNextMatch();
            break;
        case IDC_RESULTS_NO:
        case IDC_RESULTS_NEXT:
            g_plugin.text.lengthChange = 0;
            FindNextMatch();
            break;
        case IDC_RESULTS_YES_ALL:
            for (std::int16_t id : kReplaceAllHidden) ShowControl(dialog, id, 0);
            ReplaceAllMatches();
            break;
        default:
            break;
    }
    return 0;
}

// ---- The command --------------------------------------------------------------

std::int16_t RunTextCommand(HWND hostWindow) {
    g_plugin.setupAccepted = 0;
    HS_Dialog(IDD_TEXT_SETUP, TextSetupProc, hostWindow, 1, 0);
    if (g_plugin.setupAccepted == 1) {
        HS_Dialog(IDD_TEXT_RESULTS, ResultsProc, hostWindow, 1, 0);
        // A host that ends the dialog without our close command must not
        // leave the font or the text copy behind.
        ReleaseResults();
        g_plugin.text.resultsDialog = nullptr;
    }
    return 1;
}
