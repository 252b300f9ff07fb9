// The filesystem of the machine the player runs on (POSIX).
#pragma once
#include "platform/file_system.hpp"

namespace zarvo::platform {

class LocalFileSystem final : public FileSystem {
  public:
    bool exists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    bool readFile(const std::string& path, std::string& bytes) const override;
    bool makeDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override;
    std::unique_ptr<ReadableFile> openRead(const std::string& path) const override;
    std::unique_ptr<WritableFile> createFile(const std::string& path) override;
    std::unique_ptr<WritableFile> openForUpdate(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    std::string absolutePath(const std::string& path) const override;
};

}  // namespace zarvo::platform
