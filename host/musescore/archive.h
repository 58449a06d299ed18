// The .mscz archive: META-INF/container.xml names the score's .mscx, as in
// compressed MusicXML, and the shared archive reader (and its limits) reads
// it; MuseScore 4 keeps each excerpt in a member of its own under Excerpts/.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/markup/archive.h"

namespace musescore {

// A ZIP archive with an .mscx member.
bool ArchiveHoldsScore(const std::string& bytes);

// The score's member through the container, then every Excerpts/.../*.mscx,
// each within the limits; members: {path, text}, the score's first.
bool ReadScoreArchive(const std::string& bytes, const markup::ArchiveLimits& limits,
                      std::vector<std::pair<std::string, std::string>>* members, std::string* error);

// The archive with the named members replaced; every other member is copied
// as it was stored.
bool ReplaceMembers(const std::string& bytes, const std::vector<std::pair<std::string, std::string>>& members,
                    std::string* out, std::string* error);

}  // namespace musescore
