#include "support/memory_file_system.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "support/temp_dir.hpp"

namespace zarvo::test {

namespace {

class MemoryReadableFile final : public platform::ReadableFile {
  public:
    explicit MemoryReadableFile(std::shared_ptr<const std::string> data)
        : data_(std::move(data)), size_(static_cast<int64_t>(data_->size())) {}
    int64_t size() const override { return size_; }
    size_t readAt(int64_t offset, void* bytes, size_t count) const override {
        if (offset < 0 || static_cast<uint64_t>(offset) >= data_->size()) return 0;
        size_t n = std::min(count, data_->size() - static_cast<size_t>(offset));
        std::memcpy(bytes, data_->data() + offset, n);
        return n;
    }

  private:
    std::shared_ptr<const std::string> data_;
    int64_t size_;
};

}  // namespace

// Writes into its own bytes: those of the file itself when updating, or of a new file under a
// hidden name (`temp_`) that replaces the target when finished.
class MemoryWritableFile final : public platform::WritableFile {
  public:
    MemoryWritableFile(MemoryFileSystem& owner, std::string target, std::string temp,
                       std::shared_ptr<std::string> data)
        : owner_(owner),
          target_(std::move(target)),
          temp_(std::move(temp)),
          data_(std::move(data)) {}
    ~MemoryWritableFile() override { abandon(); }
    bool writeAt(int64_t offset, const void* bytes, size_t count) override {
        if (!data_ || offset < 0) return false;
        if (!owner_.attempt(MemoryFileSystem::Operation::Write)) {
            if (owner_.cutShort_) place(offset, bytes, count / 2);
            return false;
        }
        size_t end = static_cast<size_t>(offset) + count;
        // Like a full disk, the budget stops the file from growing, not rewrites in place.
        if (end > data_->size() && !owner_.spend(end - data_->size())) return false;
        place(offset, bytes, count);
        return true;
    }
    bool truncate(int64_t size) override {
        if (!data_ || size < 0 || !owner_.attempt(MemoryFileSystem::Operation::Write)) return false;
        data_->resize(static_cast<size_t>(size), '\0');
        return true;
    }
    bool finish() override {
        if (!data_) return false;
        data_.reset();
        bool ok = owner_.attempt(MemoryFileSystem::Operation::Flush);
        if (temp_.empty()) return ok;
        std::string temp = std::move(temp_);
        temp_.clear();
        ok = ok && owner_.rename(temp, target_);
        // A rename that happened but whose folder flush failed leaves the new file.
        replaced_ = owner_.files_.erase(temp) == 0;
        return ok;
    }
    void abandon() override {
        data_.reset();
        if (!temp_.empty()) owner_.files_.erase(temp_);
        temp_.clear();
    }
    bool replacedTarget() const override { return replaced_; }

  private:
    void place(int64_t offset, const void* bytes, size_t count) {
        size_t end = static_cast<size_t>(offset) + count;
        if (data_->size() < end) data_->resize(end, '\0');
        std::memcpy(data_->data() + offset, bytes, count);
    }

    MemoryFileSystem& owner_;
    std::string target_;
    std::string temp_;  // empty when updating in place
    std::shared_ptr<std::string> data_;
    bool replaced_ = false;
};

bool MemoryFileSystem::folderOfExists(const std::string& path) const {
    std::string folder = platform::parentPath(path);
    return directoryExists(folder.empty() ? "." : folder);
}

bool MemoryFileSystem::spend(size_t count) {
    if (writeBudget_ < 0) return true;
    if (static_cast<uint64_t>(writeBudget_) < count) {
        writeBudget_ = 0;
        return false;
    }
    writeBudget_ -= static_cast<int64_t>(count);
    return true;
}

bool MemoryFileSystem::attempt(Operation kind) {
    if (++operations_ != failAt_) return true;
    failedYet_ = true;
    failedKind_ = kind;
    return false;
}

void MemoryFileSystem::failOperation(int64_t k, bool cutShort) {
    operations_ = 0;
    failAt_ = k;
    cutShort_ = cutShort;
    failedYet_ = false;
}

bool MemoryFileSystem::failed(Operation& kind) const {
    kind = failedKind_;
    return failedYet_;
}

const char* MemoryFileSystem::operationName(Operation kind) {
    switch (kind) {
        case Operation::Write:
            return "write";
        case Operation::Flush:
            return "flush";
        case Operation::Rename:
            return "rename";
        case Operation::MakeDirectory:
            return "make folder";
    }
    return "?";
}

bool MemoryFileSystem::readOnly(const std::string& path) const {
    for (const std::string& folder : readOnly_)
        if (path == folder || path.rfind(folder + "/", 0) == 0) return true;
    return false;
}

std::string MemoryFileSystem::tempBeside(const std::string& path) {
    return platform::joinPath(platform::parentPath(path),
                              ".zarvo-mem-" + std::to_string(++tempCounter_) + ".part");
}

bool MemoryFileSystem::exists(const std::string& path) const {
    return files_.count(path) != 0;
}

bool MemoryFileSystem::directoryExists(const std::string& path) const {
    return path == "/" || path == "." || folders_.count(path) != 0;
}

bool MemoryFileSystem::readFile(const std::string& path, std::string& bytes) const {
    auto it = files_.find(path);
    if (it == files_.end()) return false;
    bytes = *it->second;
    return true;
}

bool MemoryFileSystem::makeDirectory(const std::string& path) {
    if (directoryExists(path)) return true;
    if (exists(path) || !folderOfExists(path) || readOnly(path) ||
        !attempt(Operation::MakeDirectory))
        return false;
    folders_.insert(path);
    return true;
}

bool MemoryFileSystem::listDirectory(const std::string& path,
                                     std::vector<std::string>& names) const {
    if (!directoryExists(path)) return false;
    names.clear();
    auto add = [&](const std::string& entry) {
        std::string folder = platform::parentPath(entry);
        if (folder == path || (folder.empty() && path == "."))
            names.push_back(platform::fileName(entry));
    };
    for (const auto& [name, data] : files_) add(name);
    for (const std::string& name : folders_) add(name);
    return true;
}

std::unique_ptr<platform::ReadableFile> MemoryFileSystem::openRead(const std::string& path) const {
    auto it = files_.find(path);
    if (it == files_.end()) return nullptr;
    // A snapshot: the reader keeps the bytes it opened, as an open descriptor keeps its file.
    return std::make_unique<MemoryReadableFile>(std::make_shared<const std::string>(*it->second));
}

std::unique_ptr<platform::WritableFile> MemoryFileSystem::createFile(const std::string& path) {
    if (directoryExists(path) || !folderOfExists(path) || readOnly(path)) return nullptr;
    std::string temp = tempBeside(path);
    auto data = std::make_shared<std::string>();
    files_[temp] = data;
    return std::make_unique<MemoryWritableFile>(*this, path, temp, data);
}

std::unique_ptr<platform::WritableFile> MemoryFileSystem::openForUpdate(const std::string& path) {
    auto it = files_.find(path);
    if (it == files_.end() || readOnly(path)) return nullptr;
    return std::make_unique<MemoryWritableFile>(*this, path, std::string(), it->second);
}

bool MemoryFileSystem::rename(const std::string& from, const std::string& to) {
    auto it = files_.find(from);
    if (it == files_.end() || directoryExists(to) || !folderOfExists(to) || readOnly(from) ||
        readOnly(to) || !attempt(Operation::Rename))
        return false;
    std::shared_ptr<std::string> data = it->second;
    files_.erase(it);
    files_[to] = std::move(data);
    return attempt(Operation::Flush);  // the folder
}

bool MemoryFileSystem::remove(const std::string& path) {
    return !readOnly(path) && files_.erase(path) != 0;
}

bool MemoryFileSystem::copyFile(const std::string& from, const std::string& to) {
    auto it = files_.find(from);
    if (it == files_.end() || exists(to) || directoryExists(to) || !folderOfExists(to) ||
        readOnly(to) || !attempt(Operation::Write) || !spend(it->second->size()))
        return false;
    files_[to] = std::make_shared<std::string>(*it->second);
    return true;
}

std::string MemoryFileSystem::absolutePath(const std::string& path) const {
    return !path.empty() && path[0] == '/' ? path : platform::joinPath("/", path);
}

void MemoryFileSystem::copyFromHost(const std::string& folder) {
    for (std::string up = folder; up.size() > 1; up = platform::parentPath(up)) folders_.insert(up);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::string path = entry.path().string();
        if (entry.is_directory())
            folders_.insert(path);
        else if (entry.is_regular_file())
            files_[path] = std::make_shared<std::string>(test::readFile(path));
    }
}

std::string& MemoryFileSystem::bytes(const std::string& path) {
    auto& data = files_[path];
    if (!data) data = std::make_shared<std::string>();
    return *data;
}

std::set<std::string> MemoryFileSystem::fileNames() const {
    std::set<std::string> names;
    for (const auto& [name, data] : files_) names.insert(name);
    return names;
}

}  // namespace zarvo::test
