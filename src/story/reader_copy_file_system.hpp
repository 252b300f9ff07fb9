// The files of a story that cannot write beside itself (inside an archive or a disc image, in a
// read-only folder): everything written under the story's folder goes to a folder of the
// reader's own, at the same relative path, and is read from there first. Outside the story's
// folder, and before redirect() is called, every call passes straight through.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.hpp"

namespace zarvo {

class ReaderCopyFileSystem final : public platform::FileSystem {
  public:
    explicit ReaderCopyFileSystem(platform::FileSystem& files) : files_(files) {}

    // From now on, writes under `storyFolder` land under `readerFolder` (made when first
    // needed, with its parents).
    void redirect(const std::string& storyFolder, const std::string& readerFolder);
    bool redirected() const { return !storyFolder_.empty(); }
    const std::string& readerFolder() const { return readerFolder_; }
    // The file system underneath, as the story's own folder shows it.
    platform::FileSystem& underlying() { return files_; }

    bool exists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    bool readFile(const std::string& path, std::string& bytes) const override;
    bool makeDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override;
    std::unique_ptr<platform::ReadableFile> openRead(const std::string& path) const override;
    std::unique_ptr<platform::WritableFile> createFile(const std::string& path) override;
    std::unique_ptr<platform::WritableFile> openForUpdate(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    std::string absolutePath(const std::string& path) const override;
    // For a path under the story's folder, the reader's copy unless only the story has it.
    std::string placeOf(const std::string& path) const override;

  private:
    // The reader's copy of a path under the story's folder; false for any other path.
    bool copyOf(const std::string& path, std::string& copy) const;
    // Where a read of `path` is served from: the reader's copy when it is there.
    std::string readFrom(const std::string& path) const;
    // The reader's folder for `copy`'s parent, made with whatever parents it lacks.
    bool makeParents(const std::string& copy);

    platform::FileSystem& files_;
    std::string storyFolder_;
    std::string readerFolder_;
};

// Whether files can be made in `folder`: a probe file is created and removed again (a folder
// inside an archive, on a read-only mount or without write permission cannot take one).
bool folderIsWritable(platform::FileSystem& files, const std::string& folder);

// Where a story that cannot write beside itself keeps its files: `dataFolder`/stories/KEY.
std::string readerStoryFolder(const std::string& dataFolder, const std::string& key);

}  // namespace zarvo
