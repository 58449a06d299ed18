#include "host/markup/splice.h"

#include <string_view>

#include "host/markup/encoding.h"

namespace markup {

void ApplyEdits(const std::string& xml, const Edits& edits, host::Pieces* out, std::vector<std::string>* warnings) {
    const std::string_view text(xml);
    std::size_t copied = 0;
    for (const auto& [begin, edit] : edits) {
        if (begin < copied) {
            warnings->push_back("two changes overlap at byte " + std::to_string(begin) + "; the later is not written");
            continue;
        }
        out->Add(text.substr(copied, begin - copied));
        out->Own(edit.second);
        copied = edit.first;
    }
    out->Add(text.substr(copied));
}

bool Writable(const std::string& text, const std::string& what, std::vector<std::string>* warnings) {
    if (IsXmlText(text)) return true;
    warnings->push_back(what + ": the new text is not valid UTF-8 XML text; it is not written");
    return false;
}

}  // namespace markup
