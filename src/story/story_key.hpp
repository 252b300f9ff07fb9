// The name a story's own files are kept under in the reader's folders (saves of a story that
// cannot write beside itself, save states, read messages): derived from what the story file
// holds, not from where it is, so a story moved, copied or opened from an archive keeps them.
#pragma once
#include <string>

namespace zarvo {

namespace platform {
class FileSystem;
}

// Sixteen lowercase hex digits. From the story file's size and its first and last 64 KiB,
// counted from where its package begins (after a program stub, so the same package behind
// another stub is the same story): the whole of any ordinary script, and the header, the first
// records and the end of a package, without reading the rest of a large one. A file that cannot
// be read is known by its absolute path instead.
std::string storyKey(const platform::FileSystem& files, const std::string& projectPath);

}  // namespace zarvo
