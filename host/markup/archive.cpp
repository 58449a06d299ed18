#include "host/markup/archive.h"

#include <zip.h>

#include <memory>
#include <pugixml.hpp>

namespace markup {

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
        // The library's own words ("File already exists") do not say which file.
        if (zip_error_code_zip(&zipError) == ZIP_ER_EXISTS) {
            zip_error_fini(&zipError);
            *error = "the archive holds two members of one name, so which is meant cannot be told; refused";
            return nullptr;
        }
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
    if (!ReadMember(archive.get(), static_cast<zip_uint64_t>(scoreIndex), *rootPath, limits.memberBytes, score, error))
        return false;
    // Every other member is copied into a rewritten archive, which checks
    // it: a damaged one is refused now, not when the changes are written.
    std::string scratch;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (i == scoreIndex || i == containerIndex) continue;
        const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
        const std::string member = name != nullptr ? name : "member " + std::to_string(i);
        if (!ReadMember(archive.get(), static_cast<zip_uint64_t>(i), member, limits.memberBytes, &scratch, error))
            return false;
    }
    return true;
}

bool ReplaceInArchive(const std::string& bytes, const std::string& rootPath, const std::string& score, std::string* out,
                      std::string* error) {
    // A new archive is made, each member copied from the old one as it is
    // stored and the score put in its place. Rewriting the old archive in
    // its own buffer let the library keep pieces of that buffer (ours) in
    // the new one and free them: the old archive is only ever read here.
    std::string why;
    ArchivePtr old = OpenReadOnly(bytes, &why);
    if (!old) {
        *error = "cannot rewrite the archive: " + why;
        return false;
    }
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &zipError);
    if (target == nullptr) {
        *error = "cannot rewrite the archive: " + ZipMessage(&zipError);
        return false;
    }
    zip_t* fresh = zip_open_from_source(target, ZIP_TRUNCATE, &zipError);
    if (fresh == nullptr) {
        zip_source_free(target);
        *error = "cannot rewrite the archive: " + ZipMessage(&zipError);
        return false;
    }
    zip_error_fini(&zipError);
    // Kept past the close to read the result; freed once, below.
    zip_source_keep(target);
    struct SourceFree {
        void operator()(zip_source_t* source) const { zip_source_free(source); }
    };
    const std::unique_ptr<zip_source_t, SourceFree> targetOwner(target);
    const auto fail = [&](const std::string& what) {
        *error = "cannot rewrite the archive: " + what + ": " + zip_strerror(fresh);
        zip_discard(fresh);
        return false;
    };

    const zip_int64_t count = zip_get_num_entries(old.get(), 0);
    bool replaced = false;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(old.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            return fail("member " + std::to_string(i) + " cannot be read");
        const std::string name = stat.name;
        const bool isScore = !replaced && name == rootPath;
        // A member's source is freed by the archive once it is added, and by us only when adding failed.
        zip_source_t* member = isScore ? zip_source_buffer(fresh, score.data(), score.size(), 0)
                                       : zip_source_zip(fresh, old.get(), index, ZIP_FL_COMPRESSED, 0, -1);
        if (member == nullptr) return fail(name);
        const zip_int64_t added = zip_file_add(fresh, name.c_str(), member, ZIP_FL_ENC_UTF_8);
        if (added < 0) {
            zip_source_free(member);
            return fail(name);
        }
        const auto at = static_cast<zip_uint64_t>(added);
        // Another member keeps its method, and so its stored bytes are copied as they are.
        const zip_int32_t method = isScore ? ZIP_CM_DEFLATE : static_cast<zip_int32_t>(stat.comp_method);
        replaced = replaced || isScore;
        if (zip_set_file_compression(fresh, at, method, 0) != 0) return fail(name);
        if ((stat.valid & ZIP_STAT_MTIME) && zip_file_set_mtime(fresh, at, stat.mtime, 0) != 0) return fail(name);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(old.get(), index, 0, &system, &attributes) == 0 &&
            zip_file_set_external_attributes(fresh, at, 0, system, attributes) != 0)
            return fail(name);
        zip_uint32_t length = 0;
        const char* comment = zip_file_get_comment(old.get(), index, &length, ZIP_FL_ENC_RAW);
        if (comment != nullptr && length > 0 &&
            zip_file_set_comment(fresh, at, comment, static_cast<zip_uint16_t>(length), 0) != 0)
            return fail(name);
    }
    if (!replaced) {
        *error = "cannot replace " + rootPath + " in the archive: it is not there";
        zip_discard(fresh);
        return false;
    }
    int length = 0;
    const char* comment = zip_get_archive_comment(old.get(), &length, ZIP_FL_ENC_RAW);
    if (comment != nullptr && length > 0 &&
        zip_set_archive_comment(fresh, comment, static_cast<zip_uint16_t>(length)) != 0)
        return fail("its comment");
    if (zip_close(fresh) != 0) return fail("closing it");

    bool ok = zip_source_open(target) == 0;
    zip_stat_t stat;
    zip_stat_init(&stat);
    ok = ok && zip_source_stat(target, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE);
    if (ok) {
        out->resize(static_cast<std::size_t>(stat.size));
        ok = zip_source_read(target, out->data(), stat.size) == static_cast<zip_int64_t>(stat.size);
    }
    zip_source_close(target);
    if (!ok) *error = "cannot rewrite the archive: the result cannot be read back";
    return ok;
}

}  // namespace markup
