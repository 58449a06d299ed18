// Helpers of the MusicXML benchmark (scripts/run-musicxml-bench.sh):
//   musicxml_tool generate OUT MEGABYTES   a partwise score of at least that size
//   musicxml_tool floor IN OUT             pugixml parses IN and saves it to OUT: the least
//                                          any reader and writer of the file must do
//   musicxml_tool time ROUNDS -- CMD... [-- CMD...]
//                                          runs the commands in turn, ROUNDS times over (so
//                                          that they share what else the machine is doing),
//                                          and prints for each: median wall ms, median CPU ms
//                                          (user + system) and least CPU ms
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace {

const char* const kSteps[] = {"C", "D", "E", "F", "G", "A", "B"};
const char* const kWords[] = {"dolce", "cresc.", "espressivo", "poco rit.", "a tempo", "leggiero"};
const char* const kSyllables[] = {"Glo", "ri", "a", "in", "ex", "cel", "sis", "De", "o"};

// Parts of strings and voices; the first two sing, and every part has
// words every other measure, so the text command has much to visit.
void Note(std::string& out, int step, int octave, bool lyric, int index) {
    out += "      <note default-x=\"";
    out += std::to_string(80 + 60 * (index % 4));
    out += "\">\n        <pitch>\n          <step>";
    out += kSteps[step % 7];
    out += "</step>\n          <octave>";
    out += std::to_string(octave);
    out +=
        "</octave>\n        </pitch>\n        <duration>1</duration>\n        <voice>1</voice>\n"
        "        <type>quarter</type>\n        <stem>up</stem>\n";
    if (lyric) {
        const int s = index % 9;
        const char* syllabic = s == 0 || s == 3 || s == 7 ? "begin" : (s == 2 || s == 6 || s == 8 ? "end" : "middle");
        if (s == 3 || s == 2) syllabic = "single";
        out += "        <lyric number=\"1\">\n          <syllabic>";
        out += syllabic;
        out += "</syllabic>\n          <text>";
        out += kSyllables[s];
        out += "</text>\n        </lyric>\n";
    }
    out += "      </note>\n";
}

bool Generate(const std::string& path, double megabytes) {
    const int parts = 24;
    const auto target = static_cast<std::size_t>(megabytes * 1024 * 1024);
    // Measures per part from the size of one measure (about 1.2 KB).
    const int measures = static_cast<int>(target / (parts * 1150)) + 1;
    std::string out;
    out.reserve(target + target / 8);
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">\n<score-partwise version=\"3.1\">\n"
        "  <credit page=\"1\">\n    <credit-words default-x=\"600\" default-y=\"1600\" justify=\"center\" "
        "font-size=\"24\">Symphonie in dolce</credit-words>\n  </credit>\n  <part-list>\n";
    for (int p = 1; p <= parts; ++p) {
        out += "    <score-part id=\"P" + std::to_string(p) + "\">\n      <part-name>Violino " + std::to_string(p) +
               "</part-name>\n      <part-abbreviation>Vl. " + std::to_string(p) +
               "</part-abbreviation>\n    </score-part>\n";
    }
    out += "  </part-list>\n";
    for (int p = 1; p <= parts; ++p) {
        out += "  <part id=\"P" + std::to_string(p) + "\">\n";
        int index = 0;
        for (int m = 1; m <= measures; ++m) {
            out += "    <measure number=\"" + std::to_string(m) + "\" width=\"240\">\n";
            if (m == 1)
                out +=
                    "      <attributes>\n        <divisions>1</divisions>\n        <key><fifths>0</fifths></key>\n"
                    "        <time><beats>4</beats><beat-type>4</beat-type></time>\n"
                    "        <clef><sign>G</sign><line>2</line></clef>\n      </attributes>\n";
            if (m % 2 == 1)
                out += std::string(
                           "      <direction placement=\"above\">\n        <direction-type>\n          "
                           "<words font-style=\"italic\">") +
                       kWords[(m / 2 + p) % 6] + "</words>\n        </direction-type>\n      </direction>\n";
            if (p == 1 && m % 16 == 1)
                out += "      <direction placement=\"above\">\n        <direction-type>\n          <rehearsal>" +
                       std::string(1, static_cast<char>('A' + (m / 16) % 26)) +
                       "</rehearsal>\n        </direction-type>\n      </direction>\n";
            for (int n = 0; n < 4; ++n, ++index) {
                // A tenth of the notes are E4, the benchmark scan's target;
                // the others are E4 nowhere.
                int step = (index + p) % 7;
                int octave = 4 + index % 2;
                if ((index + p) % 10 == 0) {
                    step = 2;
                    octave = 4;
                } else if (step == 2 && octave == 4) {
                    octave = 5;
                }
                Note(out, step, octave, p <= 2 && m <= 400, index);
            }
            out += "    </measure>\n";
        }
        out += "  </part>\n";
    }
    out += "</score-partwise>\n";
    std::ofstream file(path, std::ios::binary);
    file << out;
    return static_cast<bool>(file);
}

struct Times {
    std::vector<double> wall, cpu;  // ms
};

// One run of the command, its output thrown away; false when it fails.
bool RunOnce(const std::vector<char*>& command, Times* times) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(command[0], command.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    times->wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    times->cpu.push_back(ms(usage.ru_utime) + ms(usage.ru_stime));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Time(int argc, char** argv) {
    const int rounds = std::atoi(argv[2]);
    std::vector<std::vector<char*>> commands;
    for (int i = 3; i < argc; ++i) {
        if (std::string(argv[i]) == "--") {
            commands.emplace_back();
        } else if (!commands.empty()) {
            commands.back().push_back(argv[i]);
        }
    }
    if (rounds < 1 || commands.empty()) return 2;
    for (auto& command : commands) {
        if (command.empty()) return 2;
        command.push_back(nullptr);
    }
    std::vector<Times> times(commands.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            if (!RunOnce(commands[c], &times[c])) {
                std::fprintf(stderr, "musicxml_tool time: %s failed\n", commands[c][0]);
                return 1;
            }
        }
    }
    for (const Times& t : times)
        std::printf("%.1f %.1f %.1f\n", Median(t.wall), Median(t.cpu), *std::min_element(t.cpu.begin(), t.cpu.end()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 4) return Generate(argv[2], std::atof(argv[3])) ? 0 : 1;
    if (command == "floor" && argc == 4) {
        pugi::xml_document document;
        const pugi::xml_parse_result parsed = document.load_file(argv[2], pugi::parse_default | pugi::parse_doctype);
        if (!parsed) {
            std::fprintf(stderr, "%s: %s\n", argv[2], parsed.description());
            return 1;
        }
        return document.save_file(argv[3], "  ") ? 0 : 1;
    }
    if (command == "time" && argc > 4) return Time(argc, argv);
    std::fprintf(stderr, "usage: musicxml_tool generate OUT MEGABYTES | floor IN OUT | time ROUNDS -- CMD...\n");
    return 2;
}
