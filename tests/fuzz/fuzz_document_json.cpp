// The score document reader over random text. A document it accepts must
// survive being written and read back: the same records byte for byte, the
// same frames, the same screen and layer menu.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/document/document.h"

namespace {

bool SameFrames(const host::Document& a, const host::Document& b) {
    if (a.Frames().size() != b.Frames().size()) return false;
    for (const auto& [key, entries] : a.Frames()) {
        const auto other = b.Frames().find(key);
        if (other == b.Frames().end() || other->second.size() != entries.size()) return false;
        if (!entries.empty() &&
            std::memcmp(entries.data(), other->second.data(), entries.size() * sizeof entries[0]) != 0)
            return false;
    }
    return true;
}

bool SameMenu(const host::LayerMenuSpec& a, const host::LayerMenuSpec& b) {
    if (a.present != b.present) return false;
    if (!a.present) return true;
    return a.toggle == b.toggle && std::equal(a.visible, a.visible + 4, b.visible) && a.submenuAt == b.submenuAt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    host::Document doc;
    std::string error;
    if (!host::Document::FromJson(text, &doc, &error)) {
        if (error.empty()) fuzz::Fail("FromJson", "refused without saying why");
        return 0;
    }
    const std::string written = doc.ToJson();
    host::Document again;
    if (!host::Document::FromJson(written, &again, &error)) {
        fuzz::Fail("round trip", "own output refused: " + error + "\n--- written:\n" + written);
    }
    if (again.AllRecords() != doc.AllRecords()) fuzz::Fail("round trip", "records differ\n--- written:\n" + written);
    if (!SameFrames(doc, again)) fuzz::Fail("round trip", "frames differ\n--- written:\n" + written);
    if (again.screenWidth != doc.screenWidth || again.screenHeight != doc.screenHeight)
        fuzz::Fail("round trip", "screen size differs");
    if (!SameMenu(doc.layers, again.layers)) fuzz::Fail("round trip", "layer menu differs\n--- written:\n" + written);
    return 0;
}
