// --dry-run: what a run changed in the document, said in the user's terms;
// the caller then writes nothing.
#pragma once

#include <string>
#include <vector>

#include "host/document/document.h"

namespace users {

// One line a changed text ("staff name #2: "Flute" -> "Flöte"") or
// changed entry ("staff 1, measure 3, position 1024: Up/Down off; note 1:
// displacement 6 -> 7").
std::vector<std::string> DescribeChanges(const host::Document& before, const host::Document& after);

}  // namespace users
