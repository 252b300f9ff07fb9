// The page's files: the story lives in the page's memory, and what the player writes there or in
// the reader's folders (saves, settings, read messages) must outlast the page. This file system
// passes everything to the one below and tells the page after every finished change, which then
// keeps the file in the browser's storage (web/page.js).
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/file_system.hpp"

namespace zarvo::platform {

class KeptFileSystem final : public FileSystem {
  public:
    // `changed` gets the path of each file written, renamed over, removed or copied to.
    KeptFileSystem(FileSystem& inner, std::function<void(const std::string&)> changed)
        : inner_(inner), changed_(std::move(changed)) {}

    bool exists(const std::string& path) const override { return inner_.exists(path); }
    bool directoryExists(const std::string& path) const override {
        return inner_.directoryExists(path);
    }
    bool readFile(const std::string& path, std::string& bytes) const override {
        return inner_.readFile(path, bytes);
    }
    bool makeDirectory(const std::string& path) override { return inner_.makeDirectory(path); }
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override {
        return inner_.listDirectory(path, names);
    }
    std::unique_ptr<ReadableFile> openRead(const std::string& path) const override {
        return inner_.openRead(path);
    }
    std::unique_ptr<WritableFile> createFile(const std::string& path) override;
    std::unique_ptr<WritableFile> openForUpdate(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    std::string absolutePath(const std::string& path) const override {
        return inner_.absolutePath(path);
    }

  private:
    std::unique_ptr<WritableFile> watched(std::unique_ptr<WritableFile> file,
                                          const std::string& path);

    FileSystem& inner_;
    std::function<void(const std::string&)> changed_;
};

}  // namespace zarvo::platform
