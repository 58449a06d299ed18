// Modal message boxes: logged, answered by the user, checked against the
// buttons the box really has.
#include "host/sim/world.h"

namespace sim::detail {
namespace {

std::vector<MessageBoxInfo>& Log() {
    static std::vector<MessageBoxInfo> log;
    return log;
}

bool HasButton(UINT type, int answer) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return answer == IDOK || answer == IDCANCEL;
        case MB_YESNO:
            return answer == IDYES || answer == IDNO;
        default:
            return answer == IDOK;
    }
}

}  // namespace

int NeutralAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return IDCANCEL;
        case MB_YESNO:
            return IDNO;
        default:
            return IDOK;
    }
}

void ResetMessageBoxes() { Log().clear(); }

}  // namespace sim::detail

namespace sim {

using namespace detail;

const std::vector<MessageBoxInfo>& MessageBoxes() { return Log(); }

void CallbackUser::DriveDialog(HWND dialog) {
    if (onDialog) onDialog(dialog);
}

int CallbackUser::AnswerMessageBox(const MessageBoxInfo& box) {
    return onMessageBox ? onMessageBox(box) : NeutralAnswer(box.type);
}

}  // namespace sim

using namespace sim::detail;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    sim::MessageBoxInfo box;
    box.owner = owner;
    box.text = text == nullptr ? "" : text;
    // Windows shows "Error" for a box without a caption.
    box.caption = caption == nullptr ? "Error" : caption;
    box.type = type;
    UINT kind = type & MB_TYPEMASK;
    if (kind != MB_OK && kind != MB_OKCANCEL && kind != MB_YESNO) {
        Warn("MessageBoxA with buttons the window system does not offer (type " + std::to_string(type) +
             "), shown as OK");
    }
    // Logged before the user sees it, so the log is complete while the box is up.
    Log().push_back(box);
    std::size_t index = Log().size() - 1;
    sim::User* user = CurrentUser();
    int answer = user == nullptr ? NeutralAnswer(type) : user->AnswerMessageBox(box);
    if (!HasButton(type, answer)) {
        Warn("the user answered " + std::to_string(answer) + " to a message box without that button (\"" + box.text +
             "\"); taking the box's neutral answer");
        answer = NeutralAnswer(type);
    }
    // The user may have reset the world meanwhile; only touch our own entry.
    if (index < Log().size()) Log()[index].answer = answer;
    return answer;
}
