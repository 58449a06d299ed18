#include "host/musicxml/archive.h"

#include <zip.h>

#include <memory>
#include <pugixml.hpp>

namespace musicxml {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;

std::string ZipMessage(zip_error_t* error) {
    std::string message = zip_error_strerror(error);
    zip_error_fini(error);
    return message;
}

ArchivePtr OpenReadOnly(const std::string& bytes, std::string* error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
    if (source == nullptr) {
        *error = "cannot read the archive: " + ZipMessage(&zipError);
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zipError);
    if (archive == nullptr) {
        zip_source_free(source);
        *error = "not a readable .mxl archive: " + ZipMessage(&zipError);
        return nullptr;
    }
    zip_error_fini(&zipError);
    return ArchivePtr(archive);
}

// Reads at most `limit` bytes, whatever the archive's directory claims.
bool ReadMember(zip_t* archive, zip_uint64_t index, const std::string& name, std::size_t limit, std::string* out,
                std::string* error) {
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr) {
        *error = "cannot unpack " + name + ": " + zip_strerror(archive);
        return false;
    }
    out->clear();
    char buffer[1 << 16];
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got < 0) {
            *error = "cannot unpack " + name + ": " + zip_file_strerror(file);
            zip_fclose(file);
            return false;
        }
        if (got == 0) break;
        if (out->size() + static_cast<std::size_t>(got) > limit) {
            *error = name + " unpacks to more than " + std::to_string(limit >> 20) + " MiB; refused";
            zip_fclose(file);
            return false;
        }
        out->append(buffer, static_cast<std::size_t>(got));
    }
    zip_fclose(file);
    return true;
}

}  // namespace

bool IsZipArchive(const std::string& bytes) { return bytes.size() >= 4 && bytes.compare(0, 4, "PK\x03\x04") == 0; }

bool IsSafeMemberPath(const std::string& path) {
    if (path.empty() || path[0] == '/' || path.find('\\') != std::string::npos || path.find(':') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") return false;
        start = end + 1;
    }
    return true;
}

bool ReadArchive(const std::string& bytes, const ArchiveLimits& limits, std::string* rootPath, std::string* score,
                 std::string* error) {
    ArchivePtr archive = OpenReadOnly(bytes, error);
    if (!archive) return false;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || static_cast<std::size_t>(count) > limits.members) {
        *error = "the archive has more than " + std::to_string(limits.members) + " members; refused";
        return false;
    }
    std::size_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &stat) != 0) {
            *error = std::string("cannot read the archive's directory: ") + zip_strerror(archive.get());
            return false;
        }
        const std::string name = (stat.valid & ZIP_STAT_NAME) ? stat.name : "member " + std::to_string(i);
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            *error = "the archive is encrypted (" + name + "); save the score without a password";
            return false;
        }
        if (stat.valid & ZIP_STAT_SIZE) {
            if (stat.size > limits.memberBytes) {
                *error = name + " unpacks to more than " + std::to_string(limits.memberBytes >> 20) + " MiB; refused";
                return false;
            }
            total += static_cast<std::size_t>(stat.size);
            if (total > limits.totalBytes) {
                *error =
                    "the archive unpacks to more than " + std::to_string(limits.totalBytes >> 20) + " MiB; refused";
                return false;
            }
        }
    }

    const zip_int64_t containerIndex = zip_name_locate(archive.get(), "META-INF/container.xml", 0);
    if (containerIndex < 0) {
        *error = "a .mxl archive without META-INF/container.xml";
        return false;
    }
    std::string container;
    if (!ReadMember(archive.get(), static_cast<zip_uint64_t>(containerIndex), "META-INF/container.xml",
                    limits.memberBytes, &container, error)) {
        return false;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(container.data(), container.size());
    if (!parsed) {
        *error = std::string("META-INF/container.xml is not well-formed: ") + parsed.description();
        return false;
    }
    const pugi::xml_node rootfile = document.child("container").child("rootfiles").child("rootfile");
    const pugi::xml_attribute path = rootfile.attribute("full-path");
    if (!rootfile || !path || *path.value() == 0) {
        *error = "META-INF/container.xml names no rootfile";
        return false;
    }
    *rootPath = path.value();
    if (!IsSafeMemberPath(*rootPath)) {
        *error = "the rootfile path \"" + *rootPath + "\" leaves the archive; refused";
        return false;
    }
    const zip_int64_t scoreIndex = zip_name_locate(archive.get(), rootPath->c_str(), 0);
    if (scoreIndex < 0) {
        *error = "the rootfile " + *rootPath + " is not in the archive";
        return false;
    }
    return ReadMember(archive.get(), static_cast<zip_uint64_t>(scoreIndex), *rootPath, limits.memberBytes, score,
                      error);
}

bool ReplaceInArchive(const std::string& bytes, const std::string& rootPath, const std::string& score, std::string* out,
                      std::string* error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    // The buffer source takes the rewritten archive when the archive closes.
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
    if (source == nullptr) {
        *error = "cannot rewrite the archive: " + ZipMessage(&zipError);
        return false;
    }
    zip_t* archive = zip_open_from_source(source, 0, &zipError);
    if (archive == nullptr) {
        zip_source_free(source);
        *error = "cannot rewrite the archive: " + ZipMessage(&zipError);
        return false;
    }
    zip_error_fini(&zipError);
    zip_source_keep(source);
    const zip_int64_t index = zip_name_locate(archive, rootPath.c_str(), 0);
    zip_source_t* replacement = index < 0 ? nullptr : zip_source_buffer(archive, score.data(), score.size(), 0);
    bool replaced =
        replacement != nullptr && zip_file_replace(archive, static_cast<zip_uint64_t>(index), replacement, 0) == 0;
    if (!replaced && replacement != nullptr) zip_source_free(replacement);  // still ours when the replace failed
    if (!replaced || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0) != 0) {
        *error = std::string("cannot replace ") + rootPath + " in the archive: " + zip_strerror(archive);
        zip_discard(archive);
        zip_source_free(source);
        return false;
    }
    if (zip_close(archive) != 0) {
        *error = std::string("cannot rewrite the archive: ") + zip_strerror(archive);
        zip_discard(archive);
        zip_source_free(source);
        return false;
    }
    bool ok = zip_source_open(source) == 0;
    zip_stat_t stat;
    zip_stat_init(&stat);
    ok = ok && zip_source_stat(source, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE);
    if (ok) {
        out->resize(static_cast<std::size_t>(stat.size));
        ok = zip_source_read(source, out->data(), stat.size) == static_cast<zip_int64_t>(stat.size);
        zip_source_close(source);
    }
    zip_source_free(source);
    if (!ok) *error = "cannot rewrite the archive";
    return ok;
}

}  // namespace musicxml
