// MuseScore's texts carry inline formatting (<b>, <i>, <u>, <font .../>,
// <sym>) among their characters. The search sees the plain characters; a
// change is written into the stretches of characters it touched, so every
// formatting tag stays where it was.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/markup/mapped_text.h"

namespace musescore {

using markup::Span;

// A stretch of character data between two tags: where it lies in the file's
// text and what it says, references decoded.
struct Run {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string text;
};

// The content of an element: from after its start tag to its end tag, over
// any elements inside. False for an empty element (no content) or when the
// end is missing.
bool ElementContent(const std::string& xml, std::size_t nameOffset, Span* span);

// The character runs of formatted content, outside <sym> (a symbol's name is
// not text the reader sees). False when the content holds what a text
// cannot be read from: CDATA, comments, an unknown reference.
bool ReadRuns(const std::string& xml, const Span& content, std::vector<Run>* runs);

std::string PlainText(const std::vector<Run>& runs);

// One replacement of a run's raw bytes by escaped markup.
struct RunEdit {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string markup;
};

// What turns the runs' plain text into `now`: the changed stretch (after the
// common beginning and end) goes into the runs it covers. When it keeps its
// number of characters each run takes its own characters back; otherwise
// the first run it touches takes all of the new ones and the others lose
// theirs. An insertion joins the run before it. Runs are edited only where
// their text changed.
std::vector<RunEdit> SpliceRuns(const std::vector<Run>& runs, const std::string& now);

}  // namespace musescore
