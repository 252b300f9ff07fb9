#include "backends/posix/local_file_system.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>

namespace zarvo::platform {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename or a new entry in `folder` survive a power cut.
bool flushFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
}

// A fresh file beside `path`, so that the rename over it stays on one file system.
int createBeside(const std::string& path, const char* suffix, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    std::string folder = folderOf(path);
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp = folder + "/.zarvo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
               suffix;
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

class LocalReadableFile final : public ReadableFile {
  public:
    LocalReadableFile(int fd, int64_t size) : fd_(fd), size_(size) {}
    ~LocalReadableFile() override { ::close(fd_); }
    int64_t size() const override { return size_; }
    size_t readAt(int64_t offset, void* bytes, size_t count) const override {
        size_t done = 0;
        auto* p = static_cast<char*>(bytes);
        while (done < count) {
            ssize_t r = ::pread(fd_, p + done, count - done, static_cast<off_t>(offset + done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            done += static_cast<size_t>(r);
        }
        return done;
    }

  private:
    int fd_;
    int64_t size_;
};

class LocalWritableFile final : public WritableFile {
  public:
    // `temp` empty: the file is written in place. `mode` >= 0: the permissions the new file
    // takes, those of the file it replaces.
    LocalWritableFile(int fd, std::string target, std::string temp, int mode = -1)
        : fd_(fd), target_(std::move(target)), temp_(std::move(temp)), mode_(mode) {}
    ~LocalWritableFile() override { abandon(); }
    bool writeAt(int64_t offset, const void* bytes, size_t count) override {
        const auto* p = static_cast<const char*>(bytes);
        while (fd_ >= 0 && count > 0) {
            ssize_t n = ::pwrite(fd_, p, count, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            offset += n;
            count -= static_cast<size_t>(n);
        }
        return fd_ >= 0;
    }
    bool truncate(int64_t size) override {
        return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
    }
    bool finish() override {
        if (fd_ < 0) return false;
        bool ok = mode_ < 0 || ::fchmod(fd_, static_cast<mode_t>(mode_)) == 0;
        // Without the flush a rename can reach the disk before the data it names.
        if (ok) ok = ::fsync(fd_) == 0;
        if (::close(fd_) != 0) ok = false;
        fd_ = -1;
        if (!temp_.empty()) {
            bool moved = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
            if (!moved) ::unlink(temp_.c_str());
            temp_.clear();
            replaced_ = moved;
            ok = moved && flushFolder(folderOf(target_));
        }
        return ok;
    }
    void abandon() override {
        if (fd_ < 0) return;
        ::close(fd_);
        fd_ = -1;
        if (!temp_.empty()) ::unlink(temp_.c_str());
        temp_.clear();
    }
    bool replacedTarget() const override { return replaced_; }

  private:
    int fd_;
    std::string target_;
    std::string temp_;
    int mode_;
    bool replaced_ = false;
};

}  // namespace

std::unique_ptr<ReadableFile> LocalFileSystem::openRead(const std::string& path) const {
    // Non-blocking so that a FIFO given as a file name cannot hang the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LocalReadableFile>(fd, static_cast<int64_t>(st.st_size));
}

std::unique_ptr<WritableFile> LocalFileSystem::createFile(const std::string& path) {
    struct stat st;
    bool replacing = ::stat(path.c_str(), &st) == 0;
    if (replacing && S_ISDIR(st.st_mode)) return nullptr;
    std::string temp;
    int fd = createBeside(path, ".part", temp);
    if (fd < 0) return nullptr;
    // A replaced file keeps its permissions.
    return std::make_unique<LocalWritableFile>(fd, path, std::move(temp),
                                               replacing ? int(st.st_mode & 07777) : -1);
}

std::unique_ptr<WritableFile> LocalFileSystem::openForUpdate(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LocalWritableFile>(fd, path, std::string());
}

bool LocalFileSystem::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 && flushFolder(folderOf(to));
}

bool LocalFileSystem::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool LocalFileSystem::copyFile(const std::string& from, const std::string& to) {
    std::unique_ptr<ReadableFile> in = openRead(from);
    struct stat st;
    if (!in || ::stat(from.c_str(), &st) != 0) return false;
    // The copy gets the permissions of the original, as it may come to replace it.
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (fd < 0) return false;
    std::string chunk(65536, '\0');
    bool ok = true;
    for (int64_t at = 0; ok && at < in->size();) {
        size_t n = in->readAt(at, chunk.data(), chunk.size());
        if (n == 0) break;
        ok = writeAll(fd, std::string_view(chunk.data(), n));
        at += static_cast<int64_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(to.c_str());
    return ok;
}

std::string LocalFileSystem::absolutePath(const std::string& path) const {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return joinPath(cwd, path);
}

bool LocalFileSystem::exists(const std::string& path) const {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool LocalFileSystem::directoryExists(const std::string& path) const {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LocalFileSystem::readFile(const std::string& path, std::string& bytes) const {
    // Non-blocking open so that a pipe given as a picture name cannot hang the player.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string data;
    if (ok) data.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    while (ok) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        data.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (ok) bytes = std::move(data);
    return ok;
}

bool LocalFileSystem::makeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return flushFolder(folderOf(path));
    return errno == EEXIST && directoryExists(path);
}

bool LocalFileSystem::listDirectory(const std::string& path,
                                    std::vector<std::string>& names) const {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    names.clear();
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return true;
}

}  // namespace zarvo::platform
