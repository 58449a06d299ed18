#include "host/scores/score_file.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "host/document/beats.h"

#if ORVO_HAVE_MUSICXML
#include "host/musescore/places.h"
#include "host/musescore/score.h"
#include "host/musicxml/places.h"
#include "host/musicxml/score.h"
#include "host/services/services.h"
#endif

namespace scores {

namespace fs = std::filesystem;

namespace {

bool ReadBytes(const std::string& path, std::string* bytes) {
    std::error_code code;
    if (fs::is_directory(path, code)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    if (fs::is_regular_file(path, code)) {
        // A score can be large: one read of the known size, no stream copies.
        const auto size = fs::file_size(path, code);
        if (!code) {
            bytes->resize(static_cast<std::size_t>(size));
            in.read(bytes->data(), static_cast<std::streamsize>(size));
            return in.gcount() == static_cast<std::streamsize>(size);
        }
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *bytes = buffer.str();
    return !in.bad();
}

[[maybe_unused]] bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string LowerExtension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

// A score document tells what holds a text block: a page text its page, a
// measure text its staff and measure, a staff or group its number.
std::string BlockOwner(const host::Document& document, std::uint32_t tag, const host::Key& key) {
    if (tag != host::kTagTextBlockText) return {};
    const auto int16At = [](const host::Bytes& bytes, std::size_t at) {
        return bytes.size() < at + 2 ? std::int16_t{-1} : static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8));
    };
    const auto holds = [&](const host::Bytes& owner, std::size_t at) {
        const std::int16_t block = int16At(owner, at);
        const host::Bytes* record = block < 0 ? nullptr : document.Record(host::kTagTextBlock, {block, 0, 0});
        return record != nullptr && int16At(*record, 0) == key[0];
    };
    struct Owner {
        std::uint32_t tag;
        std::size_t offset;
        const char* what;  // the kind, as the place starts
    };
    static const Owner kOwners[] = {{host::kTagPageTextAssignment, 0, "page text"},
                                    {host::kTagMeasureTextAssignment, 0, "measure text"},
                                    {host::kTagStaff, 30, "staff name"},
                                    {host::kTagStaff, 32, "abbreviated staff name"},
                                    {host::kTagGroup, 4, "group name"},
                                    {host::kTagGroup, 22, "abbreviated group name"}};
    for (const Owner& owner : kOwners) {
        const auto* records = document.RecordsOf(owner.tag);
        if (records == nullptr) continue;
        for (const auto& [k, bytes] : *records) {
            if (!holds(bytes, owner.offset)) continue;
            const std::string what = std::string(owner.what) + ", ";
            if (owner.tag == host::kTagPageTextAssignment)
                return what + (k[0] == 0 ? std::string("all pages") : "page " + std::to_string(k[0]));
            if (owner.tag == host::kTagMeasureTextAssignment)
                return what + "staff " + std::to_string(k[0]) + ", measure " + std::to_string(k[1]);
            if (owner.tag == host::kTagStaff) return what + "staff " + std::to_string(k[0]);
            return what + "group " + std::to_string(k[1]);
        }
    }
    return {};
}

// The temporary file being written, for the signal handlers: an
// interrupted write takes it away (hundreds of megabytes, hidden).
char g_temporary[4096] = {};

extern "C" void RemoveTemporaryAndStop(int signal) {
    if (g_temporary[0] != 0) std::remove(g_temporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// While it lives, SIGINT and SIGTERM remove the temporary file before the
// program stops, and a file-size limit fails the write (it is then removed
// as any failed write is) instead of stopping the program.
class TemporaryGuard {
public:
    explicit TemporaryGuard(const fs::path& temporary) {
        const std::string name = temporary.string();
        if (name.size() < sizeof g_temporary) std::memcpy(g_temporary, name.c_str(), name.size() + 1);
        interrupt_ = std::signal(SIGINT, RemoveTemporaryAndStop);
        terminate_ = std::signal(SIGTERM, RemoveTemporaryAndStop);
#ifdef SIGXFSZ
        sizeLimit_ = std::signal(SIGXFSZ, SIG_IGN);
#endif
    }
    ~TemporaryGuard() {
        std::signal(SIGINT, interrupt_);
        std::signal(SIGTERM, terminate_);
#ifdef SIGXFSZ
        std::signal(SIGXFSZ, sizeLimit_);
#endif
        g_temporary[0] = 0;
    }
    TemporaryGuard(const TemporaryGuard&) = delete;
    TemporaryGuard& operator=(const TemporaryGuard&) = delete;

private:
    using Handler = void (*)(int);
    Handler interrupt_;
    Handler terminate_;
#ifdef SIGXFSZ
    Handler sizeLimit_;
#endif
};

bool WriteAtomically(const std::string& path, const host::Pieces& bytes, const std::string& modeOf, std::string* error,
                     bool failBeforeRename);

}  // namespace

#if ORVO_HAVE_MUSICXML
struct ScoreFile::MusicXml {
    musicxml::Score score;
    musicxml::VerseWrites verseWrites;
    bool watching = false;
};
struct ScoreFile::MuseScore {
    musescore::Score score;
    musicxml::VerseWrites verseWrites;
    bool watching = false;
};
#else
struct ScoreFile::MusicXml {};
struct ScoreFile::MuseScore {};
#endif

ScoreFile::ScoreFile() = default;
ScoreFile::~ScoreFile() = default;

bool ScoreFile::Load(const std::string& path, host::Document* document, std::string* error) {
    std::string bytes;
    if (!ReadBytes(path, &bytes)) {
        *error = path + ": cannot be opened";
        return false;
    }
    return Parse(path, std::move(bytes), document, error);
}

bool ScoreFile::Parse(const std::string& path, std::string bytes, host::Document* document, std::string* error) {
    // JSON starts with "{"; MusicXML with markup or a ZIP header. Content
    // decides; the extension only picks whose error a damaged file gets.
    std::size_t first = bytes.find_first_not_of(" \t\r\n");
    const bool json = first != std::string::npos && bytes[first] == '{';
    const std::string extension = LowerExtension(path);
    const bool xmlByName = extension == ".musicxml" || extension == ".xml" || extension == ".mxl";
    const bool museScoreByName = extension == ".mscx" || extension == ".mscz";
#if ORVO_HAVE_MUSICXML
    // MuseScore's own files are markup or ZIP archives too: asked first.
    if (!json && (musescore::LooksLikeMuseScore(bytes) || museScoreByName)) {
        auto loaded = std::make_unique<MuseScore>();
        std::string message;
        if (!musescore::ReadScore(std::move(bytes), musescore::ReadOptions{}, document, &loaded->score, &message)) {
            *error = path + ": " + message;
            return false;
        }
        museScore_ = std::move(loaded);
        return true;
    }
    if (!json && (musicxml::LooksLikeMusicXml(bytes) || xmlByName)) {
        auto loaded = std::make_unique<MusicXml>();
        std::string message;
        if (!musicxml::ReadScore(std::move(bytes), musicxml::ReadOptions{}, document, &loaded->score, &message)) {
            *error = path + ": " + message;
            return false;
        }
        musicXml_ = std::move(loaded);
        return true;
    }
#else
    if (!json && (xmlByName || museScoreByName)) {
        *error = path + ": this build of veldune-host reads no MusicXML or MuseScore files; use the Linux host";
        return false;
    }
#endif
    std::string message;
    if (!host::Document::FromJson(bytes, document, &message)) {
        *error = path + ": " + message;
        return false;
    }
    return true;
}

void ScoreFile::WatchVerseWrites() {
#if ORVO_HAVE_MUSICXML
    if (!musicXml_ && !museScore_) return;
    musicxml::VerseWrites* writes = musicXml_ ? &musicXml_->verseWrites : &museScore_->verseWrites;
    (musicXml_ ? musicXml_->watching : museScore_->watching) = true;
    host::WatchWrites([writes](std::uint32_t tag, const host::Key& key, const std::optional<std::string>&,
                               const std::optional<std::string>& after) {
        if (tag == host::kTagVerseLyrics && after) (*writes)[key[0]].push_back(*after);
    });
#endif
}

void ScoreFile::StopWatching() {
#if ORVO_HAVE_MUSICXML
    bool* watching = musicXml_ ? &musicXml_->watching : museScore_ ? &museScore_->watching : nullptr;
    if (watching == nullptr || !*watching) return;
    *watching = false;
    host::WatchWrites(nullptr);
#endif
}

std::vector<std::string> ScoreFile::ReadNotes() const {
#if ORVO_HAVE_MUSICXML
    if (musicXml_) return musicXml_->score.notes;
    if (museScore_) return museScore_->score.notes;
#endif
    return {};
}

std::vector<std::string> ScoreFile::EntryNotes() const {
#if ORVO_HAVE_MUSICXML
    if (musicXml_) return musicXml_->score.entryNotes;
#endif
    return {};
}

std::string ScoreFile::TextPlace(const host::Document& document, std::uint32_t tag, const host::Key& key,
                                 int offset) const {
#if ORVO_HAVE_MUSICXML
    if (musicXml_) return musicxml::TextPlace(musicXml_->score, document, tag, key, offset);
    if (museScore_) return musescore::TextPlace(museScore_->score, document, tag, key, offset);
#endif
    (void)offset;
    return BlockOwner(document, tag, key);
}

std::string ScoreFile::EntryPlace(const host::FrameKey& frame, std::int32_t position) const {
#if ORVO_HAVE_MUSICXML
    if (musicXml_) return musicxml::EntryPlace(musicXml_->score, frame, position);
    if (museScore_) return musescore::EntryPlace(museScore_->score, frame, position);
#endif
    // A score document's entry already says staff, measure and layer.
    (void)frame;
    return host::BeatOf(position);
}

bool ScoreFile::Render(const host::Document& document, const std::string& target, host::Pieces* bytes,
                       std::vector<std::string>* warnings, std::string* error) const {
#if ORVO_HAVE_MUSICXML
    if (musicXml_ && !EndsWith(LowerExtension(target), ".json"))
        return musicxml::WriteScore(musicXml_->score, document, bytes, warnings, error, &musicXml_->verseWrites);
    if (museScore_ && !EndsWith(LowerExtension(target), ".json"))
        return musescore::WriteScore(museScore_->score, document, bytes, warnings, error, &museScore_->verseWrites);
#else
    (void)target;
    (void)warnings;
    (void)error;
#endif
    *bytes = host::Pieces();
    bytes->Own(document.ToJson());
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error, bool failBeforeRename) {
    host::Pieces pieces;
    pieces.Add(bytes);
    return WriteFileAtomically(path, pieces, error, failBeforeRename);
}

bool WriteFileAtomically(const std::string& path, const host::Pieces& bytes, std::string* error,
                         bool failBeforeRename) {
    return WriteAtomically(path, bytes, path, error, failBeforeRename);
}

namespace {

// modeOf: the file whose permissions the new file takes (the target itself
// when it exists); the temporary file is made with the default ones.
bool WriteAtomically(const std::string& path, const host::Pieces& bytes, const std::string& modeOf, std::string* error,
                     bool failBeforeRename) {
    const fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::random_device random;
    const fs::path temporary =
        folder / ("." + target.filename().string() + ".tmp-" + std::to_string(random() % 1000000000u));
    const TemporaryGuard guard(temporary);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = path + ": cannot be written (no temporary file can be made in " + folder.string() + ")";
            return false;
        }
        // The new file has the permissions of the one it replaces (or of
        // modeOf) from the start: a private score is never readable by others.
        std::error_code code;
        const fs::path modeSource = fs::exists(target, code) ? target : fs::path(modeOf);
        const fs::file_status status = fs::status(modeSource, code);
        if (!code && fs::is_regular_file(status)) fs::permissions(temporary, status.permissions(), code);
        // Many small pieces: gathered into large writes, not a system call each.
        constexpr std::size_t kChunk = std::size_t{1} << 20;
        std::string chunk;
        chunk.reserve(kChunk);
        const auto flush = [&] {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        };
        for (std::string_view piece : bytes.views) {
            if (chunk.size() + piece.size() > kChunk) flush();
            if (piece.size() >= kChunk)
                out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            else
                chunk += piece;
        }
        flush();
        out.close();
        if (!out || failBeforeRename) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            *error = path + ": cannot be written; it is left as it was";
            return false;
        }
    }
    std::error_code code;
    fs::rename(temporary, target, code);
    if (code) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        *error = path + ": cannot be written (" + code.message() + "); it is left as it was";
        return false;
    }
    return true;
}

}  // namespace

bool KeepOriginal(const std::string& path, std::string* error) {
    const std::string original = path + ".orig";
    std::error_code code;
    const fs::file_status status = fs::symlink_status(original, code);
    if (fs::is_regular_file(status)) return true;
    if (fs::exists(status)) {
        *error = original + ": is there and is not a file, so the original cannot be kept there; " + path +
                 " is not written";
        return false;
    }
    std::string bytes;
    if (!ReadBytes(path, &bytes)) {
        *error = path + ": cannot be read to keep its original";
        return false;
    }
    host::Pieces pieces;
    pieces.Add(bytes);
    return WriteAtomically(original, pieces, path, error, false);
}

}  // namespace scores
