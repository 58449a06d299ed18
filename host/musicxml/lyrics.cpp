#include "host/musicxml/lyrics.h"

namespace musicxml {

std::string JoinVerse(const std::vector<Syllable>& syllables) {
    std::string text;
    for (std::size_t i = 0; i < syllables.size(); ++i) {
        if (i > 0) {
            const Syllable& before = syllables[i - 1];
            // A word does not run on from one part into the next.
            text += before.hyphenAfter && before.part == syllables[i].part ? '-' : ' ';
        }
        text += syllables[i].text;
    }
    return text;
}

std::vector<std::string> SplitVerse(const std::string& text) {
    std::vector<std::string> syllables(1);
    for (char c : text) {
        if (c == ' ' || c == '-')
            syllables.emplace_back();
        else
            syllables.back().push_back(c);
    }
    return syllables;
}

}  // namespace musicxml
