// Finding the story in what the reader gave: a folder, or an archive or disc image that the file
// system shows as one. A story is a script beginning with "///", a package, or a program with a
// package behind its stub; the ones nearest the top win, and when several stand equally near
// the reader chooses among them.
#pragma once
#include <string>
#include <vector>

namespace zarvo {

namespace platform {
class FileSystem;
}

struct StorySearch {
    // The stories nearest the top, host paths in name order; empty when there is none.
    std::vector<std::string> stories;
    // When there is none: what the folder holds at its top (folders with a trailing "/"), so
    // the reader can be told what was found instead.
    std::vector<std::string> topNames;
};

// Looks at files named *.zp7 or *.exe (in any letter case) at most kMaxDepth folders down, by
// their first bytes only: the system library and save packages are no stories.
StorySearch findStories(const platform::FileSystem& files, const std::string& folder);
inline constexpr int kMaxStoryDepth = 4;

// Whether the file at `path` is a story by its first bytes (as above).
bool isStoryFile(const platform::FileSystem& files, const std::string& path);

// The story's title from its head (code page 932); its file name (also code page 932 where it
// has such a form) when it has none or cannot be read.
std::string storyTitle(const platform::FileSystem& files, const std::string& path);
// The titles of several stories, for the reader to pick one: stories of one title (two discs of
// a set, a story and its patched copy) are told apart by their folder and file name.
std::vector<std::string> storyTitles(const platform::FileSystem& files,
                                     const std::vector<std::string>& paths);

}  // namespace zarvo
