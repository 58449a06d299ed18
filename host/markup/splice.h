// The splicing writer's last step, shared by the XML score formats: a
// file's text with its edits in place, only the edited bytes written anew.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/document/pieces.h"

namespace markup {

// Edits of one text by where each begins: where it ends and its markup
// (already escaped). Several at one place keep the order they were added in.
using Edits = std::multimap<std::size_t, std::pair<std::size_t, std::string>>;

// The text with the edits in place, as pieces of it and the edits' markup.
// An edit that begins inside an earlier one goes to *warnings, unwritten.
void ApplyEdits(const std::string& xml, const Edits& edits, host::Pieces* out, std::vector<std::string>* warnings);

// A text that would make the file invalid (not UTF-8 XML text) is not
// written: false, with a warning about `what`.
bool Writable(const std::string& text, const std::string& what, std::vector<std::string>* warnings);

}  // namespace markup
