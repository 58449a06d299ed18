#include "host/session/wording.h"

#include <cstdio>
#include <sstream>

namespace session {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", bytes[i]);
        if (i > 0) out += ' ';
        out += buffer;
    }
    return Quote(out);
}

std::string HexNumber(unsigned long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx", value);
    return buffer;
}

std::string Rgb(COLORREF color) {
    return "RGB(" + std::to_string(GetRValue(color)) + ", " + std::to_string(GetGValue(color)) + ", " +
           std::to_string(GetBValue(color)) + ")";
}

std::string Label(const Action& action) {
    std::size_t keep = 0;  // leading words to keep; 0 keeps everything before the first string
    switch (action.kind) {
        case ActionKind::ExpectMessage:
        case ActionKind::ExpectMessageCount:
        case ActionKind::ExpectResult:
        case ActionKind::ExpectDialogPos:
        case ActionKind::ExpectLeaks:
            keep = 2;
            break;
        case ActionKind::ExpectText:
        case ActionKind::ExpectState:
        case ActionKind::ExpectVisible:
        case ActionKind::ExpectEnabled:
        case ActionKind::ExpectColor:
        case ActionKind::ExpectFocus:
        case ActionKind::ExpectDefault:
        case ActionKind::ExpectHive:
            keep = 3;
            break;
        case ActionKind::ExpectEntry:
            keep = 6;
            break;
        case ActionKind::ExpectNote:
            keep = 7;
            break;
        default:
            break;
    }
    std::istringstream words(action.source.substr(0, action.source.find('"')));
    std::string label;
    std::string word;
    for (std::size_t n = 0; (keep == 0 || n < keep) && words >> word; ++n) label += (n > 0 ? " " : "") + word;
    return label;
}

std::string DialogName(HWND dialog) {
    return "dialog " + std::to_string(sim::DialogTemplateId(dialog)) + " (" + Quote(sim::WindowCaption(dialog)) + ")";
}

}  // namespace session
