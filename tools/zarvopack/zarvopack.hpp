// zarvopack: lists, extracts and creates packages. The command logic lives here so that tests
// can run it in-process; main() only passes the arguments on.
#pragma once
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "archive/package.hpp"

namespace zarvo::pack {

// Runs one command line (without the program name). Returns the exit status: 0 success,
// 1 failure (message on err), 2 bad usage.
int runZarvopack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The UTF-8 path, relative to the extraction folder, that an entry name (code page 932, "\"
// separated) is written to. False for a name that would land outside the folder: empty,
// absolute, with a drive letter, with a ".." component or with a NUL byte.
bool entryRelativePath(std::string_view name, std::string& path);

// Flag letters in the order c r a d s, or "-" when none is set.
std::string entryFlagLetters(const PackageEntry& entry);

}  // namespace zarvo::pack
