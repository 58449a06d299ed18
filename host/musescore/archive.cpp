#include "host/musescore/archive.h"

#include <zip.h>

#include <memory>

namespace musescore {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;

ArchivePtr Open(const std::string& bytes) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
    zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &zipError);
    if (archive == nullptr && source != nullptr) zip_source_free(source);
    zip_error_fini(&zipError);
    return ArchivePtr(archive);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The shared archive reader speaks of .mxl; here the file is an .mscz.
std::string AsMscz(std::string message) {
    for (std::size_t at = message.find(".mxl"); at != std::string::npos; at = message.find(".mxl", at))
        message.replace(at, 4, ".mscz");
    return message;
}

}  // namespace

bool ArchiveHoldsScore(const std::string& bytes) {
    if (!markup::IsZipArchive(bytes)) return false;
    ArchivePtr archive = Open(bytes);
    if (!archive) return false;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
        if (name != nullptr && EndsWith(name, ".mscx")) return true;
    }
    return false;
}

bool ReadScoreArchive(const std::string& bytes, const markup::ArchiveLimits& limits,
                      std::vector<std::pair<std::string, std::string>>* members, std::string* error) {
    members->clear();
    std::string rootPath;
    std::string score;
    if (!markup::ReadArchive(bytes, limits, &rootPath, &score, error)) {
        *error = AsMscz(*error);
        return false;
    }
    if (!EndsWith(rootPath, ".mscx")) {
        *error = "the archive's rootfile " + rootPath + " is not an .mscx score";
        return false;
    }
    std::size_t total = score.size();
    members->emplace_back(rootPath, std::move(score));
    ArchivePtr archive = Open(bytes);
    if (!archive) {
        *error = "not a readable .mscz archive";
        return false;
    }
    // The directory was checked by the reader above; what is unpacked here is
    // counted again, whatever the directory claims.
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* found = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
        if (found == nullptr) continue;
        const std::string name = found;
        if (name.rfind("Excerpts/", 0) != 0 || !EndsWith(name, ".mscx") || name == rootPath) continue;
        if (!markup::IsSafeMemberPath(name)) {
            *error = "the member path \"" + name + "\" leaves the archive; refused";
            return false;
        }
        zip_file_t* file = zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(i), 0);
        if (file == nullptr) {
            *error = "cannot unpack " + name + ": " + zip_strerror(archive.get());
            return false;
        }
        std::string text;
        char buffer[1 << 16];
        bool ok = true;
        for (;;) {
            const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
            if (got < 0) {
                *error = "cannot unpack " + name + ": " + zip_file_strerror(file);
                ok = false;
                break;
            }
            if (got == 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
            total += static_cast<std::size_t>(got);
            if (text.size() > limits.memberBytes || total > limits.totalBytes) {
                *error = name + " unpacks to more than the archive's limits (" +
                         std::to_string(limits.memberBytes >> 20) + " MiB a member, " +
                         std::to_string(limits.totalBytes >> 20) + " MiB in all); refused";
                ok = false;
                break;
            }
        }
        zip_fclose(file);
        if (!ok) return false;
        members->emplace_back(name, std::move(text));
    }
    return true;
}

bool ReplaceMembers(const std::string& bytes, const std::vector<std::pair<std::string, std::string>>& members,
                    std::string* out, std::string* error) {
    std::string current = bytes;
    for (const auto& [path, text] : members) {
        std::string next;
        if (!markup::ReplaceInArchive(current, path, text, &next, error)) return false;
        current = std::move(next);
    }
    *out = std::move(current);
    return true;
}

}  // namespace musescore
