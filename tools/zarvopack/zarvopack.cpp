#include "zarvopack.hpp"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>

#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"

namespace zarvo::pack {
namespace {

namespace fs = std::filesystem;

platform::LocalFileSystem& hostFiles() {
    static platform::LocalFileSystem files;
    return files;
}

constexpr const char* kUsage =
    "usage: zarvopack list PACKAGE\n"
    "       zarvopack extract PACKAGE DIR\n"
    "       zarvopack create PACKAGE [--magic QZ7PKG|QZ7LIB|QZ7SAVE] [--compress] [--scramble]\n"
    "                        [--auto-extract] [--stub PROGRAM] FILE...\n"
    "\n"
    "list     one line per entry: NAME, TAB, stored size, TAB, decoded size, TAB, flags\n"
    "         (c compressed, r reserved, a auto-extract, d flag D, s scrambled; - for none)\n"
    "extract  writes every entry into DIR (a later entry of the same name wins)\n"
    "create   writes a package of the FILEs, named by their paths as given; --stub puts\n"
    "         PROGRAM (beginning with \"MZ\") in front\n";

int badUsage(std::ostream& err, const std::string& why) {
    err << "zarvopack: " << why << "\n" << kUsage;
    return 2;
}

bool isSeparator(unsigned char c) {
    return c == '\\' || c == '/';
}

// True when the bytes hold a stub marker a reader would stop at.
bool containsStubMarker(std::string_view bytes) {
    size_t dashes = 0;
    for (size_t i = 8; i < bytes.size(); ++i) {
        if (bytes[i] == '-') {
            ++dashes;
        } else if (bytes[i] == '+' && dashes > 200) {
            return true;
        } else {
            dashes = 0;
        }
    }
    return false;
}

int listCommand(const std::string& package, std::ostream& out, std::ostream& err) {
    PackageReader reader;
    if (!openPackage(hostFiles(), package, reader)) {
        err << "zarvopack: cannot open package: " << package << "\n";
        return 1;
    }
    for (const PackageEntry& e : reader.entries)
        out << sjisToUtf8(e.name) << '\t' << e.storedSize << '\t' << e.decodedSize << '\t'
            << entryFlagLetters(e) << '\n';
    return 0;
}

// Writes one entry through the durable path of the file system: beside its target first,
// flushed, then moved over it, so a failed entry never replaces a file.
bool extractEntry(PackageReader& reader, int index, const fs::path& target, std::string& why) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        why = "cannot create folder " + target.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::unique_ptr<platform::WritableFile> file = hostFiles().createFile(target.string());
    if (!file) {
        why = "cannot write " + target.string();
        return false;
    }
    int64_t at = 0;
    bool written = true;
    bool ok = readEntryIndexToStream(
        [&](const char* bytes, size_t size) {
            written = file->writeAt(at, bytes, size);
            at += static_cast<int64_t>(size);
            return written;
        },
        index, reader);
    if (!ok) {
        file->abandon();
        why = written && entryFailed(reader) ? "damaged entry" : "cannot write " + target.string();
        return false;
    }
    if (!file->finish()) {
        why = "cannot write " + target.string();
        return false;
    }
    return true;
}

int extractCommand(const std::string& package, const std::string& dir, std::ostream& err) {
    PackageReader reader;
    if (!openPackage(hostFiles(), package, reader)) {
        err << "zarvopack: cannot open package: " << package << "\n";
        return 1;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
        err << "zarvopack: cannot create folder: " << dir << "\n";
        return 1;
    }
    int status = 0;
    for (int i = 0; i < reader.count; ++i) {
        const PackageEntry& e = reader.entries[static_cast<size_t>(i)];
        if (findEntry(reader, e.name) != i) continue;  // a later entry of this name wins
        std::string rel;
        if (!entryRelativePath(e.name, rel)) {
            err << "zarvopack: refusing entry outside the folder: " << sjisToUtf8(e.name) << "\n";
            status = 1;
            continue;
        }
        std::string why;
        if (!extractEntry(reader, i, fs::path(dir) / rel, why)) {
            err << "zarvopack: " << sjisToUtf8(e.name) << ": " << why << "\n";
            status = 1;
        }
    }
    return status;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int createCommand(const std::vector<std::string>& args, std::ostream& err) {
    std::string package, magic = "QZ7PKG", stubPath;
    bool compress = false, scramble = false, autoExtract = false, haveStub = false;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string opt = a, value;
            bool hasValue = false;
            if (size_t eq = a.find('='); eq != std::string::npos) {
                opt = a.substr(0, eq);
                value = a.substr(eq + 1);
                hasValue = true;
            }
            if (opt == "--magic" || opt == "--stub") {
                if (!hasValue) {
                    if (i + 1 >= args.size()) return badUsage(err, opt + " needs a value");
                    value = args[++i];
                }
                if (opt == "--magic") {
                    if (value != "QZ7PKG" && value != "QZ7LIB" && value != "QZ7SAVE")
                        return badUsage(err, "unknown magic: " + value);
                    magic = value;
                } else {
                    stubPath = value;
                    haveStub = true;
                }
            } else if (hasValue) {
                return badUsage(err, "unknown option: " + a);
            } else if (opt == "--compress") {
                compress = true;
            } else if (opt == "--scramble") {
                scramble = true;
            } else if (opt == "--auto-extract") {
                autoExtract = true;
            } else {
                return badUsage(err, "unknown option: " + a);
            }
        } else if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (package.empty()) {
            package = a;
        } else {
            files.push_back(a);
        }
    }
    if (package.empty() || files.empty()) return badUsage(err, "create needs PACKAGE and FILE...");

    // Everything is checked before the package is touched.
    std::vector<std::string> names;
    for (const std::string& f : files) {
        std::string slashes = f, name;
        for (char& c : slashes)
            if (c == '/') c = '\\';
        if (!utf8ToSjis(slashes, name)) {
            err << "zarvopack: name has no code page 932 form: " << f << "\n";
            return 1;
        }
        if (name.size() > kPackageMaxName) {
            err << "zarvopack: name longer than 255 bytes: " << f << "\n";
            return 1;
        }
        std::error_code ec;
        if (!fs::is_regular_file(f, ec)) {
            err << "zarvopack: not a readable file: " << f << "\n";
            return 1;
        }
        names.push_back(std::move(name));
    }

    PackageWriter writer;
    setMagic(writer, magic);
    if (haveStub) {
        if (!readWholeFile(stubPath, writer.stub)) {
            err << "zarvopack: cannot read stub: " << stubPath << "\n";
            return 1;
        }
        // Readers look for the package behind a stub only in files that begin with "MZ", and
        // stop at the first marker.
        if (writer.stub.size() < 2 || writer.stub.compare(0, 2, "MZ") != 0) {
            err << "zarvopack: stub does not begin with \"MZ\": " << stubPath << "\n";
            return 1;
        }
        if (containsStubMarker(writer.stub)) {
            err << "zarvopack: stub contains a package marker: " << stubPath << "\n";
            return 1;
        }
    }
    writer.compressed = compress;
    writer.scrambled = scramble;
    writer.autoExtract = autoExtract;
    if (!createPackage(hostFiles(), writer, package)) {
        err << "zarvopack: cannot create package: " << package << "\n";
        return 1;
    }
    std::vector<char> buffer(64 * 1024);
    for (size_t i = 0; i < files.size(); ++i) {
        std::ifstream in(files[i], std::ios::binary);
        bool ok = in && beginEntry(writer, names[i]);
        while (ok && in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            auto n = static_cast<size_t>(in.gcount());
            if (n > 0 && writeEntry(buffer.data(), 1, n, writer) != n) ok = false;
        }
        if (in.bad()) ok = false;
        if (ok) ok = endEntry(writer);
        if (!ok) {
            err << "zarvopack: cannot add " << files[i] << " to " << package << "\n";
            return 1;  // the writer removes the unfinished package
        }
    }
    if (!finishPackage(writer)) {
        err << "zarvopack: cannot write package: " << package << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

bool entryRelativePath(std::string_view name, std::string& path) {
    if (name.empty() || name.find('\0') != std::string_view::npos) return false;
    if (isSeparator(static_cast<unsigned char>(name[0]))) return false;
    // "C:..." names a drive on the system the packages come from.
    if (name.size() >= 2 && name[1] == ':') return false;
    std::string out;
    std::string component;
    auto flush = [&]() {
        if (component.empty() || component == ".") {
            component.clear();
            return true;
        }
        if (component == "..") return false;
        if (!out.empty()) out += '/';
        out += sjisToUtf8(component);
        component.clear();
        return true;
    };
    // Walk characters, not bytes: the trail byte of a two-byte character may be 0x5C.
    for (size_t i = 0; i < name.size();) {
        size_t len = charLength(name, i);
        if (len == 1 && isSeparator(static_cast<unsigned char>(name[i]))) {
            if (!flush()) return false;
        } else {
            component.append(name.substr(i, len));
        }
        i += len;
    }
    if (!flush() || out.empty()) return false;
    path = std::move(out);
    return true;
}

std::string entryFlagLetters(const PackageEntry& e) {
    std::string s;
    if (e.compressed) s += 'c';
    if (e.reserved) s += 'r';
    if (e.autoExtract) s += 'a';
    if (e.flagD) s += 'd';
    if (e.scrambled) s += 's';
    return s.empty() ? "-" : s;
}

int runZarvopack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return badUsage(err, "no command");
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return 0;
        }
    }
    const std::string& command = args[0];
    if (command == "list") {
        if (args.size() != 2) return badUsage(err, "list needs PACKAGE");
        return listCommand(args[1], out, err);
    }
    if (command == "extract") {
        if (args.size() != 3) return badUsage(err, "extract needs PACKAGE and DIR");
        return extractCommand(args[1], args[2], err);
    }
    if (command == "create") return createCommand(args, err);
    return badUsage(err, "unknown command: " + command);
}

}  // namespace zarvo::pack
