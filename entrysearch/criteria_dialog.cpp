#include "entrysearch/criteria_dialog.h"

#include <cstring>

#include "entrysearch/attribute_tables.h"
#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/dialog_utils.h"
#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

namespace {

constexpr COLORREF kDangerColor = RGB(128, 0, 0);
constexpr int kCaptionPoints = 14;
constexpr BYTE kSwissDefaultPitch = 0x20;
constexpr std::int16_t kEditTextMax = 50;  // what HS_GetDlgString may return

// Check box states as the host reports them with kind 5.
constexpr std::int16_t kUnchecked = 0;
constexpr std::int16_t kChecked = 1;
constexpr std::int16_t kIndeterminate = 2;

// Tri-state slot values.
constexpr std::int16_t kSlotOff = 1;
constexpr std::int16_t kSlotOn = 2;
constexpr std::int16_t kSlotIgnore = 0;

CriteriaDialogState& State() { return g_plugin.criteria; }

bool OnSearchPage() { return State().currentPage == SearchPage; }

std::int16_t BoxStateForSlot(std::int16_t slot) {
    if (slot == kSlotOff) return kUnchecked;
    if (slot == kSlotOn) return kChecked;
    return kIndeterminate;  // 0 and anything a stored record may hold besides 1 and 2
}

std::int16_t Flag(bool on) { return on ? 1 : 0; }

void SetBox(HWND dialog, std::int16_t id, std::int16_t value) { HS_SetDlgItemVal(dialog, id, HS_KIND_CHECKBOX, value); }

// Writes the slot for a box state and says whether the box sets something
// (unchecked or checked). Grey writes "ignore"; a state the host should never
// report leaves the slot as it was.
bool StoreBoxState(CriteriaRecord* record, std::int32_t slotOffset, std::int16_t state) {
    switch (state) {
        case kUnchecked:
            SetSlotAt(record, slotOffset, kSlotOff);
            return true;
        case kChecked:
            SetSlotAt(record, slotOffset, kSlotOn);
            return true;
        case kIndeterminate:
            SetSlotAt(record, slotOffset, kSlotIgnore);
            return false;
        default:
            return false;
    }
}

// The host hands an edit's number back in 16 bits, so "70000" would come
// back as 4464 and slip through the range test. A numeral that does not fit
// in 16 bits is therefore out of range whatever the host made of it.
bool NumeralFits(HWND dialog, std::int16_t id) {
    char text[kEditTextMax + 1] = {};
    HS_GetDlgString(dialog, id, text, kEditTextMax);
    text[kEditTextMax] = '\0';
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > 32768) return false;
    }
    return negative ? magnitude <= 32768 : magnitude <= 32767;
}

struct NumericField {
    std::int16_t box;
    std::int16_t edit;
    std::int16_t low;
    std::int16_t high;
    const char* rangeText;
};

constexpr NumericField kDuration = {IDC_CRIT_DURATION, IDC_CRIT_DURATION_VALUE, 1, 8192, kDurationRangeText};
constexpr NumericField kPosition = {IDC_CRIT_POSITION, IDC_CRIT_POSITION_VALUE, 0, 32000, kPositionRangeText};
constexpr NumericField kDisplacement = {IDC_CRIT_DISPLACEMENT, IDC_CRIT_DISPLACEMENT_VALUE, -100, 100,
                                        kDisplacementRangeText};
constexpr NumericField kRaiseLower = {IDC_CRIT_RAISE_LOWER, IDC_CRIT_RAISE_LOWER_VALUE, -5, 5, kRaiseLowerRangeText};

constexpr const NumericField* kNumericFields[] = {&kDuration, &kPosition, &kDisplacement, &kRaiseLower};

constexpr std::int16_t kSearchPageButtons[] = {IDC_CRIT_BOOLEAN_GROUP, IDC_CRIT_AND, IDC_CRIT_OR, IDC_CRIT_DONE};
constexpr std::int16_t kReplacePageButtons[] = {IDC_CRIT_GO, IDC_CRIT_BACK, IDC_CRIT_LEGEND};
// The note group's box and numeric fields, shown before its attribute boxes.
constexpr std::int16_t kNoteGroupHeader[] = {IDC_CRIT_NOTE_GROUP, IDC_CRIT_DISPLACEMENT, IDC_CRIT_DISPLACEMENT_VALUE,
                                             IDC_CRIT_RAISE_LOWER, IDC_CRIT_RAISE_LOWER_VALUE};
constexpr std::int16_t kSearchOnlyFields[] = {IDC_CRIT_DURATION, IDC_CRIT_DURATION_VALUE, IDC_CRIT_POSITION,
                                              IDC_CRIT_POSITION_VALUE};

struct NumericRead {
    std::int16_t on;
    std::int16_t value;
};

// Reads a check box and its edit; a checked value out of range is reported
// with the focus on the edit (its text is left unselected).
bool ReadNumeric(HWND dialog, const NumericField& field, NumericRead* out) {
    out->on = HS_GetDlgItemVal(dialog, field.box, HS_KIND_CHECKBOX);
    out->value = HS_GetDlgItemVal(dialog, field.edit, HS_KIND_NUMBER);
    if (out->on == 0) return true;
    if (out->value >= field.low && out->value <= field.high && NumeralFits(dialog, field.edit)) return true;
    MessageBoxA(dialog, field.rangeText, kRangeErrorCaption, MB_OK | MB_ICONERROR);
    HS_SetDlgFocus(dialog, field.edit);
    return false;
}

bool IsMarkedDangerous(int id) {
    if (id == IDC_CRIT_LEGEND) return true;
    for (const EntryAttributeRow& row : EntryAttributeTable) {
        if (row.controlId == id) return row.dangerous != 0 && row.searchOnly == 0;
    }
    for (const NoteAttributeRow& row : NoteAttributeTable) {
        if (row.controlId == id) return row.dangerous != 0 && row.searchOnly == 0;
    }
    return false;
}

// Brush and font die with the dialog; null handles are left alone so that a
// second call does nothing.
void DeleteDrawingResources() {
    CriteriaDialogState& s = State();
    if (s.brush != nullptr) DeleteObject(s.brush);
    if (s.captionFont != nullptr) DeleteObject(s.captionFont);
    s.brush = nullptr;
    s.captionFont = nullptr;
}

void RemoveSubclass(HWND dialog) {
    CriteriaDialogState& s = State();
    if (s.previousProc == nullptr) return;
    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.previousProc));
    s.previousProc = nullptr;
}

void CloseThroughCancel(HWND dialog) {
    CriteriaDialogState& s = State();
    RemoveSubclass(dialog);
    SaveDialogPosition(dialog, &s.persistentSearch->dialogLeft, &s.persistentSearch->dialogTop);
    HS_EndDialog(dialog);
    DeleteDrawingResources();
}

void CloseThroughGo(HWND dialog) {
    CriteriaDialogState& s = State();
    s.result = 1;
    RemoveSubclass(dialog);
    std::memcpy(s.persistentSearch, &s.workingSearch, sizeof(CriteriaRecord));
    std::memcpy(s.persistentReplace, &s.workingReplace, sizeof(CriteriaRecord));
    // After the copy: the working record's pair may have been reset meanwhile.
    SaveDialogPosition(dialog, &s.persistentSearch->dialogLeft, &s.persistentSearch->dialogTop);
    HS_EndDialog(dialog);
    DeleteDrawingResources();
}

void InitCriteriaDialog(HWND dialog) {
    CriteriaDialogState& s = State();
    RestoreDialogPosition(dialog, s.persistentSearch->dialogLeft, s.persistentSearch->dialogTop);

    s.buttonFace = GetSysColor(COLOR_BTNFACE);
    s.brush = CreateSolidBrush(s.buttonFace);

    s.previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CriteriaColorProc)));

    HDC dc = GetDC(dialog);
    const int height = -MulDiv(kCaptionPoints, GetDeviceCaps(dc, LOGPIXELSY), 72);
    s.captionFont = CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, kSwissDefaultPitch, "MS Sans Serif");
    ReleaseDC(dialog, dc);
    SendDlgItemMessageA(dialog, IDC_CRIT_CAPTION, WM_SETFONT, reinterpret_cast<WPARAM>(s.captionFont), TRUE);

    ShowSearchPage(dialog);
}

// Both pages share one layout routine; only the page differs.
void ShowPage(HWND dialog, CriteriaPage page) {
    CriteriaDialogState& s = State();
    s.currentPage = page;
    const bool search = page == SearchPage;
    const std::int16_t onSearch = Flag(search);
    const std::int16_t onReplace = Flag(!search);

    HS_SetDlgString(dialog, IDC_CRIT_CAPTION, search ? kSearchPageCaption : kReplacePageCaption);

    for (std::int16_t id : kSearchPageButtons) ShowControl(dialog, id, onSearch);
    for (std::int16_t id : kReplacePageButtons) ShowControl(dialog, id, onReplace);

    const bool noteMode = s.workingReplace.noteSpecific != 0;
    const std::int16_t entryGroup = Flag(search || !noteMode);
    ShowControl(dialog, IDC_CRIT_ENTRY_GROUP, entryGroup);
    for (const EntryAttributeRow& row : EntryAttributeTable) {
        ShowControl(dialog, row.controlId, entryGroup);
        if (row.searchOnly != 0) HS_EnableDlgItem(dialog, row.controlId, onSearch);
    }

    const std::int16_t noteGroup = Flag(search || noteMode);
    for (std::int16_t id : kNoteGroupHeader) {
        ShowControl(dialog, id, noteGroup);
    }
    for (const NoteAttributeRow& row : NoteAttributeTable) {
        ShowControl(dialog, row.controlId, noteGroup);
        if (row.searchOnly != 0) HS_EnableDlgItem(dialog, row.controlId, onSearch);
    }

    for (std::int16_t id : kSearchOnlyFields) {
        ShowControl(dialog, id, onSearch);
    }

    FillCriteriaPage(dialog, search ? &s.workingSearch : &s.workingReplace);
    SyncValueEdits(dialog);
    // The colour procedure answers differently per page.
    InvalidateRect(dialog, nullptr, FALSE);
}

void OnCommand(HWND dialog, WPARAM wParam) {
    CriteriaDialogState& s = State();
    switch (LOWORD(wParam)) {
        case IDC_CRIT_DURATION:
        case IDC_CRIT_POSITION:
        case IDC_CRIT_DISPLACEMENT:
        case IDC_CRIT_RAISE_LOWER:
            if (HIWORD(wParam) == BN_CLICKED) SyncValueEdits(dialog);
            break;
        // Each page button acts on its own page only: once the page has
        // changed, a hidden button's command can still come (Enter or Space
        // on it while it keeps the focus or the default border), and would
        // read one page's boxes into the other page's record.
        case IDC_CRIT_DONE:
            if (OnSearchPage() && ReadCriteriaPage(dialog, &s.workingSearch, 1)) ShowReplacePage(dialog);
            break;
        case IDC_CRIT_BACK:
            if (!OnSearchPage() && ReadCriteriaPage(dialog, &s.workingReplace, 0)) ShowSearchPage(dialog);
            break;
        case IDC_CRIT_RESET:
            if (OnSearchPage()) {
                ResetCriteria(&s.workingSearch);
                ShowSearchPage(dialog);
            } else {
                ResetCriteria(&s.workingReplace);
                ShowReplacePage(dialog);
            }
            break;
        case IDC_CRIT_GO:
            if (!OnSearchPage() && ReadCriteriaPage(dialog, &s.workingReplace, 1)) CloseThroughGo(dialog);
            break;
        case IDCANCEL:
            CloseThroughCancel(dialog);
            break;
        default:
            break;
    }
}

}  // namespace

std::int16_t RunCriteriaDialog(HWND hostWindow, CriteriaRecord* searchRecord, CriteriaRecord* replaceRecord) {
    CriteriaDialogState& s = State();
    s.result = 0;
    if (searchRecord == nullptr || replaceRecord == nullptr) return 0;
    s.persistentSearch = searchRecord;
    s.persistentReplace = replaceRecord;
    std::memcpy(&s.workingSearch, searchRecord, sizeof(CriteriaRecord));
    std::memcpy(&s.workingReplace, replaceRecord, sizeof(CriteriaRecord));
    s.currentPage = SearchPage;
    HS_Dialog(IDD_CRITERIA, &CriteriaDialogProc, hostWindow, 1, 0);
    // Both closings free these; this only catches a dialog the host tore
    // down without a command.
    DeleteDrawingResources();
    s.previousProc = nullptr;
    return s.result;
}

std::int16_t CriteriaDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, std::int32_t) {
    if (message == WM_INITDIALOG) {
        InitCriteriaDialog(dialog);
        return 1;
    }
    if (message == WM_COMMAND) OnCommand(dialog, wParam);
    return 0;
}

LRESULT CALLBACK CriteriaColorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CriteriaDialogState& s = State();
    if (message == WM_CTLCOLORSTATIC && !OnSearchPage() &&
        IsMarkedDangerous(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) {
        // The user may have changed the system colours since the brush was made.
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        if (face != s.buttonFace || s.brush == nullptr) {
            if (s.brush != nullptr) DeleteObject(s.brush);
            s.buttonFace = face;
            s.brush = CreateSolidBrush(face);
        }
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kDangerColor);
        SetBkColor(dc, s.buttonFace);
        return reinterpret_cast<LRESULT>(s.brush);
    }
    if (s.previousProc == nullptr) return 0;
    return CallWindowProcA(s.previousProc, window, message, wParam, lParam);
}

void FillCriteriaPage(HWND dialog, const CriteriaRecord* record) {
    if (OnSearchPage()) {
        SetBox(dialog, IDC_CRIT_DURATION, Flag(record->durationSwitch != 0));
        HS_SetDlgItemVal(dialog, IDC_CRIT_DURATION_VALUE, HS_KIND_NUMBER, record->durationValue);
        SetBox(dialog, IDC_CRIT_POSITION, Flag(record->positionSwitch != 0));
        HS_SetDlgItemVal(dialog, IDC_CRIT_POSITION_VALUE, HS_KIND_NUMBER, record->positionValue);
    }
    SetBox(dialog, IDC_CRIT_DISPLACEMENT, Flag(record->displacementSwitch != 0));
    HS_SetDlgItemVal(dialog, IDC_CRIT_DISPLACEMENT_VALUE, HS_KIND_NUMBER, record->displacementValue);
    SetBox(dialog, IDC_CRIT_RAISE_LOWER, Flag(record->raiseLowerSwitch != 0));
    HS_SetDlgItemVal(dialog, IDC_CRIT_RAISE_LOWER_VALUE, HS_KIND_NUMBER, record->raiseLowerValue);

    for (const EntryAttributeRow& row : EntryAttributeTable) {
        SetBox(dialog, row.controlId, BoxStateForSlot(SlotAt(record, row.slotOffset)));
    }
    for (const NoteAttributeRow& row : NoteAttributeTable) {
        SetBox(dialog, row.controlId, BoxStateForSlot(SlotAt(record, row.slotOffset)));
    }

    HS_SetDlgItemVal(dialog, IDC_CRIT_AND, HS_KIND_RADIO, Flag(record->booleanSwitch != 0));
    HS_SetDlgItemVal(dialog, IDC_CRIT_OR, HS_KIND_RADIO, Flag(record->booleanSwitch == 0));
}

std::int16_t ReadCriteriaPage(HWND dialog, CriteriaRecord* record, std::int16_t strict) {
    CriteriaDialogState& s = State();
    const bool search = OnSearchPage();
    int criteria = 0;
    int noteCriteria = 0;
    int dangerous = 0;

    NumericRead duration{};
    NumericRead position{};
    if (search) {
        if (!ReadNumeric(dialog, kDuration, &duration)) return 0;
        if (duration.on != 0) ++criteria;
        if (!ReadNumeric(dialog, kPosition, &position)) return 0;
        if (position.on != 0) ++criteria;
    }
    NumericRead displacement{};
    if (!ReadNumeric(dialog, kDisplacement, &displacement)) return 0;
    if (displacement.on != 0) {
        ++criteria;
        ++noteCriteria;
    }
    NumericRead raiseLower{};
    if (!ReadNumeric(dialog, kRaiseLower, &raiseLower)) return 0;
    if (raiseLower.on != 0) {
        ++criteria;
        ++noteCriteria;
    }

    // Every box is read, shown or not; the page keeps what the user set.
    for (const EntryAttributeRow& row : EntryAttributeTable) {
        const std::int16_t state = HS_GetDlgItemVal(dialog, row.controlId, HS_KIND_TRISTATE);
        if (!StoreBoxState(record, row.slotOffset, state)) continue;
        ++criteria;
        if (row.dangerous != 0 && row.searchOnly == 0) ++dangerous;
    }
    const bool countNotes = search || record->noteSpecific != 0;
    for (const NoteAttributeRow& row : NoteAttributeTable) {
        const std::int16_t state = HS_GetDlgItemVal(dialog, row.controlId, HS_KIND_TRISTATE);
        if (!StoreBoxState(record, row.slotOffset, state) || !countNotes) continue;
        ++criteria;
        ++noteCriteria;
        if (row.dangerous != 0 && row.searchOnly == 0) ++dangerous;
    }

    if (strict == 1 && criteria == 0) {
        MessageBoxA(dialog, search ? kNoSearchCriteriaText : kNoReplaceActionsText, kNoEntriesCaption,
                    MB_OK | MB_ICONERROR);
        return 0;
    }
    if (strict == 1 && !search && dangerous > 0 &&
        MessageBoxA(dialog, kDangerousText, kDangerousCaption, MB_YESNO | MB_ICONWARNING) != IDYES) {
        return 0;
    }

    if (search) s.workingReplace.noteSpecific = Flag(noteCriteria > 0);
    record->booleanSwitch = HS_GetDlgItemVal(dialog, IDC_CRIT_AND, HS_KIND_RADIO);
    if (search) {
        record->durationSwitch = duration.on;
        record->durationValue = duration.value;
        record->positionSwitch = position.on;
        record->positionValue = position.value;
    }
    record->displacementSwitch = displacement.on;
    record->displacementValue = displacement.value;
    record->raiseLowerSwitch = raiseLower.on;
    record->raiseLowerValue = raiseLower.value;
    return 1;
}

void SyncValueEdits(HWND dialog) {
    for (const NumericField* field : kNumericFields) {
        HS_EnableDlgItem(dialog, field->edit, Flag(HS_GetDlgItemVal(dialog, field->box, HS_KIND_CHECKBOX) != 0));
    }
}

void ShowSearchPage(HWND dialog) { ShowPage(dialog, SearchPage); }

void ShowReplacePage(HWND dialog) { ShowPage(dialog, ReplacePage); }
