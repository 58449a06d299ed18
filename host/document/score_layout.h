// The semantic sections of a score document, as the reader fills them and
// the writer recovers them from the records. LayOut turns them into records
// in the one fixed order that decides the text block ids and text numbers.
#pragma once

#include <string>
#include <vector>

#include "host/document/document.h"

namespace host {

struct ScoreLayout {
    struct PageText {
        int page = 0;
        std::string text;
    };
    struct MeasureText {
        int staff = 0;
        int measure = 0;
        std::string text;
    };
    struct Expression {
        int number = 0;
        std::string text;
        Bytes header;  // 12 bytes
    };
    struct Names {
        int system = 0;  // groups only
        int number = 0;
        std::string full;
        std::string abbreviated;
    };
    struct NumberedText {
        int number = 0;  // the measure, for endings
        std::string text;
    };

    std::vector<PageText> pageTexts;
    std::vector<MeasureText> measureTexts;
    std::vector<Expression> expressions;
    std::vector<Names> staves;
    std::vector<Names> groups;
    std::vector<NumberedText> textRepeats;
    std::vector<NumberedText> endings;
    std::vector<NumberedText> lyrics[3];  // verse, chorus, section
    int measures = 0;
    int staffSystems = 0;
};

// Text blocks are allocated page texts first (by page, then file order on
// the page), then measure texts (by staff, measure, file order), then staff
// names (by staff number, full before abbreviated), then group names (by
// staff system and group number, full before abbreviated).
void LayOut(const ScoreLayout& layout, Document* document);

}  // namespace host
