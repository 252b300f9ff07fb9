// Which messages the reader has seen, per story and per user: the skip toggle passes only those
// when "skip read text only" is on. A message is known by the place of its command (book, page,
// command index). The file is UTF-8, one "BOOK/PAGE#INDEX" a line, written whole through a
// temporary file; a line that does not look like one is left out.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace zarvo {

namespace platform {
class FileSystem;
}

class ReadMessages {
  public:
    // The file of the story known by `key` (storyKey) in `folder` (the user's data folder).
    static std::string fileFor(const std::string& folder, const std::string& key);
    // Where earlier versions kept it: named after the project and a hash of its whole path. Read
    // when the story has no file of its key yet, so marks made before are not lost.
    static std::string pathNamedFileFor(const platform::FileSystem& files,
                                        const std::string& folder, const std::string& projectPath);

    // A missing file is an empty record; false when it exists and cannot be read.
    bool load(const platform::FileSystem& files, const std::string& path);
    // Only when something was added; makes the folder and its parent when missing.
    bool save(platform::FileSystem& files, const std::string& path);

    // Code page 932 names; true when the message had been read before.
    bool markRead(std::string_view book, std::string_view page, int32_t index);
    bool isRead(std::string_view book, std::string_view page, int32_t index) const;
    size_t size() const { return read_.size(); }
    // The next save writes the record even when nothing was added (it moves to a new file).
    void rewrite() { changed_ = true; }

  private:
    static std::string keyOf(std::string_view book, std::string_view page, int32_t index);

    std::set<std::string> read_;
    bool changed_ = false;
};

}  // namespace zarvo
