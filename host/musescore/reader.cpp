// Reading MuseScore: every text kind of the text command is taken from its
// element (docs/musescore.md has the table), with each copy's runs of
// characters, and laid out into the document as the JSON reader lays out its
// sections. Excerpts (the score's parts) hold copies of the score's texts:
// each copy is found by where it stands and what it says, and is written
// with its original.
#include <algorithm>
#include "host/musescore/archive.h"
#include "host/musescore/walk.h"

namespace musescore {

namespace {

using namespace walk;

bool ParseMember(const std::string& path, const std::string& xml, std::shared_ptr<pugi::xml_document>* tree,
                 std::string* error) {
    auto document = std::make_shared<pugi::xml_document>();
    const pugi::xml_parse_result parsed =
        document->load_buffer(xml.data(), xml.size(), kParseOptions, pugi::encoding_utf8);
    const std::string prefix = path.empty() ? std::string() : path + ": ";
    if (!parsed) {
        std::size_t line = 0;
        std::size_t column = 0;
        markup::LineAndColumn(xml, static_cast<std::size_t>(parsed.offset), &line, &column);
        *error = prefix + "not well-formed XML at line " + std::to_string(line) + ", column " + std::to_string(column) +
                 ": " + parsed.description();
        return false;
    }
    for (pugi::xml_node child : document->children()) {
        if (child.type() == pugi::node_doctype && std::string(child.value()).find("<!ENTITY") != std::string::npos) {
            *error =
                prefix + "the DOCTYPE declares entities of its own; they are never expanded, so the score is refused";
            return false;
        }
        if (child.type() == pugi::node_declaration) {
            std::string declared = child.attribute("encoding").value();
            for (char& c : declared) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!declared.empty() && declared != "utf-8" && declared != "utf8") {
                *error = prefix + "the file declares the encoding \"" +
                         std::string(child.attribute("encoding").value()) + "\"; MuseScore files are UTF-8";
                return false;
            }
        }
    }
    const pugi::xml_node root = document->document_element();
    if (!Is(root, "museScore")) {
        *error = prefix + "not a MuseScore score: the root element is <" + std::string(root.name()) + ">";
        return false;
    }
    if (!root.child("Score")) {
        *error = prefix + "a MuseScore file without a <Score>";
        return false;
    }
    *tree = std::move(document);
    return true;
}

}  // namespace

bool LooksLikeMuseScore(const std::string& bytes) {
    if (markup::IsZipArchive(bytes)) return ArchiveHoldsScore(bytes);
    return RootName(bytes) == "museScore";
}

bool ReadScore(std::string bytes, const ReadOptions& options, host::Document* document, Score* score,
               std::string* error) {
    Score read;
    read.file = std::move(bytes);
    if (markup::IsZipArchive(read.file)) {
        read.compressed = true;
        std::vector<std::pair<std::string, std::string>> members;
        if (!ReadScoreArchive(read.file, options.limits, &members, error)) return false;
        for (auto& [path, xml] : members) read.members.push_back({path, std::move(xml), nullptr});
    } else {
        read.members.push_back({});
    }
    for (std::size_t m = 0; m < read.members.size(); ++m) {
        std::shared_ptr<pugi::xml_document> tree;
        if (!ParseMember(read.members[m].path, read.Xml(static_cast<int>(m)), &tree, error)) return false;
        const std::string version = tree->document_element().attribute("version").value();
        if (!CheckVersion(version, error)) {
            if (!read.members[m].path.empty()) *error = read.members[m].path + ": " + *error;
            return false;
        }
        if (m == 0) read.version = version;
        read.members[m].tree = std::move(tree);
    }
    host::ScoreLayout layout;
    // A capacity hint: MuseScore spends well over a hundred bytes on a chord
    // or rest, and what is reserved beyond the entries read is never touched.
    std::size_t markup = 0;
    for (std::size_t m = 0; m < read.members.size(); ++m) markup += read.Xml(static_cast<int>(m)).size();
    // At most a million: where memory is committed as it is reserved, a huge
    // file does not claim more than it may need.
    read.entries.reserve(std::min<std::size_t>(markup / 128, std::size_t{1} << 20));
    Reader reader(&read, &layout);
    reader.hasExcerpts = read.members.size() > 1 ||
                         static_cast<bool>(read.members[0].tree->document_element().child("Score").child("Score"));
    for (std::size_t m = 0; m < read.members.size(); ++m) {
        const pugi::xml_node root = read.members[m].tree->document_element().child("Score");
        std::string name = root.child_value("name");
        if (name.empty()) name = read.members[m].path;
        if (!reader.Walk(root, static_cast<int>(m), m > 0, name, error)) {
            if (!read.members[m].path.empty()) *error = read.members[m].path + ": " + *error;
            return false;
        }
    }
    reader.Verses();
    host::Document filled;
    host::LayOut(layout, &filled);
    // The frames' order: staff, measure, layer, as the document keeps them.
    const auto inOrder = [](const EntrySource& a, const EntrySource& b) {
        return a.frame != b.frame ? a.frame < b.frame : a.index < b.index;
    };
    if (!std::is_sorted(read.entries.begin(), read.entries.end(), inOrder))
        std::stable_sort(read.entries.begin(), read.entries.end(), inOrder);
    // Each frame is its entries as read, in order.
    for (std::size_t first = 0; first < read.entries.size();) {
        std::size_t end = first + 1;
        while (end < read.entries.size() && read.entries[end].frame == read.entries[first].frame) ++end;
        std::vector<EntryRecord> frame;
        frame.reserve(end - first);
        for (std::size_t i = first; i < end; ++i) frame.push_back(read.entries[i].original);
        filled.SetFrame(read.entries[first].frame, std::move(frame));
        first = end;
    }
    *document = std::move(filled);
    *score = std::move(read);
    return true;
}

}  // namespace musescore
