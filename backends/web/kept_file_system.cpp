#include "backends/web/kept_file_system.hpp"

namespace zarvo::platform {
namespace {

class WatchedFile final : public WritableFile {
  public:
    WatchedFile(std::unique_ptr<WritableFile> inner, std::function<void()> finished)
        : inner_(std::move(inner)), finished_(std::move(finished)) {}

    bool writeAt(int64_t offset, const void* bytes, size_t count) override {
        return inner_->writeAt(offset, bytes, count);
    }
    bool truncate(int64_t size) override { return inner_->truncate(size); }
    bool finish() override {
        bool ok = inner_->finish();
        // A file that took its target's place is kept even when a flush failed after it.
        if (ok || inner_->replacedTarget()) finished_();
        return ok;
    }
    void abandon() override { inner_->abandon(); }
    bool replacedTarget() const override { return inner_->replacedTarget(); }

  private:
    std::unique_ptr<WritableFile> inner_;
    std::function<void()> finished_;
};

}  // namespace

std::unique_ptr<WritableFile> KeptFileSystem::watched(std::unique_ptr<WritableFile> file,
                                                      const std::string& path) {
    if (!file) return nullptr;
    return std::make_unique<WatchedFile>(std::move(file), [this, path] { changed_(path); });
}

std::unique_ptr<WritableFile> KeptFileSystem::createFile(const std::string& path) {
    return watched(inner_.createFile(path), path);
}

std::unique_ptr<WritableFile> KeptFileSystem::openForUpdate(const std::string& path) {
    return watched(inner_.openForUpdate(path), path);
}

bool KeptFileSystem::rename(const std::string& from, const std::string& to) {
    bool ok = inner_.rename(from, to);
    if (ok || !inner_.exists(from)) {
        changed_(from);
        changed_(to);
    }
    return ok;
}

bool KeptFileSystem::remove(const std::string& path) {
    bool ok = inner_.remove(path);
    if (ok) changed_(path);
    return ok;
}

bool KeptFileSystem::copyFile(const std::string& from, const std::string& to) {
    bool ok = inner_.copyFile(from, to);
    if (ok) changed_(to);
    return ok;
}

}  // namespace zarvo::platform
