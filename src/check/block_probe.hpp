// Where the player's own block index stops, and which blocks it leaves open at the end of the
// file. The script reader reports a marker fault only as a message box, without its line; rather
// than read the markers a second way, these probes load parts of the script into a fresh script
// reader and watch its messages, so the answers follow its rules exactly.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/string_list.hpp"

namespace zarvo {

struct BlockFault {
    int32_t line = -1;  // 0-based line where the index build stops; -1 = none
    std::string text;   // the message the player shows (code page 932)
};

// The first marker fault of `lines`.
BlockFault findBlockFault(const StringList& lines);

struct OpenBlock {
    std::string kind;       // "Head", "Book" or "Page"
    int32_t startLine = 0;  // 0-based line of its start marker
};

// Blocks still open after the last line of a script without marker faults.
std::vector<OpenBlock> findOpenBlocks(const StringList& lines);

}  // namespace zarvo
