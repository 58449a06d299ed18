#include "host/document/score_layout.h"

#include <algorithm>

namespace host {

void LayOut(const ScoreLayout& layout, Document* document) {
    auto pageTexts = layout.pageTexts;
    std::stable_sort(pageTexts.begin(), pageTexts.end(), [](const auto& a, const auto& b) { return a.page < b.page; });
    for (const auto& item : pageTexts) document->AddPageText(item.page, item.text);

    auto measureTexts = layout.measureTexts;
    std::stable_sort(measureTexts.begin(), measureTexts.end(), [](const auto& a, const auto& b) {
        return a.staff != b.staff ? a.staff < b.staff : a.measure < b.measure;
    });
    for (const auto& item : measureTexts) document->AddMeasureText(item.staff, item.measure, item.text);

    auto staves = layout.staves;
    std::stable_sort(staves.begin(), staves.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    for (const auto& item : staves) document->AddStaff(item.number, item.full, item.abbreviated);

    auto groups = layout.groups;
    std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
        return a.system != b.system ? a.system < b.system : a.number < b.number;
    });
    for (const auto& item : groups) document->AddGroup(item.system, item.number, item.full, item.abbreviated);

    for (const auto& item : layout.expressions) document->AddExpression(item.number, item.text, item.header);
    for (const auto& item : layout.textRepeats) document->AddTextRepeat(item.number, item.text);
    for (const auto& item : layout.endings) document->AddEnding(item.number, item.text);
    const LyricsKind kinds[3] = {LyricsKind::Verse, LyricsKind::Chorus, LyricsKind::Section};
    for (int k = 0; k < 3; ++k)
        for (const auto& item : layout.lyrics[k]) document->AddLyrics(kinds[k], item.number, item.text);

    document->SetMeasureCount(layout.measures);
    document->SetStaffSystemCount(layout.staffSystems);
}

}  // namespace host
