// Files as the player sees them: whole-file reads and writes, one-level folders, and the mapping
// of file names written in scripts (code page 932, "\" separators, Windows letter case) onto
// host paths.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::platform {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // All paths here are host paths (on Linux: bytes, normally UTF-8, "/" separators).
    // True for a regular file (links followed); folders, pipes and devices are not files here.
    virtual bool exists(const std::string& path) const = 0;
    virtual bool directoryExists(const std::string& path) const = 0;
    virtual bool readFile(const std::string& path, std::string& bytes) const = 0;
    // Replaces the file as a whole or not at all: an existing file survives a failed write.
    virtual bool writeFile(const std::string& path, std::string_view bytes) = 0;
    // Creates one folder level (its parent must exist); true also when the folder is already there.
    virtual bool makeDirectory(const std::string& path) = 0;
    // Names of the entries of a folder, without "." and ".."; false when it cannot be listed.
    virtual bool listDirectory(const std::string& path, std::vector<std::string>& names) const = 0;

    // Host path of a file name from a script, inside the host folder `base`. A rooted name
    // ("\dir\file") or one with a drive ("C:\dir\file", "C:file"; the drive is dropped) is
    // taken from `base` as from a root: its ".." never leaves `base`. Both "\" and "/" separate
    // components; a two-byte character whose second byte is 0x5C does not. Empty and "."
    // components are skipped, ".." steps back. Each component is looked up in its folder as
    // written, then in its UTF-8 form, then ignoring the case of ASCII letters. When nothing
    // matches, the result still names where the file would be: found folders as found, the rest in
    // UTF-8 form.
    std::string resolve(std::string_view base, std::string_view scriptName) const;

    // For writing a package entry (or other untrusted name) into `folder`: resolves the name as
    // above into `path` and returns true only when it stays inside the folder; see
    // isSafeRelativeName.
    bool resolveInside(std::string_view folder, std::string_view name, std::string& path) const;

private:
    std::string findEntry(const std::string& dir, const std::string& raw,
                          const std::string& utf8) const;
};

// True for a relative name with at least one component, no drive or ":" (a Windows stream
// name), no ".." component and no NUL byte: a name that cannot leave the folder it is put in.
bool isSafeRelativeName(std::string_view name);

// The components of a script file name (see FileSystem::resolve), empty ones dropped; `rooted`
// tells whether it starts from the root (a leading separator, possibly after a drive).
std::vector<std::string> splitScriptName(std::string_view name, bool& rooted, bool& hasDrive);

// Comparison of host names ignoring the case of ASCII letters only, byte by byte (right for
// UTF-8, where no byte of a multi-byte character is ASCII).
bool sameHostName(std::string_view a, std::string_view b);

}  // namespace zarvo::platform
