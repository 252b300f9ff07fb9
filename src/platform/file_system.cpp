#include "platform/file_system.hpp"

#include <algorithm>

#include "base/sjis.hpp"
#include "base/text.hpp"

namespace zarvo::platform {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string join(const std::string& dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    std::string out = dir;
    if (out.back() != '/') out += '/';
    out += name;
    return out;
}

}  // namespace

std::vector<std::string> splitScriptName(std::string_view name, bool& rooted, bool& hasDrive) {
    size_t i = 0;
    hasDrive = name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':';
    if (hasDrive) i = 2;
    rooted = i < name.size() && isSeparator(name[i]);
    std::vector<std::string> parts;
    std::string part;
    while (i < name.size()) {
        size_t n = charLength(name, i);
        // "/" is never a trail byte: after a stray lead byte it still separates, so no
        // component ever holds a host separator.
        if (n == 2 && name[i + 1] == '/') n = 1;
        if (n == 1 && isSeparator(name[i])) {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part.append(name.substr(i, n));
        }
        i += n;
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

bool isSafeRelativeName(std::string_view name) {
    bool rooted, hasDrive;
    std::vector<std::string> parts = splitScriptName(name, rooted, hasDrive);
    if (rooted || hasDrive || name.find(':') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return false;
    bool named = false;
    for (const std::string& part : parts) {
        // The UTF-8 form is checked too: it is the one a new file is created under.
        for (const std::string& form : {part, sjisToUtf8(part)}) {
            if (form == ".." || form.empty()) return false;
        }
        named = named || part != ".";
    }
    return named;
}

bool sameHostName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z') ca -= 32;
        if (cb >= 'a' && cb <= 'z') cb -= 32;
        if (ca != cb) return false;
    }
    return true;
}

std::string parentPath(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    while (slash > 0 && path[slash - 1] == '/') --slash;
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string joinPath(std::string_view dir, std::string_view name) {
    return join(std::string(dir), name);
}

std::string fileName(std::string_view path) {
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

namespace {

// Where the extension of the last component starts; npos when it has none. A leading dot
// (".profile") and the names "." and ".." are no extension.
size_t extensionStart(std::string_view path) {
    size_t nameStart = path.rfind('/');
    nameStart = nameStart == std::string_view::npos ? 0 : nameStart + 1;
    std::string_view name = path.substr(nameStart);
    if (name == "." || name == "..") return std::string_view::npos;
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string_view::npos;
    return nameStart + dot;
}

}  // namespace

std::string fileStem(std::string_view path) {
    std::string name = fileName(path);
    size_t dot = extensionStart(name);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string replaceExtension(std::string_view path, std::string_view extension) {
    size_t dot = extensionStart(path);
    std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
    out += extension;
    return out;
}

std::string FileSystem::findEntry(const std::string& dir, const std::string& raw,
                                  const std::string& utf8) const {
    auto present = [&](const std::string& name) {
        std::string path = join(dir.empty() ? "." : dir, name);
        return exists(path) || directoryExists(path);
    };
    if (present(raw)) return raw;
    if (utf8 != raw && present(utf8)) return utf8;
    std::vector<std::string> names;
    if (!listDirectory(dir.empty() ? "." : dir, names)) return {};
    // Several names may differ only in case; take the smallest so the answer does not depend
    // on directory order.
    std::string best;
    for (const std::string& entry : names) {
        bool match = sameAsciiText(entry, raw) || sameHostName(entry, utf8);
        if (match && (best.empty() || entry < best)) best = entry;
    }
    return best;
}

std::string FileSystem::resolve(std::string_view base, std::string_view scriptName) const {
    bool rooted, hasDrive;
    std::vector<std::string> parts = splitScriptName(scriptName, rooted, hasDrive);
    // The name is appended to the folder, as the original appends it to a folder path: a
    // leading separator only doubles one (and doubled separators collapse), and a drive cannot
    // stand in the middle of a path. Such a name is taken from the folder as from a root.
    const bool fromRoot = rooted || hasDrive;
    std::string path(base);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    // Lengths of `path` before each component this name added, so ".." can step back over
    // a folder that does not exist, as it would on Windows.
    std::vector<size_t> added;
    for (const std::string& part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (!added.empty()) {
                path.resize(added.back());
                added.pop_back();
            } else if (!fromRoot && path != "/") {
                path = join(path, "..");
            }
            continue;
        }
        std::string utf8 = sjisToUtf8(part);
        std::string found = findEntry(path, part, utf8);
        added.push_back(path.size());
        path = join(path, found.empty() ? utf8 : found);
    }
    return path;
}

bool FileSystem::writeFile(const std::string& path, std::string_view bytes) {
    std::unique_ptr<WritableFile> file = createFile(path);
    if (!file) return false;
    if (!bytes.empty() && !file->writeAt(0, bytes.data(), bytes.size())) {
        file->abandon();
        return false;
    }
    return file->finish();
}

bool FileSystem::resolveInside(std::string_view folder, std::string_view name,
                               std::string& path) const {
    if (!isSafeRelativeName(name)) return false;
    path = resolve(folder, name);
    return true;
}

bool readFileAtMost(const FileSystem& files, const std::string& path, uint64_t most,
                    std::string& bytes) {
    std::unique_ptr<ReadableFile> file = files.openRead(path);
    if (!file || file->size() < 0 || static_cast<uint64_t>(file->size()) > most) return false;
    file.reset();
    std::string read;
    if (!files.readFile(path, read) || read.size() > most) return false;
    bytes = std::move(read);
    return true;
}

}  // namespace zarvo::platform
