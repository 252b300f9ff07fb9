// `zarvoplay --check`: opens a story the way the player does, runs none of it, and lists what
// its author can fix: block markers (faults, blocks left open, names defined twice), unknown
// command keywords, pages over the command limit, unmatched if/else/endif, jumps, calls, choices
// and clickable layers to pages that do not exist (the start page included), pictures, music and
// sounds that no lookup finds, unpaired "$"/"%" signs and malformed variable names, layers the
// main screen lacks, unknown command words (effects, comparisons, system and save commands), and
// a file type or command version the player questions.
//
// Output, one problem a line, in UTF-8:  FILE:LINE: MESSAGE
//   FILE is the project path as given for a plain script, or "zarvo.zf7" (the script entry) for a
//   package; LINE is the 1-based line of that script. Problems that belong to no line are written
//   FILE: MESSAGE (e.g. the system library, or a package that cannot be opened).
// Names are looked up as written, as the player uses them. File, page and layer names holding
// "%" or "$" are not looked up at all: they look like variable references, and what the author
// meant by them cannot be told.
#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace zarvo {

namespace platform {
class FileSystem;
}

struct CheckProblem {
    std::string file;
    int32_t line = 0;     // 1-based; 0 = the whole file
    std::string message;  // UTF-8
};

struct CheckReport {
    bool opened = false;                 // false: the project file does not exist or cannot be read
    std::vector<CheckProblem> problems;  // whole-file problems first, then by line
};

inline constexpr int kCheckClean = 0;
inline constexpr int kCheckProblems = 1;
inline constexpr int kCheckUsage = 2;

// `programDir` is the folder of the system library "zarvoplay.zvl" and the image plug-ins.
// Files are read through `files`; nothing is written and no dialog is shown.
CheckReport checkStory(platform::FileSystem& files, const std::string& projectPath,
                       const std::string& programDir);

// Writes the report's lines to `out`; returns kCheckClean, kCheckProblems, or kCheckUsage when
// the project cannot be read at all.
int checkProject(platform::FileSystem& files, const std::string& projectPath,
                 const std::string& programDir, std::ostream& out);

std::string formatProblem(const CheckProblem& problem);

}  // namespace zarvo
