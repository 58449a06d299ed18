// The documents random sessions play on.
#pragma once

#include "host/document/document.h"

namespace users::monkey {

// Documents the fuzz target plays on: every kind of text with tags and long
// texts, several staves and layers of entries, and a small odd one.
constexpr int kSessionDocuments = 3;
host::Document SessionDocument(int which);

}  // namespace users::monkey
