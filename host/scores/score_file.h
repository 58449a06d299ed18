// The file a run reads and writes: a JSON score document, a MusicXML score
// or a MuseScore score (chosen by content), and the safe way to write it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/document/pieces.h"

namespace scores {

class ScoreFile {
public:
    ScoreFile();
    ~ScoreFile();
    ScoreFile(const ScoreFile&) = delete;
    ScoreFile& operator=(const ScoreFile&) = delete;

    // Errors name the file.
    bool Load(const std::string& path, host::Document* document, std::string* error);
    // The same over a file's bytes (a written result read back); `path` names it.
    bool Parse(const std::string& path, std::string bytes, host::Document* document, std::string* error);

    bool IsMusicXml() const { return musicXml_ != nullptr; }
    // From now until StopWatching, every verse text the plug-in writes is
    // kept, so that a MusicXML score's verses are written back by where
    // each change fell. Nothing for a JSON document.
    void WatchVerseWrites();
    void StopWatching();

    // What the reader left out of the search (texts too long for the plug-in).
    std::vector<std::string> ReadNotes() const;
    // What the note reader met (measures that do not add up, a fifth
    // voice): for note entry runs; a text run only counts them.
    std::vector<std::string> EntryNotes() const;

    // Where a record stands in the score, as a musician says it; empty
    // where the file does not tell. A text record (offset: a byte of the
    // text, -1 for all of it), or a frame entry at a position.
    std::string TextPlace(const host::Document& document, std::uint32_t tag, const host::Key& key, int offset) const;
    std::string EntryPlace(const host::FrameKey& frame, std::int32_t position) const;

    // What to write to `target` after the run: a MusicXML score is written
    // as MusicXML (an .mxl stays an archive), a MuseScore score as MuseScore
    // (an .mscz stays an archive), with only the changed texts spliced in,
    // unless the target ends in ".json"; a JSON document as JSON.
    // The pieces may point into the score this holds.
    bool Render(const host::Document& document, const std::string& target, host::Pieces* bytes,
                std::vector<std::string>* warnings, std::string* error) const;

private:
    struct MusicXml;
    std::unique_ptr<MusicXml> musicXml_;
    struct MuseScore;
    std::unique_ptr<MuseScore> museScore_;
};

// Writes a temporary file beside the target and renames it into place only
// when it is complete: a failure leaves the target as it was.
// failBeforeRename: tests make the step after writing fail.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error,
                         bool failBeforeRename = false);
bool WriteFileAtomically(const std::string& path, const host::Pieces& bytes, std::string* error,
                         bool failBeforeRename = false);

// The first time a file is written in place, its original is kept as
// PATH.orig; an existing .orig is never replaced.
bool KeepOriginal(const std::string& path, std::string* error);

}  // namespace scores
