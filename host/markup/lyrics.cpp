#include "host/markup/lyrics.h"

#include <algorithm>
#include <optional>

namespace markup {

namespace {

// A word does not run on from one part into the next.
char SeparatorAfter(const std::vector<Syllable>& syllables, std::size_t i) {
    return syllables[i].hyphenAfter && syllables[i].part == syllables[i + 1].part ? '-' : ' ';
}

bool IsSeparator(char c) { return c == ' ' || c == '-'; }

struct Placed {
    std::vector<std::string> texts;
    std::size_t at = 0;  // the syllable where the verse first differs
};

// One placement of the change, with the common start taken first or the
// common end; nullopt with *why when it cannot be placed.
std::optional<Placed> Place(const std::vector<Syllable>& syllables, const std::vector<std::string>& texts,
                            const std::string& before, const std::string& after, bool startFirst, std::size_t* at,
                            std::string* why) {
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t start = 0;
    std::size_t end = 0;
    const auto commonStart = [&](std::size_t limit) {
        while (start < limit && before[start] == after[start]) ++start;
    };
    const auto commonEnd = [&](std::size_t limit) {
        while (end < limit && before[before.size() - 1 - end] == after[after.size() - 1 - end]) ++end;
    };
    if (startFirst) {
        commonStart(shorter);
        commonEnd(shorter - start);
    } else {
        commonEnd(shorter);
        commonStart(shorter - end);
    }
    const std::size_t from = start;
    const std::size_t to = before.size() - end;  // the old stretch [from, to)
    const std::string stretch = after.substr(start, after.size() - end - start);

    // Where each syllable starts in `before`; the separator after syllable i
    // stands at begins[i] + texts[i].size().
    std::vector<std::size_t> begins(texts.size());
    for (std::size_t i = 0, at = 0; i < texts.size(); at += texts[i].size() + 1, ++i) begins[i] = at;
    const auto separatorAt = [&](std::size_t i) { return begins[i] + texts[i].size(); };

    std::size_t first = 0;  // the syllable the stretch starts in
    while (first + 1 < texts.size() && from > separatorAt(first)) ++first;
    std::size_t last = first;  // ... and ends in
    while (last + 1 < texts.size() && separatorAt(last) < to) ++last;

    Placed placed;
    placed.texts = texts;
    // A change that starts at a boundary is first seen in the syllable after it.
    placed.at = first < last && from == separatorAt(first) ? first + 1 : first;
    *at = placed.at;
    if (first == last) {
        std::string& text = placed.texts[first];
        text = text.substr(0, from - begins[first]) + stretch + text.substr(to - begins[first]);
        return placed;
    }
    // Across syllables: the stretch's spaces and hyphens, in order, must be
    // the new one's; a boundary goes where its counterpart is.
    std::vector<std::size_t> oldMarks;
    std::vector<std::size_t> newMarks;
    for (std::size_t i = from; i < to; ++i)
        if (IsSeparator(before[i])) oldMarks.push_back(i);
    for (std::size_t i = 0; i < stretch.size(); ++i)
        if (IsSeparator(stretch[i])) newMarks.push_back(i);
    bool same = oldMarks.size() == newMarks.size();
    for (std::size_t i = 0; same && i < oldMarks.size(); ++i) same = before[oldMarks[i]] == stretch[newMarks[i]];
    if (!same) {
        *why = "the change from \"" + before.substr(from, to - from) + "\" to \"" + stretch +
               "\" crosses syllables and does not keep the spaces and hyphens between them, so it cannot be "
               "split back onto the notes";
        return std::nullopt;
    }
    std::size_t piece = 0;  // where the current syllable's part of the stretch starts
    std::size_t mark = 0;
    for (std::size_t i = first; i < last; ++i) {
        while (oldMarks[mark] != separatorAt(i)) ++mark;
        // Syllables do not hold the separator between them: a mismatch
        // would be a syllable boundary read as a character, never placed.
        if (before[separatorAt(i)] != SeparatorAfter(syllables, i)) {
            *why = "the verse does not read as its syllables";
            return std::nullopt;
        }
        const std::string part = stretch.substr(piece, newMarks[mark] - piece);
        if (i == first)
            placed.texts[i] = texts[i].substr(0, from - begins[i]) + part;
        else
            placed.texts[i] = part;
        piece = newMarks[mark] + 1;
        ++mark;
    }
    placed.texts[last] = stretch.substr(piece) + texts[last].substr(to - begins[last]);
    return placed;
}

}  // namespace

std::string JoinVerse(const std::vector<Syllable>& syllables) {
    std::string text;
    for (std::size_t i = 0; i < syllables.size(); ++i) {
        if (i > 0) text += SeparatorAfter(syllables, i - 1);
        text += syllables[i].text;
    }
    return text;
}

const Syllable* SyllableAt(const std::vector<Syllable>& syllables, int offset) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < syllables.size() && offset >= 0; ++i) {
        const std::size_t end = at + syllables[i].text.size();
        if (static_cast<std::size_t>(offset) < end + 1) return &syllables[i];
        at = end + 1;
    }
    return nullptr;
}

std::vector<std::string> SplitVerse(const std::string& text) {
    std::vector<std::string> syllables(1);
    for (char c : text) {
        if (IsSeparator(c))
            syllables.emplace_back();
        else
            syllables.back().push_back(c);
    }
    return syllables;
}

bool ApplyVerseChange(const std::vector<Syllable>& syllables, const std::string& before, const std::string& after,
                      std::vector<std::string>* texts, std::size_t* at, std::string* why) {
    *at = 0;
    if (texts->empty() || texts->size() != syllables.size()) {
        *why = "the verse has no syllables";
        return false;
    }
    std::string joined = (*texts)[0];
    for (std::size_t i = 1; i < texts->size(); ++i) joined += SeparatorAfter(syllables, i - 1) + (*texts)[i];
    if (joined != before) {
        *why = "the verse was changed in a way the host did not see";
        return false;
    }
    if (before == after) return true;
    std::string whyStart;
    std::string whyEnd;
    std::size_t atStart = 0;
    std::size_t atEnd = 0;
    const std::optional<Placed> byStart = Place(syllables, *texts, before, after, true, &atStart, &whyStart);
    const std::optional<Placed> byEnd = Place(syllables, *texts, before, after, false, &atEnd, &whyEnd);
    *at = atStart;
    if (!byStart || !byEnd) {
        *why = !byStart ? whyStart : whyEnd;
        return false;
    }
    if (byStart->texts != byEnd->texts) {
        *why = "the change could belong to more than one note";
        return false;
    }
    *texts = byStart->texts;
    return true;
}

bool ApplyVerseWrites(const std::vector<Syllable>& syllables, const std::string& original,
                      const std::vector<std::string>& writes, std::vector<std::string>* texts, std::size_t* at,
                      std::string* why) {
    texts->clear();
    for (const Syllable& syllable : syllables) texts->push_back(syllable.text);
    std::string before = original;
    for (const std::string& after : writes) {
        if (!ApplyVerseChange(syllables, before, after, texts, at, why)) return false;
        before = after;
    }
    return true;
}

std::vector<std::string> VerseChanges(const host::Document& document, int number, const std::string& original,
                                      const VerseWrites* verseWrites) {
    const std::string now =
        document.RecordText(host::kTagVerseLyrics, {static_cast<std::int16_t>(number), 0, 0}).value_or(original);
    if (now == original) return {};
    if (verseWrites != nullptr) {
        const auto found = verseWrites->find(number);
        if (found != verseWrites->end() && !found->second.empty() && found->second.back() == now) return found->second;
    }
    return {now};
}

}  // namespace markup
