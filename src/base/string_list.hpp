// Lists of text lines, as settings, frames, variables and save sections hold them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zarvo {

using StringList = std::vector<std::string>;

// Splits text at CR LF, a lone CR or a lone LF. A final line break does not start an empty line.
StringList splitLines(std::string_view text);

// Each line followed by CR LF, as the player writes every text it saves.
std::string joinLines(const StringList& lines);

// Whole-file forms of the two above. Loading a missing or unreadable file returns false and
// leaves the list unchanged.

}  // namespace zarvo
