// The files a story given on the command line (or by "open with") is read through: the local
// ones, or for an archive or a disc image those of the archive, whose path then acts as the
// folder the story is looked for in.
#pragma once
#include <memory>
#include <string>

#include "backends/archive/archive_file_system.hpp"

namespace zarvo::platform {

class StoryFiles {
  public:
    // `outside` must outlive this.
    StoryFiles(FileSystem& outside, const std::string& path);
    FileSystem& files() { return archive_ ? static_cast<FileSystem&>(*archive_) : outside_; }
    bool isArchive() const { return archive_ != nullptr; }
    // Set when `path` starts as an archive but cannot be read as one: why, in English.
    const std::string& error() const { return error_; }

  private:
    FileSystem& outside_;
    std::unique_ptr<ArchiveFileSystem> archive_;
    std::string error_;
};

}  // namespace zarvo::platform
