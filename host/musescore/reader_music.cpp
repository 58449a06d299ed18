// The walk over a staff's music: measures and voices, chords and rests into
// frame entries (with the excerpts' copies), and their syllables.
#include "host/musescore/walk.h"

namespace musescore::walk {

bool Reader::StaffMusic(pugi::xml_node staffElement, int staffIndex, std::string* error) {
    const StaffInfo& info = (*staves_)[static_cast<std::size_t>(staffIndex)];
    const int staff = info.scoreStaff;
    if (!excerpt_ && !Fits(staff + 1, "staves")) return true;
    StaffState state;
    if (staff >= 0 && static_cast<std::size_t>(staff) < score_.staves.size()) {
        state.chromatic = score_.staves[static_cast<std::size_t>(staff)].chromatic;
        state.diatonic = score_.staves[static_cast<std::size_t>(staff)].diatonic;
    }
    int ordinal = 0;
    for (pugi::xml_node item : staffElement.children()) {
        if (Is(item, "VBox") || Is(item, "HBox") || Is(item, "TBox")) {
            FrameTexts(item);
            continue;
        }
        if (!Is(item, "Measure")) continue;
        // A multimeasure rest is the excerpt's picture of the measures it
        // covers, written after the first of them; its texts are copies
        // of theirs.
        const bool picture = static_cast<bool>(item.child("multiMeasureRest"));
        const int measure = picture ? std::max(ordinal, 1) : ++ordinal;
        if (!Fits(measure, "measures in a staff")) return true;
        if (!excerpt_) layout_.measures = std::max(layout_.measures, measure);
        // MuseScore numbers its measures from the top staff's: an irregular
        // measure is not counted (it shares the next one's number; a pickup
        // before any counted measure is 0, as MuseScore exports it), and
        // <noOffset> moves the count.
        if (!excerpt_ && !picture && staff == 0) {
            number_ += SignedOr(item.child("noOffset"), 0);
            const bool counted = IntOr(item.child("irregular"), 0) == 0;
            score_.measureNumbers.push_back(!counted && number_ == 0 ? 0 : number_ + 1);
            if (counted) ++number_;
        }
        if (!Measure(item, staff, measure, picture, &state, error)) return false;
    }
    return true;
}

bool Reader::Measure(pugi::xml_node measureElement, int staff, int measure, bool picture, StaffState* state,
                     std::string* error) {
    int layer = 0;
    const Fraction nominal = state->time;
    Fraction length = nominal;
    if (const pugi::xml_attribute len = measureElement.attribute("len")) length = ParseFraction(len.value(), nominal);
    for (pugi::xml_node item : measureElement.children()) {
        if (Is(item, "voice")) {
            if (layer >= 4) {
                *error =
                    Prefix(Where(staff, measure)) + "a fifth <voice>: a staff has four voices in MuseScore; refused";
                return false;
            }
            Voice voice;
            voice.layer = layer;
            voice.length = length;
            for (pugi::xml_node element : item.children())
                if (!Element(element, staff, measure, &voice, state, picture, error)) return false;
            // The time signature is often in the first voice only: the
            // measure's length follows it.
            if (layer == 0 && !measureElement.attribute("len")) length = state->time;
            if (!excerpt_ && !picture && voice.tick.Greater(length) && overfull_.insert(staff).second)
                score_.notes.push_back(Prefix(Where(staff, measure)) + "voice " + std::to_string(layer + 1) +
                                       " lasts longer than the measure; read as it stands");
            ++layer;
        } else {
            Voice voice;
            voice.layer = -1;
            if (!Element(item, staff, measure, &voice, state, picture, error)) return false;
        }
    }
    if (state->changing) {
        state->chromatic = state->newChromatic;
        state->diatonic = state->newDiatonic;
        state->changing = false;
    }
    return true;
}

// System texts (tempo, system text, rehearsal marks, jumps, markers,
// voltas) stand over the top staff of the score and of each excerpt: their
// copies are linked by measure alone.
bool Reader::Element(pugi::xml_node element, int staff, int measure, Voice* voice, StaffState* state, bool picture,
                     std::string* error) {
    // The links' places, made only for the texts that need them.
    const auto onStaff = [&] { return std::to_string(staff) + "|" + std::to_string(measure); };
    const auto onSystem = [&] { return std::to_string(measure); };
    const char* name = element.name();
    if (std::strcmp(name, "Chord") == 0 || std::strcmp(name, "Rest") == 0) {
        if (!picture && voice->layer >= 0) {
            // The entry reads the chord's syllables in its pass over the chord.
            if (!Entry(element, staff, measure, voice, *state, error)) return false;
        } else {
            for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
                if (child.name()[0] == 'L' && Is(child, "Lyrics"))
                    Lyric(child, staff, measure, voice->layer, voice->entries);
        }
        ++voice->entries;
    } else if (std::strcmp(name, "Tuplet") == 0) {
        const long long normal = IntOr(element.child("normalNotes"), 0);
        const long long actual = IntOr(element.child("actualNotes"), 0);
        const Fraction ratio = normal > 0 && actual > 0 ? Fraction{normal, actual} : Fraction{1, 1};
        // The older form names its tuplet by id, and each of its chords names it.
        if (element.attribute("id"))
            voice->tupletsById[element.attribute("id").value()] = ratio;
        else
            voice->tuplets.push_back(ratio);
    } else if (std::strcmp(name, "endTuplet") == 0) {
        if (!voice->tuplets.empty()) voice->tuplets.pop_back();
    } else if (std::strcmp(name, "location") == 0) {
        if (IntOr(element.child("measures"), 0) == 0 && element.child("fractions"))
            voice->tick = voice->tick.Plus(ParseFraction(element.child_value("fractions"), Fraction{0, 1}));
    } else if (std::strcmp(name, "TimeSig") == 0) {
        const long long n = IntOr(element.child("sigN"), 0);
        const long long d = IntOr(element.child("sigD"), 0);
        if (n > 0 && d > 0) state->time = Fraction{n, d};
    } else if (std::strcmp(name, "InstrumentChange") == 0) {
        // Another instrument from here on (a clarinet in A for the one in
        // B-flat): its notes are written for its transposition.
        if (const pugi::xml_node instrument = element.child("Instrument")) {
            state->changing = true;
            state->changeAt = voice->tick;
            state->newChromatic = std::clamp(SignedOr(instrument.child("transposeChromatic"), 0), -48, 48);
            state->newDiatonic = std::clamp(SignedOr(instrument.child("transposeDiatonic"), 0), -28, 28);
        }
    } else if (std::strcmp(name, "KeySig") == 0) {
        // The key as written: MuseScore 3's <accidental>, 4's <actualKey>;
        // 4 leaves that out where it is the concert key moved by the
        // staff's transposition.
        if (pugi::xml_node written =
                element.child("accidental") ? element.child("accidental") : element.child("actualKey")) {
            state->fifths = std::clamp(SignedOr(written, 0), -7, 7);
        } else if (pugi::xml_node concert = element.child("concertKey")) {
            int fifths = std::clamp(SignedOr(concert, 0), -7, 7);
            const bool changed = state->changing && !state->changeAt.Greater(voice->tick);
            fifths -= pitch::TpcShift(changed ? state->newChromatic : state->chromatic,
                                      changed ? state->newDiatonic : state->diatonic);
            while (fifths > 7) fifths -= 12;
            while (fifths < -7) fifths += 12;
            state->fifths = fifths;
        }
    } else if (std::strcmp(name, "RehearsalMark") == 0) {
        Found(TextSource::MeasureText, element.child("text"), "rehearsal|" + onSystem(), "rehearsal mark", staff,
              measure);
    } else if (std::strcmp(name, "StaffText") == 0 || std::strcmp(name, "Expression") == 0) {
        Found(TextSource::Expression, element.child("text"), "expression|" + onStaff(), Label(name), staff, measure);
    } else if (std::strcmp(name, "SystemText") == 0 || std::strcmp(name, "Tempo") == 0) {
        Found(TextSource::Expression, element.child("text"), "system|" + onSystem(), Label(name), staff, measure);
    } else if (std::strcmp(name, "Jump") == 0 || std::strcmp(name, "Marker") == 0) {
        Found(TextSource::TextRepeat, element.child("text"), "repeat|" + onSystem(), Label(name), staff, measure);
    } else if (std::strcmp(name, "Spanner") == 0 || std::strcmp(name, "Volta") == 0) {
        const pugi::xml_node volta = std::strcmp(name, "Volta") == 0 ? element : element.child("Volta");
        if (volta) Found(TextSource::Ending, volta.child("beginText"), "ending|" + onSystem(), "volta", staff, measure);
    }
    return true;
}

// A chord or rest: an entry of the frame in the score; in an excerpt, a
// copy of the score's entry at the same place with the same pitches.
bool Reader::Entry(pugi::xml_node element, int staff, int measure, Voice* voice, const StaffState& state,
                   std::string* error) {
    const bool chord = Is(element, "Chord");
    // One pass over the chord's children: they are many, and so are chords.
    bool grace = false;
    bool slash = false;
    bool articulation = false;
    bool lyrics = false;
    bool slur = false;
    pugi::xml_node type, dots, length, tupletId, stem, beam;
    std::vector<NoteXml>& notes = notes_;  // kept from chord to chord: no allocation for each
    notes.clear();
    lyrics_.clear();
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        const char* name = child.name();
        switch (name[0]) {
            case 'N':
                if (std::strcmp(name, "Note") == 0) notes.push_back(ReadNote(child));
                break;
            case 'd':
                if (std::strcmp(name, "durationType") == 0)
                    type = child;
                else if (std::strcmp(name, "dots") == 0)
                    dots = child;
                else if (std::strcmp(name, "duration") == 0)
                    length = child;
                break;
            case 'a':
                if (std::strcmp(name, "acciaccatura") == 0) grace = slash = true;
                if (std::strcmp(name, "appoggiatura") == 0) grace = true;
                break;
            case 'g':
                if (std::strncmp(name, "grace", 5) == 0) grace = true;
                break;
            case 'A':
                if (std::strcmp(name, "Articulation") == 0) articulation = true;
                break;
            case 'L':
                if (std::strcmp(name, "Lyrics") == 0) {
                    lyrics = true;
                    lyrics_.push_back(child);
                }
                break;
            case 'S':
                if (std::strcmp(name, "StemDirection") == 0) stem = child;
                if (std::strcmp(name, "Spanner") == 0 && std::strcmp(child.attribute("type").value(), "Slur") == 0)
                    slur = true;
                break;
            case 'B':
                if (std::strcmp(name, "BeamMode") == 0) beam = child;
                break;
            case 'T':
                if (std::strcmp(name, "Tuplet") == 0) tupletId = child;
                break;
            default:
                break;
        }
    }
    // The chord's syllables first, as for a chord that is no entry.
    for (const pugi::xml_node lyric : lyrics_) Lyric(lyric, staff, measure, voice->layer, voice->entries);
    if (chord && notes.empty()) {
        *error = Prefix(Where(staff, measure)) + "voice " + std::to_string(voice->layer + 1) + ", entry " +
                 std::to_string(voice->entries + 1) + ": a <Chord> without notes; refused";
        return false;
    }
    for (const NoteXml& note : notes) {
        if (!note.pitch) {
            *error = Prefix(Where(staff, measure)) + "voice " + std::to_string(voice->layer + 1) + ", entry " +
                     std::to_string(voice->entries + 1) + ": a <Note> without <pitch>; refused";
            return false;
        }
    }
    Fraction duration = DurationOf(TrimmedView(type.child_value()), IntOr(dots, 0), length, voice->length);
    for (const Fraction& ratio : voice->tuplets) duration = duration.Times(ratio);
    bool inTuplet = !voice->tuplets.empty();
    if (tupletId && !voice->tupletsById.empty()) {
        const auto byId = voice->tupletsById.find(Trimmed(tupletId.child_value()));
        if (byId != voice->tupletsById.end()) {
            duration = duration.Times(byId->second);
            inTuplet = true;
        }
    }
    const Fraction start = voice->tick;
    if (!grace) voice->tick = voice->tick.Plus(duration);
    // Excerpts' chords are found by where they stand: only a score with
    // excerpts needs the index.
    const std::array<int, 4> link{staff, measure, voice->layer, voice->entries};
    std::vector<int> pitches;
    if (hasExcerpts)
        for (const NoteXml& note : notes) pitches.push_back(IntOr(note.pitch, -1000));
    if (excerpt_) {
        const auto found = chordIndex_.find(link);
        if (found != chordIndex_.end() && found->second.second == pitches)
            score_.entries[found->second.first].chords.push_back({member_, element});
        return true;
    }
    if (staff < 0) return true;
    EntrySource& entry = score_.entries.emplace_back();
    entry.frame = {staff + 1, measure, voice->layer};
    entry.chords.push_back({member_, element});
    entry.key = KeyAlterations(state.fifths);
    EntryRecord& record = entry.original;
    record.position = start.Units();
    entry.startNumerator = start.n;
    entry.startDenominator = start.d;
    record.duration = grace ? 0 : duration.Units();
    namespace bits = markup::bits;
    if (chord) record.flagsA |= bits::kNote;
    if (voice->layer == 1) record.flagsA |= bits::kVoice2;
    if (notes.size() > 1) record.flagsA |= bits::kChord;
    if (grace) record.flagsA |= bits::kGrace;
    if (slash) record.flagsB |= bits::kSlashGrace;
    if (inTuplet) record.flagsA |= bits::kTuplet;
    if (articulation) record.flagsA |= bits::kArticulation;
    if (lyrics) record.flagsA |= bits::kLyrics;
    const std::string_view beamMode = TrimmedView(beam.child_value());
    if (beamMode == "begin" || beamMode == "no") record.flagsA |= bits::kBeamBeat;
    const std::string_view direction = TrimmedView(stem.child_value());
    if (direction == "up" || direction == "down") record.flagsA |= bits::kFreezeStem;
    if (direction == "up") record.flagsA |= bits::kUpDown;
    if (slur) record.flagsB |= bits::kSlur;
    const bool changed = state.changing && !state.changeAt.Greater(start);
    entry.chromatic = changed ? state.newChromatic : state.chromatic;
    entry.diatonic = changed ? state.newDiatonic : state.diatonic;
    if (notes.size() > static_cast<std::size_t>(kMaxNotesPerEntry) && manyNotes_.insert(staff).second)
        score_.notes.push_back(Prefix(Where(staff, measure)) + "a chord of more than " +
                               std::to_string(kMaxNotesPerEntry) + " notes: the others are not searched");
    for (std::size_t n = 0; n < notes.size() && n < static_cast<std::size_t>(kMaxNotesPerEntry); ++n) {
        NoteRecord& out = record.notes[n];
        const pitch::Spelling spelling = SpellingOf(notes[n], entry.chromatic, entry.diatonic);
        if (!spelling.fits && !saidSpelling_) {
            score_.notes.push_back(Prefix(Where(staff, measure)) +
                                   "a spelling (<tpc>) that does not fit the note's pitch; read as the pitch says"
                                   " (said once)");
            saidSpelling_ = true;
        }
        out.displacement = static_cast<std::int16_t>(spelling.displacement);
        out.raiseLower = static_cast<std::int16_t>(spelling.alter);
        if (const pugi::xml_node accidental = notes[n].accidental) {
            out.flags |= bits::kAccidental;
            if (IntOr(accidental.child("bracket"), 0) != 0) out.flags |= bits::kAccidentalParentheses;
        }
        if (notes[n].tieStart) out.flags |= bits::kTieStart;
        if (notes[n].tieEnd) out.flags |= bits::kTieEnd;
        ++record.noteCount;
    }
    // A frame's entries come one after another: its count is looked up
    // when the frame changes, not for each entry.
    if (frameSize_ == nullptr || !(lastFrame_ == entry.frame)) {
        frameSize_ = &frameSizes_[entry.frame];
        lastFrame_ = entry.frame;
    }
    entry.index = (*frameSize_)++;
    if (hasExcerpts) chordIndex_.emplace(link, std::make_pair(score_.entries.size() - 1, std::move(pitches)));
    return true;
}

void Reader::Lyric(pugi::xml_node lyric, int staff, int measure, int voice, int entry) {
    const int number = IntOr(lyric.child("no"), 0) + 1;
    Copy copy;
    std::string plain;
    const std::string where = Where(staff, measure);
    if (!RunsOf(lyric.child("text"), &copy, &plain, where)) {
        // An empty syllable is kept in its place: the verse stays in step.
        if (excerpt_) return;
        plain.clear();
        copy = Copy{};
    }
    const std::string syllabic = Trimmed(lyric.child_value("syllabic"));
    const std::string link = std::to_string(staff) + "|" + std::to_string(measure) + "|" + std::to_string(voice) + "|" +
                             std::to_string(entry) + "|" + std::to_string(number);
    if (excerpt_) {
        const auto found = syllableIndex_.find(link);
        if (found == syllableIndex_.end()) {
            Unlinked(where, plain);
            return;
        }
        Verse& verse = verses_[found->second.first];
        if (verse.syllables[found->second.second].text == plain)
            verse.copies[found->second.second].push_back(std::move(copy));
        else
            Unlinked(where, plain);
        return;
    }
    Verse& verse = verses_[number];
    markup::Syllable syllable;
    syllable.text = plain;
    syllable.hyphenAfter = syllabic == "begin" || syllabic == "middle";
    syllable.part = staff;
    syllable.measure = measure;
    syllableIndex_.emplace(link, std::make_pair(number, verse.syllables.size()));
    verse.syllables.push_back(syllable);
    verse.copies.push_back(copy.runs.empty() ? std::vector<Copy>{} : std::vector<Copy>{std::move(copy)});
}

}  // namespace musescore::walk
