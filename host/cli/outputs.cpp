#include "host/cli/outputs.h"

#include <system_error>
#include <vector>

namespace cli {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code code;
    return std::filesystem::exists(b, code) && std::filesystem::equivalent(a, b, code);
}

std::string OutputFor(const Arguments& args, const std::string& document) {
    if (args.inPlace) return document;
    if (!args.output.empty()) return args.output;
    if (!args.outputDir.empty())
        return (std::filesystem::path(args.outputDir) / std::filesystem::path(document).filename()).string();
    return {};
}

std::filesystem::path Place(const std::string& path) {
    std::error_code code;
    const std::filesystem::path absolute = std::filesystem::absolute(path, code);
    std::filesystem::path place = std::filesystem::weakly_canonical(absolute, code);
    return code ? absolute.lexically_normal() : place;
}

bool CheckOutputs(const Arguments& args, std::string* error) {
    if (args.dryRun || (!args.inPlace && args.output.empty() && args.outputDir.empty())) return true;
    const std::vector<std::string>& documents = args.documents;
    std::vector<std::filesystem::path> places;
    std::vector<std::filesystem::path> outputs;
    for (const std::string& document : documents) {
        places.push_back(Place(document));
        outputs.push_back(Place(OutputFor(args, document)));
    }
    const std::size_t n = documents.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (SameFile(documents[i], documents[j]) || places[i] == places[j]) {
                *error = documents[i] + " and " + documents[j] +
                         " are the same file: name it once (it would be changed twice); nothing was written";
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::string output = OutputFor(args, documents[i]);
        for (std::size_t j = 0; j < n; ++j) {
            if (j != i && (SameFile(documents[j], output) || places[j] == outputs[i])) {
                *error = "the result of " + documents[i] + " would be written over the document " + documents[j] +
                         " (" + output + "): choose another folder; nothing was written";
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (outputs[i] == outputs[j]) {
                *error = documents[i] + " and " + documents[j] + " would both be written to " + outputs[i].string() +
                         ": rename one or run them apart; nothing was written";
                return false;
            }
        }
        if (args.inPlace) {
            const std::string original = outputs[i].string() + ".orig";
            std::error_code code;
            const auto status = std::filesystem::symlink_status(original, code);
            if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
                *error = original + ": is there and is not a file, so the original of " + documents[i] +
                         " cannot be kept; nothing was written";
                return false;
            }
        }
    }
    return true;
}

}  // namespace cli
