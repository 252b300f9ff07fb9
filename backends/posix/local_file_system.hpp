// The filesystem of the machine the player runs on (POSIX).
#pragma once
#include "platform/file_system.hpp"

namespace zarvo::platform {

class LocalFileSystem final : public FileSystem {
public:
    bool exists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    bool readFile(const std::string& path, std::string& bytes) const override;
    bool writeFile(const std::string& path, std::string_view bytes) override;
    bool makeDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override;
};

}  // namespace zarvo::platform
