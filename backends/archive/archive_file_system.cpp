#include "backends/archive/archive_file_system.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/limits.hpp"
#include "base/sjis.hpp"

namespace zarvo::platform {
namespace {

// libarchive converts the names it decodes itself (UTF-16 of 7z and Joliet, UTF-8 flagged zip
// names) into the charset of the calling thread's locale. While it works for us the thread
// uses C.UTF-8, so those names arrive as UTF-8 whatever the reader's environment says, and
// names stored as plain bytes arrive as they are stored.
class Utf8Names {
  public:
    Utf8Names() {
        static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        if (utf8) previous_ = uselocale(utf8);
    }
    ~Utf8Names() {
        if (previous_) uselocale(previous_);
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

  private:
    locale_t previous_{};
};

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

uint32_t le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
uint32_t le32(const unsigned char* p) {
    return le16(p) | (static_cast<uint32_t>(le16(p + 2)) << 16);
}
uint64_t le64(const unsigned char* p) {
    return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}

// The names of a zip's central directory, each with its UTF-8 flag (general purpose bit 11):
// libarchive does not say which names were flagged, and an unflagged name is code page 932.
std::map<std::string, bool> zipNameFlags(const ReadableFile& file) {
    std::map<std::string, bool> flags;
    const int64_t size = file.size();
    const int64_t tail = std::min<int64_t>(size, 65535 + 22);
    std::string end(static_cast<size_t>(tail), '\0');
    if (tail < 22 || file.readAt(size - tail, end.data(), end.size()) != end.size()) return flags;
    size_t at = end.rfind(std::string_view("PK\5\6", 4));
    if (at == std::string::npos || at + 22 > end.size()) return flags;
    auto* eocd = reinterpret_cast<const unsigned char*>(end.data() + at);
    const int64_t eocdOffset = size - tail + static_cast<int64_t>(at);
    uint64_t count = le16(eocd + 10), cdSize = le32(eocd + 12), cdOffset = le32(eocd + 16);
    if (cdOffset == 0xFFFFFFFF || count == 0xFFFF) {
        unsigned char locator[20], record[56];
        if (eocdOffset < 20 || file.readAt(eocdOffset - 20, locator, 20) != 20 ||
            std::memcmp(locator, "PK\6\7", 4) != 0)
            return flags;
        uint64_t recordOffset = le64(locator + 8);
        if (recordOffset > static_cast<uint64_t>(size) ||
            file.readAt(static_cast<int64_t>(recordOffset), record, 56) != 56 ||
            std::memcmp(record, "PK\6\6", 4) != 0)
            return flags;
        count = le64(record + 32);
        cdSize = le64(record + 40);
        cdOffset = le64(record + 48);
    }
    if (cdSize > kMaxTrustedReserve || cdSize > static_cast<uint64_t>(eocdOffset)) return flags;
    // Data before the archive (a self-extracting stub) moves the directory; it ends at the EOCD.
    uint64_t start = static_cast<uint64_t>(eocdOffset) - cdSize;
    std::string cd(static_cast<size_t>(cdSize), '\0');
    if (file.readAt(static_cast<int64_t>(start), cd.data(), cd.size()) != cd.size()) return flags;
    (void)cdOffset;
    size_t pos = 0;
    for (uint64_t k = 0; k < count && pos + 46 <= cd.size(); ++k) {
        auto* h = reinterpret_cast<const unsigned char*>(cd.data() + pos);
        if (std::memcmp(h, "PK\1\2", 4) != 0) break;
        size_t nameLength = le16(h + 28);
        size_t next = pos + 46 + nameLength + le16(h + 30) + le16(h + 32);
        if (pos + 46 + nameLength > cd.size()) break;
        bool& flag = flags[cd.substr(pos + 46, nameLength)];
        flag = flag || (le16(h + 8) & 0x800) != 0;
        pos = next;
    }
    return flags;
}

// A file held in memory (an entry, or a nested archive's bytes).
class BytesFile final : public ReadableFile {
  public:
    explicit BytesFile(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}
    int64_t size() const override { return static_cast<int64_t>(bytes_->size()); }
    size_t readAt(int64_t offset, void* out, size_t count) const override {
        if (offset < 0 || offset >= size()) return 0;
        size_t n = std::min(count, bytes_->size() - static_cast<size_t>(offset));
        std::memcpy(out, bytes_->data() + offset, n);
        return n;
    }

  private:
    std::shared_ptr<const std::string> bytes_;
};

// The one file a nested archive is read from: its bytes under the outer archive's path.
class OneFileSystem final : public FileSystem {
  public:
    OneFileSystem(std::string path, std::shared_ptr<const std::string> bytes)
        : path_(std::move(path)), bytes_(std::move(bytes)) {}
    bool exists(const std::string& path) const override { return path == path_; }
    bool directoryExists(const std::string&) const override { return false; }
    bool readFile(const std::string& path, std::string& bytes) const override {
        if (path != path_) return false;
        bytes = *bytes_;
        return true;
    }
    bool makeDirectory(const std::string&) override { return false; }
    bool listDirectory(const std::string&, std::vector<std::string>&) const override {
        return false;
    }
    std::unique_ptr<ReadableFile> openRead(const std::string& path) const override {
        if (path != path_) return nullptr;
        return std::make_unique<BytesFile>(bytes_);
    }
    std::unique_ptr<WritableFile> createFile(const std::string&) override { return nullptr; }
    std::unique_ptr<WritableFile> openForUpdate(const std::string&) override { return nullptr; }
    bool rename(const std::string&, const std::string&) override { return false; }
    bool remove(const std::string&) override { return false; }
    bool copyFile(const std::string&, const std::string&) override { return false; }
    std::string absolutePath(const std::string& path) const override { return path; }

  private:
    std::string path_;
    std::shared_ptr<const std::string> bytes_;
};

// The components of an entry name, as UTF-8; false for a name that could leave the folder it
// is read into (absolute, with a drive, a "..", a ":" or a NUL).
bool entryComponents(const std::string& name, bool utf8, std::vector<std::string>& out) {
    if (name.find('\0') != std::string::npos || name.find(':') != std::string::npos) return false;
    out.clear();
    if (!utf8) {
        bool rooted, hasDrive;
        std::vector<std::string> parts = splitScriptName(name, rooted, hasDrive);
        if (rooted || hasDrive) return false;
        for (const std::string& part : parts) out.push_back(sjisToUtf8(part));
    } else {
        if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return false;
        std::string part;
        for (char c : name + "/") {
            if (c == '/' || c == '\\') {
                if (!part.empty()) out.push_back(std::move(part));
                part.clear();
            } else {
                part += c;
            }
        }
    }
    std::erase(out, std::string("."));
    for (const std::string& part : out)
        if (part == "..") return false;
    return !out.empty();
}

std::string libarchiveError(archive* a, const char* fallback) {
    const char* text = a ? archive_error_string(a) : nullptr;
    return text ? text : fallback;
}

}  // namespace

// libarchive reading the archive through the outside file system, with seeks, so that zip, 7z
// and disc images jump to what they need instead of reading everything before it.
class ArchiveReader {
  public:
    explicit ArchiveReader(std::unique_ptr<ReadableFile> file)
        : file_(std::move(file)), buffer_(64 * 1024) {}
    ~ArchiveReader() {
        if (a_) archive_read_free(a_);
    }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    bool open(std::string& detail) {
        a_ = archive_read_new();
        if (!a_) {
            detail = "out of memory";
            return false;
        }
        archive_read_support_format_zip_seekable(a_);
        archive_read_support_format_lha(a_);
        archive_read_support_format_7zip(a_);
        archive_read_support_format_cab(a_);
        archive_read_support_format_iso9660(a_);
        archive_read_set_callback_data(a_, this);
        archive_read_set_read_callback(a_, &ArchiveReader::read);
        archive_read_set_seek_callback(a_, &ArchiveReader::seek);
        archive_read_set_skip_callback(a_, &ArchiveReader::skip);
        if (archive_read_open1(a_) != ARCHIVE_OK) {
            detail = libarchiveError(a_, "cannot be opened");
            return false;
        }
        return true;
    }

    // The next header; counts it when it could be read.
    int next(archive_entry*& entry) {
        int r = archive_read_next_header(a_, &entry);
        if (r == ARCHIVE_OK || r == ARCHIVE_WARN) ++nextIndex;
        return r;
    }
    archive* handle() { return a_; }
    const ReadableFile& file() const { return *file_; }

    int64_t nextIndex = 0;

  private:
    static la_ssize_t read(archive*, void* data, const void** out) {
        auto* self = static_cast<ArchiveReader*>(data);
        size_t n = self->file_->readAt(self->pos_, self->buffer_.data(), self->buffer_.size());
        self->pos_ += static_cast<int64_t>(n);
        *out = self->buffer_.data();
        return static_cast<la_ssize_t>(n);
    }
    static la_int64_t skip(archive*, void* data, la_int64_t request) {
        auto* self = static_cast<ArchiveReader*>(data);
        la_int64_t n = std::clamp<la_int64_t>(request, 0, self->file_->size() - self->pos_);
        self->pos_ += n;
        return n;
    }
    static la_int64_t seek(archive*, void* data, la_int64_t offset, int whence) {
        auto* self = static_cast<ArchiveReader*>(data);
        int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? self->pos_
                                            : self->file_->size();
        int64_t to = base + offset;
        if (to < 0 || to > self->file_->size()) return ARCHIVE_FATAL;
        self->pos_ = to;
        return to;
    }

    std::unique_ptr<ReadableFile> file_;
    std::vector<char> buffer_;
    int64_t pos_ = 0;
    archive* a_ = nullptr;
};

namespace {

// Decompressed entries kept for the next read: the pictures of a scene are often read again.
constexpr uint64_t kCacheBytes = uint64_t{32} << 20;
constexpr uint64_t kCacheEntryBytes = uint64_t{8} << 20;

}  // namespace

bool looksLikeArchive(const FileSystem& files, const std::string& path) {
    std::unique_ptr<ReadableFile> file = files.openRead(path);
    if (!file) return false;
    unsigned char head[8] = {};
    size_t n = file->readAt(0, head, sizeof head);
    if (n >= 4 && head[0] == 'P' && head[1] == 'K' &&
        ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6)))
        return true;
    if (n >= 6 && std::memcmp(head, "7z\xBC\xAF\x27\x1C", 6) == 0) return true;
    if (n >= 8 && std::memcmp(head, "MSCF\0\0\0\0", 8) == 0) return true;
    if (n >= 7 && head[2] == '-' && head[3] == 'l' && (head[4] == 'h' || head[4] == 'z') &&
        head[6] == '-')
        return true;
    char volume[5];
    return file->readAt(0x8001, volume, 5) == 5 && std::memcmp(volume, "CD001", 5) == 0;
}

const char* archiveErrorName(ArchiveErrorKind kind) {
    switch (kind) {
        case ArchiveErrorKind::None:
            return "no error";
        case ArchiveErrorKind::NotFound:
            return "not found";
        case ArchiveErrorKind::NotAnArchive:
            return "not an archive";
        case ArchiveErrorKind::Damaged:
            return "damaged";
        case ArchiveErrorKind::TooManyEntries:
            return "too many entries";
    }
    return "?";
}

const char* skipReasonName(SkipReason reason) {
    switch (reason) {
        case SkipReason::UnsafeName:
            return "unsafe name";
        case SkipReason::Link:
            return "link";
        case SkipReason::NotAFile:
            return "not a file";
        case SkipReason::Duplicate:
            return "duplicate";
        case SkipReason::TooLarge:
            return "too large";
        case SkipReason::Encrypted:
            return "encrypted";
        case SkipReason::BadName:
            return "unreadable name";
    }
    return "?";
}

ArchiveFileSystem::ArchiveFileSystem(FileSystem& outside, std::string root, int depth)
    : outside_(outside), root_(std::move(root)), depth_(depth) {
    absoluteRoot_ = outside_.absolutePath(root_);
}

ArchiveFileSystem::~ArchiveFileSystem() = default;

std::unique_ptr<ArchiveFileSystem> ArchiveFileSystem::open(FileSystem& outside,
                                                           const std::string& archivePath,
                                                           ArchiveError& error) {
    std::string root = archivePath;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    std::unique_ptr<ArchiveFileSystem> files(new ArchiveFileSystem(outside, root, 0));
    if (!files->index(error)) return nullptr;
    return files;
}

bool ArchiveFileSystem::index(ArchiveError& error) {
    std::unique_ptr<ReadableFile> file = outside_.openRead(root_);
    if (!file) {
        error = {ArchiveErrorKind::NotFound, root_ + ": no such file"};
        return false;
    }
    const bool magic = looksLikeArchive(outside_, root_);
    Utf8Names names;
    auto reader = std::make_unique<ArchiveReader>(std::move(file));
    std::string detail;
    if (!reader->open(detail)) {
        // A file that starts as an archive but cannot be read as one is a damaged archive.
        error = {magic ? ArchiveErrorKind::Damaged : ArchiveErrorKind::NotAnArchive, detail};
        return false;
    }
    std::map<std::string, bool> zipFlags;
    bool zipFlagsRead = false;
    folders_[""];
    archive_entry* entry = nullptr;
    for (int64_t count = 0;; ++count) {
        int r = reader->next(entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            error = {ArchiveErrorKind::Damaged,
                     libarchiveError(reader->handle(), "an entry cannot be read")};
            return false;
        }
        if (count >= static_cast<int64_t>(kMaxArchiveEntries)) {
            error = {ArchiveErrorKind::TooManyEntries,
                     "more than " + std::to_string(kMaxArchiveEntries) + " entries"};
            return false;
        }
        if (formatName_.empty()) formatName_ = archive_format_name(reader->handle());
        const int format = archive_format(reader->handle()) & ARCHIVE_FORMAT_BASE_MASK;
        const char* rawName = archive_entry_pathname(entry);
        if (!rawName || std::strlen(rawName) > kMaxArchiveNameBytes) {
            skipped_.push_back({rawName ? sjisToUtf8(rawName) : "", SkipReason::BadName});
            continue;
        }
        Entry e;
        e.raw = rawName;
        e.index = reader->nextIndex - 1;
        e.size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
        // Zip names are code page 932 unless flagged; 7z names are always Unicode; the other
        // formats give Unicode names (Joliet, flagged cab names) or stored bytes, told apart by
        // whether they are UTF-8.
        bool utf8 = validUtf8(e.raw);
        if (format == ARCHIVE_FORMAT_ZIP) {
            if (!zipFlagsRead) zipFlags = zipNameFlags(reader->file());
            zipFlagsRead = true;
            auto flag = zipFlags.find(e.raw);
            if (flag != zipFlags.end()) utf8 = flag->second;
        } else if (format == ARCHIVE_FORMAT_7ZIP) {
            utf8 = true;
        }
        std::vector<std::string> parts;
        const std::string shown = utf8 ? e.raw : sjisToUtf8(e.raw);
        const mode_t type = archive_entry_filetype(entry);
        // A disc image names its root folder ".".
        if (type == AE_IFDIR && (e.raw == "." || e.raw == "./")) continue;
        if (!entryComponents(e.raw, utf8, parts)) {
            skipped_.push_back({shown, SkipReason::UnsafeName});
            continue;
        }
        if (type == AE_IFLNK || archive_entry_symlink(entry)) {
            skipped_.push_back({shown, SkipReason::Link});
            continue;
        }
        // A hard link names an entry read before it; it reads as that entry (a disc image links
        // files that share their bytes). One to anything else is left out.
        std::optional<size_t> linked;
        if (const char* target = archive_entry_hardlink(entry)) {
            std::vector<std::string> targetParts;
            std::string targetPath;
            std::string t = target;
            bool targetUtf8 = format == ARCHIVE_FORMAT_ZIP ? utf8 : validUtf8(t);
            if (entryComponents(t, targetUtf8, targetParts))
                for (const std::string& part : targetParts)
                    targetPath += (targetPath.empty() ? "" : "/") + part;
            auto found = files_.find(targetPath);
            if (found == files_.end()) {
                skipped_.push_back({shown, SkipReason::Link});
                continue;
            }
            linked = found->second;
        }
        if (!linked && type != AE_IFREG && type != AE_IFDIR) {
            skipped_.push_back({shown, SkipReason::NotAFile});
            continue;
        }
        if (archive_entry_is_encrypted(entry)) {
            skipped_.push_back({shown, SkipReason::Encrypted});
            continue;
        }
        if (e.size > static_cast<int64_t>(kMaxEntryBytes)) {
            skipped_.push_back({shown, SkipReason::TooLarge});
            continue;
        }
        // Every folder on the way must not be a file already, and a file not a folder.
        std::string path;
        bool clash = false;
        for (size_t i = 0; i < parts.size(); ++i) {
            std::string next = path.empty() ? parts[i] : path + "/" + parts[i];
            bool last = i + 1 == parts.size();
            if (files_.count(next) || (last && type != AE_IFDIR && folders_.count(next))) {
                clash = true;
                break;
            }
            path = std::move(next);
        }
        if (clash) {
            skipped_.push_back({shown, SkipReason::Duplicate});
            continue;
        }
        std::string folder;
        for (size_t i = 0; i < parts.size(); ++i) {
            folders_[folder].insert(parts[i]);
            folder = folder.empty() ? parts[i] : folder + "/" + parts[i];
            if (i + 1 < parts.size() || type == AE_IFDIR) folders_[folder];
        }
        if (linked) {
            files_[path] = *linked;
        } else if (type == AE_IFREG) {
            e.path = path;
            files_[path] = entries_.size();
            entries_.push_back(std::move(e));
        }
    }
    if (formatName_.empty()) formatName_ = archive_format_name(reader->handle());
    // The reader stands at the end; the first read starts a fresh one.
    return true;
}

bool ArchiveFileSystem::inside(const std::string& path, std::string& rest) const {
    std::string_view tail;
    bool found = false;
    for (const std::string* root : {&root_, &absoluteRoot_}) {
        if (path.size() >= root->size() && path.compare(0, root->size(), *root) == 0 &&
            (path.size() == root->size() || path[root->size()] == '/')) {
            tail = std::string_view(path).substr(root->size());
            found = true;
            break;
        }
    }
    if (!found) return false;
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= tail.size()) {
        size_t slash = tail.find('/', i);
        if (slash == std::string_view::npos) slash = tail.size();
        std::string_view part = tail.substr(i, slash - i);
        if (part == "..") {
            if (parts.empty()) return false;  // above the archive: a path beside it
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        i = slash + 1;
    }
    rest.clear();
    for (const std::string& part : parts) rest += (rest.empty() ? "" : "/") + part;
    return true;
}

const ArchiveFileSystem::Entry* ArchiveFileSystem::fileEntry(const std::string& rest) const {
    auto it = files_.find(rest);
    return it == files_.end() ? nullptr : &entries_[it->second];
}

ArchiveFileSystem* ArchiveFileSystem::nestedFor(const std::string& rest,
                                                std::string& innerPath) const {
    if (depth_ > 0) return nullptr;
    // The entry the path goes through: the one whose name is a leading part of it.
    size_t slash = 0;
    std::string entryPath;
    const Entry* entry = nullptr;
    while (true) {
        size_t next = rest.find('/', slash);
        std::string prefix = rest.substr(0, next);
        if ((entry = fileEntry(prefix))) {
            entryPath = prefix;
            break;
        }
        if (next == std::string::npos) return nullptr;
        slash = next + 1;
    }
    std::lock_guard lock(mutex_);
    Nested& nested = nested_[entryPath];
    if (!nested.tried) {
        nested.tried = true;
        if (entry->size >= 0 && static_cast<uint64_t>(entry->size) <= kMaxNestedArchiveBytes) {
            std::shared_ptr<const std::string> bytes = entryBytes(*entry);
            const std::string path = root_ + "/" + entryPath;
            auto holder = std::make_unique<OneFileSystem>(path, bytes);
            ArchiveError error;
            std::unique_ptr<ArchiveFileSystem> files;
            if (bytes && looksLikeArchive(*holder, path)) {
                files.reset(new ArchiveFileSystem(*holder, path, depth_ + 1));
                files->absoluteRoot_ = absoluteRoot_ + "/" + entryPath;
                if (!files->index(error)) files.reset();
            }
            if (files) {
                nested.bytes = std::move(bytes);
                nested.holder = std::move(holder);
                nested.files = std::move(files);
            }
        }
    }
    if (!nested.files) return nullptr;
    innerPath = root_ + "/" + rest;
    return nested.files.get();
}

std::shared_ptr<const std::string> ArchiveFileSystem::entryBytes(const Entry& entry) const {
    std::lock_guard lock(mutex_);
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->first != entry.index) continue;
        cache_.splice(cache_.begin(), cache_, it);
        return cache_.front().second;
    }
    Utf8Names names;
    if (!reader_ || reader_->nextIndex > entry.index) {
        reader_.reset();
        std::unique_ptr<ReadableFile> file = outside_.openRead(root_);
        if (!file) return nullptr;
        auto fresh = std::make_unique<ArchiveReader>(std::move(file));
        std::string detail;
        if (!fresh->open(detail)) return nullptr;
        reader_ = std::move(fresh);
    }
    archive_entry* header = nullptr;
    while (reader_->nextIndex <= entry.index) {
        int r = reader_->next(header);
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            reader_.reset();
            return nullptr;
        }
    }
    const char* name = archive_entry_pathname(header);
    if (!name || entry.raw != name) {
        // The archive changed since it was opened.
        reader_.reset();
        return nullptr;
    }
    // An entry never gives more than it declared (a small entry inflating to gigabytes is
    // stopped there), nor less.
    const uint64_t most = entry.size >= 0 ? static_cast<uint64_t>(entry.size) : kMaxEntryBytes;
    auto bytes = std::make_shared<std::string>();
    bytes->reserve(static_cast<size_t>(std::min(most, kMaxTrustedReserve)));
    char chunk[64 * 1024];
    while (true) {
        la_ssize_t n = archive_read_data(reader_->handle(), chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0 || bytes->size() + static_cast<uint64_t>(n) > most) {
            reader_.reset();
            return nullptr;
        }
        bytes->append(chunk, static_cast<size_t>(n));
    }
    if (entry.size >= 0 && bytes->size() != static_cast<uint64_t>(entry.size)) {
        reader_.reset();
        return nullptr;
    }
    ++decompressed_;
    std::shared_ptr<const std::string> result = std::move(bytes);
    if (result->size() <= kCacheEntryBytes) {
        cache_.emplace_front(entry.index, result);
        cacheBytes_ += result->size();
        while (cacheBytes_ > kCacheBytes) {
            cacheBytes_ -= cache_.back().second->size();
            cache_.pop_back();
        }
    }
    return result;
}

int64_t ArchiveFileSystem::entriesDecompressed() const {
    std::lock_guard lock(mutex_);
    return decompressed_;
}

bool ArchiveFileSystem::exists(const std::string& path) const {
    std::string rest, inner;
    if (!inside(path, rest)) return outside_.exists(path);
    if (fileEntry(rest)) return true;
    ArchiveFileSystem* nested = nestedFor(rest, inner);
    return nested && nested->exists(inner);
}

bool ArchiveFileSystem::directoryExists(const std::string& path) const {
    std::string rest, inner;
    if (!inside(path, rest)) return outside_.directoryExists(path);
    if (folders_.count(rest)) return true;
    ArchiveFileSystem* nested = nestedFor(rest, inner);
    return nested && nested->directoryExists(inner);
}

bool ArchiveFileSystem::readFile(const std::string& path, std::string& bytes) const {
    std::string rest, inner;
    if (!inside(path, rest)) return outside_.readFile(path, bytes);
    if (const Entry* entry = fileEntry(rest)) {
        std::shared_ptr<const std::string> read = entryBytes(*entry);
        if (!read) return false;
        bytes = *read;
        return true;
    }
    ArchiveFileSystem* nested = nestedFor(rest, inner);
    return nested && nested->readFile(inner, bytes);
}

bool ArchiveFileSystem::makeDirectory(const std::string& path) {
    std::string rest;
    if (!inside(path, rest)) return outside_.makeDirectory(path);
    return directoryExists(path);
}

bool ArchiveFileSystem::listDirectory(const std::string& path,
                                      std::vector<std::string>& names) const {
    std::string rest, inner;
    if (!inside(path, rest)) return outside_.listDirectory(path, names);
    auto folder = folders_.find(rest);
    if (folder != folders_.end()) {
        names.assign(folder->second.begin(), folder->second.end());
        return true;
    }
    ArchiveFileSystem* nested = nestedFor(rest, inner);
    return nested && nested->listDirectory(inner, names);
}

std::unique_ptr<ReadableFile> ArchiveFileSystem::openRead(const std::string& path) const {
    std::string rest, inner;
    if (!inside(path, rest)) return outside_.openRead(path);
    if (const Entry* entry = fileEntry(rest)) {
        std::shared_ptr<const std::string> read = entryBytes(*entry);
        if (!read) return nullptr;
        return std::make_unique<BytesFile>(std::move(read));
    }
    ArchiveFileSystem* nested = nestedFor(rest, inner);
    return nested ? nested->openRead(inner) : nullptr;
}

std::unique_ptr<WritableFile> ArchiveFileSystem::createFile(const std::string& path) {
    std::string rest;
    if (!inside(path, rest)) return outside_.createFile(path);
    return nullptr;
}

std::unique_ptr<WritableFile> ArchiveFileSystem::openForUpdate(const std::string& path) {
    std::string rest;
    if (!inside(path, rest)) return outside_.openForUpdate(path);
    return nullptr;
}

bool ArchiveFileSystem::rename(const std::string& from, const std::string& to) {
    std::string rest;
    if (inside(from, rest) || inside(to, rest)) return false;
    return outside_.rename(from, to);
}

bool ArchiveFileSystem::remove(const std::string& path) {
    std::string rest;
    if (!inside(path, rest)) return outside_.remove(path);
    return false;
}

bool ArchiveFileSystem::copyFile(const std::string& from, const std::string& to) {
    std::string rest;
    if (inside(to, rest)) return false;
    if (!inside(from, rest)) return outside_.copyFile(from, to);
    // Out of the archive: the entry's bytes become a new file outside.
    std::string bytes;
    if (outside_.exists(to) || outside_.directoryExists(to) || !readFile(from, bytes)) return false;
    return outside_.writeFile(to, bytes);
}

std::string ArchiveFileSystem::absolutePath(const std::string& path) const {
    std::string rest;
    if (!inside(path, rest)) return outside_.absolutePath(path);
    return rest.empty() ? absoluteRoot_ : absoluteRoot_ + "/" + rest;
}

}  // namespace zarvo::platform
