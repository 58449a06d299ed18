// A score's ZIP archive (.mxl, .mscz): META-INF/container.xml names the
// score's file. Read with limits, since an archive can claim or unpack to
// far more than it holds.
#pragma once

#include <cstddef>
#include <string>

namespace markup {

struct ArchiveLimits {
    std::size_t memberBytes = std::size_t{256} << 20;  // any one file, unpacked
    std::size_t totalBytes = std::size_t{1} << 30;     // all files together, unpacked
    std::size_t members = 10000;
};

// True when the bytes begin as a ZIP archive does.
bool IsZipArchive(const std::string& bytes);

// Finds the score's path through the container and unpacks it.
bool ReadArchive(const std::string& archive, const ArchiveLimits& limits, std::string* rootPath, std::string* score,
                 std::string* error);

// The same archive with the file at rootPath replaced by `score`; every
// other member is copied as it was stored.
bool ReplaceInArchive(const std::string& archive, const std::string& rootPath, const std::string& score,
                      std::string* out, std::string* error);

// A rootfile path that stays inside the archive: relative, no "..", no
// backslashes or drive letters.
bool IsSafeMemberPath(const std::string& path);

}  // namespace markup
