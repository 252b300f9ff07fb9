#include "support/archive_files.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.hpp"

namespace zarvo::test {
namespace {

namespace fs = std::filesystem;

// libarchive's writer reads the names it converts (to UTF-16, or to flagged UTF-8) in the
// thread's locale; names written as bytes are written in the C locale, which converts nothing.
class ThreadLocale {
  public:
    explicit ThreadLocale(const char* name) {
        locale_ = newlocale(LC_CTYPE_MASK, name, locale_t{});
        if (locale_) previous_ = uselocale(locale_);
    }
    ~ThreadLocale() {
        if (previous_) uselocale(previous_);
        if (locale_) freelocale(locale_);
    }

  private:
    locale_t locale_{};
    locale_t previous_{};
};

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool haveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

// Writes the items into `folder` as files, for the Debian tools to pack.
std::vector<std::string> lay(const std::string& folder, const std::vector<ArchiveItem>& items) {
    std::vector<std::string> names;
    for (const ArchiveItem& item : items) {
        fs::path path = fs::path(folder) / item.name;
        if (!item.name.empty() && item.name.back() == '/') {
            fs::create_directories(path);
            continue;
        }
        fs::create_directories(path.parent_path());
        writeFile(path.string(), item.bytes);
        names.push_back(item.name);
    }
    return names;
}

bool writeWithTool(ArchiveKind kind, const std::string& path, const std::vector<ArchiveItem>& items,
                   std::string& why) {
    const char* tool = kind == ArchiveKind::Lzh ? "lha" : "gcab";
    if (!haveTool(tool)) {
        why = std::string(tool) + " is not installed (scripts/setup installs it)";
        return false;
    }
    TempDir dir;
    std::vector<std::string> names = lay(dir.path(), items);
    std::string target = fs::absolute(path).string();
    fs::remove(target);
    std::string command = "cd " + shellQuoted(dir.path()) + " && " +
                          (kind == ArchiveKind::Lzh ? "lha aq " : "gcab -c -z ") +
                          shellQuoted(target);
    for (const std::string& name : names) command += " " + shellQuoted(name);
    command += " > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(target)) {
        why = std::string(tool) + " failed";
        return false;
    }
    return true;
}

}  // namespace

const char* archiveKindName(ArchiveKind kind) {
    switch (kind) {
        case ArchiveKind::Zip:
            return "zip";
        case ArchiveKind::ZipUtf8:
            return "zip-utf8";
        case ArchiveKind::ZipStored:
            return "zip-stored";
        case ArchiveKind::SevenZip:
            return "7z";
        case ArchiveKind::Iso:
            return "iso";
        case ArchiveKind::IsoJoliet:
            return "iso-joliet";
        case ArchiveKind::Lzh:
            return "lzh";
        case ArchiveKind::Cab:
            return "cab";
    }
    return "?";
}

bool writeArchive(ArchiveKind kind, const std::string& path, const std::vector<ArchiveItem>& items,
                  std::string& why) {
    if (kind == ArchiveKind::Lzh || kind == ArchiveKind::Cab)
        return writeWithTool(kind, path, items, why);
    const bool unicode = kind == ArchiveKind::ZipUtf8 || kind == ArchiveKind::SevenZip ||
                         kind == ArchiveKind::IsoJoliet;
    ThreadLocale names(unicode ? "C.UTF-8" : "C");
    archive* a = archive_write_new();
    switch (kind) {
        case ArchiveKind::Zip:
        case ArchiveKind::ZipUtf8:
        case ArchiveKind::ZipStored:
            archive_write_set_format_zip(a);
            if (kind == ArchiveKind::ZipStored)
                archive_write_set_options(a, "zip:compression=store");
            break;
        case ArchiveKind::SevenZip:
            archive_write_set_format_7zip(a);
            break;
        case ArchiveKind::Iso:
        case ArchiveKind::IsoJoliet:
            archive_write_set_format_iso9660(a);
            archive_write_set_options(
                a, kind == ArchiveKind::Iso ? "iso9660:!joliet" : "iso9660:joliet");
            break;
        default:
            break;
    }
    bool ok = archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
    for (const ArchiveItem& item : items) {
        if (!ok) break;
        archive_entry* entry = archive_entry_new();
        const bool folder = !item.name.empty() && item.name.back() == '/';
        archive_entry_set_pathname(entry, item.name.c_str());
        const bool link = !item.symlink.empty();
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : link ? AE_IFLNK : AE_IFREG);
        if (link) archive_entry_set_symlink(entry, item.symlink.c_str());
        archive_entry_set_perm(entry, folder ? 0755 : 0644);
        archive_entry_set_mtime(entry, 1700000000, 0);
        const bool data = !folder && !link;
        archive_entry_set_size(entry,
                               data ? static_cast<la_int64_t>(item.bytes.size()) * item.repeat : 0);
        ok = archive_write_header(a, entry) == ARCHIVE_OK;
        for (int k = 0; ok && data && !item.bytes.empty() && k < item.repeat; ++k)
            ok = archive_write_data(a, item.bytes.data(), item.bytes.size()) ==
                 static_cast<la_ssize_t>(item.bytes.size());
        archive_entry_free(entry);
    }
    if (!ok) why = archive_error_string(a) ? archive_error_string(a) : "libarchive failed";
    if (archive_write_close(a) != ARCHIVE_OK && ok) {
        why = archive_error_string(a) ? archive_error_string(a) : "libarchive failed";
        ok = false;
    }
    archive_write_free(a);
    return ok;
}

std::vector<ArchiveItem> folderItems(const std::string& folder, const std::string& prefix) {
    std::vector<ArchiveItem> items;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        items.push_back({prefix + fs::relative(e.path(), folder).generic_string(),
                         readFile(e.path().string())});
    }
    std::sort(items.begin(), items.end(),
              [](const ArchiveItem& a, const ArchiveItem& b) { return a.name < b.name; });
    return items;
}

}  // namespace zarvo::test
