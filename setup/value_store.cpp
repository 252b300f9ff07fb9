#include "value_store.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zarvo::setup {
namespace {

namespace fs = std::filesystem;

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

bool lineHoldsName(std::string_view line, std::string_view name) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t eq = line.find('=');
    return eq != std::string_view::npos && sameName(trimBlanks(line.substr(0, eq)), name);
}

std::string errnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

// Reads the whole file; a missing file is an empty one. The mode is kept for the replacement.
bool readExisting(const fs::path& file, std::string& contents, mode_t& mode, std::string& why) {
    contents.clear();
    mode = 0644;  // the per-machine store must stay readable by every user
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        why = errnoText("cannot read", file);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = file.string() + " is not a regular file";
        ::close(fd);
        return false;
    }
    mode = st.st_mode & 07777;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = errnoText("cannot read", file);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        contents.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

// Writes beside the target and renames over it: readers see the old file or the new one,
// never a part of either.
bool replaceFile(const fs::path& file, std::string_view bytes, mode_t mode, std::string& why) {
    std::string tmpl = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        why = errnoText("cannot create a file in", file.parent_path());
        return false;
    }
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (!ok) why = errnoText("cannot write", tmpl);
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = errnoText("cannot write", tmpl);
    }
    if (ok && ::rename(tmpl.c_str(), file.c_str()) != 0) {
        ok = false;
        why = errnoText("cannot replace", file);
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    // Make the rename itself durable; the value is already in place if this fails.
    int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

fs::path keyFile(const fs::path& root, std::string_view key) {
    fs::path file = root;
    bool any = false;
    while (!key.empty()) {
        size_t cut = key.find('\\');
        std::string_view part = key.substr(0, cut);
        key = cut == std::string_view::npos ? std::string_view() : key.substr(cut + 1);
        if (part.empty()) continue;
        if (part == "." || part == ".." || part.find('/') != std::string_view::npos) return {};
        file /= std::string(part);
        any = true;
    }
    return any ? file : fs::path();
}

std::string withValue(std::string_view contents, std::string_view name, std::string_view data) {
    std::vector<std::string_view> lines;
    while (!contents.empty()) {
        size_t nl = contents.find('\n');
        lines.push_back(contents.substr(0, nl));
        contents = nl == std::string_view::npos ? std::string_view() : contents.substr(nl + 1);
    }
    bool crlf = !lines.empty() && !lines.front().empty() && lines.front().back() == '\r';
    std::string line = std::string(name) + "=" + std::string(data) + (crlf ? "\r" : "");

    std::string out;
    bool placed = false;
    for (std::string_view l : lines) {
        if (lineHoldsName(l, name)) {
            if (placed) continue;
            out += line;
            placed = true;
        } else {
            out += l;
        }
        out += '\n';
    }
    if (!placed) out += line + '\n';
    return out;
}

bool setStringValue(const fs::path& root, std::string_view key, std::string_view name,
                    std::string_view data, std::string& why) {
    // One line per value: a line break or NUL would split the value or add a line of its own.
    for (std::string_view s : {name, data}) {
        if (s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
            why = "the value contains a line break or NUL";
            return false;
        }
    }
    if (name.empty() || name.find('=') != std::string_view::npos) {
        why = "bad value name";
        return false;
    }
    if (root.empty()) {
        why = "no folder for the settings store";
        return false;
    }
    fs::path file = keyFile(root, key);
    if (file.empty()) {
        why = "bad key";
        return false;
    }
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        why = "cannot create " + file.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::string contents;
    mode_t mode = 0644;
    if (!readExisting(file, contents, mode, why)) return false;
    return replaceFile(file, withValue(contents, name, data), mode, why);
}

}  // namespace zarvo::setup
