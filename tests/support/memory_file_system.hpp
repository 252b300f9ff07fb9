// A file system held in memory, for tests that need no real folder: paths are plain strings,
// folders are made explicitly (the root "/" and "." always exist), and a test can look at or
// damage any file's bytes directly.
#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/file_system.hpp"

namespace zarvo::test {

class MemoryFileSystem final : public platform::FileSystem {
  public:
    bool exists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    bool readFile(const std::string& path, std::string& bytes) const override;
    bool writeFile(const std::string& path, std::string_view bytes) override;
    bool makeDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override;
    std::unique_ptr<platform::ReadableFile> openRead(const std::string& path) const override;
    std::unique_ptr<platform::WritableFile> createFile(const std::string& path) override;
    std::unique_ptr<platform::WritableFile> openForUpdate(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    std::string absolutePath(const std::string& path) const override;

    // The bytes of a file, made when missing (its folder must exist for the player to see it).
    std::string& bytes(const std::string& path);
    // Paths of every file, for checking that nothing was left behind.
    std::set<std::string> fileNames() const;
    // Writes that would take more than this many new bytes fail, as on a full disk; -1 = never.
    void failWritesAfter(int64_t bytes) { writeBudget_ = bytes; }

  private:
    friend class MemoryWritableFile;
    bool folderOfExists(const std::string& path) const;
    bool spend(size_t count);

    std::map<std::string, std::shared_ptr<std::string>> files_;
    std::set<std::string> folders_;
    int64_t writeBudget_ = -1;
};

}  // namespace zarvo::test
