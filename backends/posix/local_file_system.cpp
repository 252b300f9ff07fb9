#include "backends/posix/local_file_system.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

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

}  // namespace

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

bool LocalFileSystem::writeFile(const std::string& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    struct stat st;
    bool replacing = ::stat(path.c_str(), &st) == 0;
    if (replacing && S_ISDIR(st.st_mode)) return false;
    // The new content goes to a fresh file beside the target and replaces it by rename, which
    // is atomic: a full disk or a crash leaves the old file as it was.
    std::string folder = folderOf(path);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder + "/.zarvo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
               ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    // Keep the permissions of the file being replaced.
    if (ok && replacing) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool LocalFileSystem::makeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
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
