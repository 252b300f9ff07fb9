#include "backends/archive/story_files.hpp"

namespace zarvo::platform {

StoryFiles::StoryFiles(FileSystem& outside, const std::string& path) : outside_(outside) {
    if (outside.directoryExists(path) || !looksLikeArchive(outside, path)) return;
    ArchiveError error;
    archive_ = ArchiveFileSystem::open(outside, path, error);
    if (!archive_)
        error_ = std::string("cannot read the archive ") + path + " (" +
                 archiveErrorName(error.kind) + (error.detail.empty() ? "" : ": ") + error.detail +
                 ")";
}

}  // namespace zarvo::platform
