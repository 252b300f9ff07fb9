// Files as the player sees them: whole-file reads and writes, positioned reads and writes for
// packages, one-level folders, and the mapping of file names written in scripts (code page 932,
// "\" separators, Windows letter case) onto host paths. Nothing under src/ touches files but
// through this interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::platform {

// A regular file open for reading at any offset.
class ReadableFile {
  public:
    virtual ~ReadableFile() = default;
    // The size when it was opened; what a reader checks every offset it is told against.
    virtual int64_t size() const = 0;
    // Reads up to `count` bytes at `offset`; fewer only at the end of the file or on an error.
    virtual size_t readAt(int64_t offset, void* bytes, size_t count) const = 0;
};

// A file being written at any offset. A created file is written beside its target and takes its
// place only when finished; an updated file is written in place. Destroying a handle that was
// not finished abandons it.
//
// Finishing is the one durable path for every file written whole: the new bytes are flushed to
// the disk before the rename and the folder after it, so that a power cut leaves either the old
// file or the new one, never an empty one.
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    virtual bool writeAt(int64_t offset, const void* bytes, size_t count) = 0;
    virtual bool truncate(int64_t size) = 0;
    // Created: flushes the new file, moves it over its target (keeping the target's permissions)
    // and flushes the folder. Updated: flushes and closes it. False when the bytes may not all
    // have landed; a created file that was not yet moved is then removed and the target left as
    // it was.
    virtual bool finish() = 0;
    // Created: removes the new file. Updated: closes it as it stands.
    virtual void abandon() = 0;
    // Created: true once the new file has taken its target's place, even when flushing the
    // folder afterwards failed (the new file is there, but may not outlast a power cut).
    virtual bool replacedTarget() const = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // All paths here are host paths (on Linux: bytes, normally UTF-8, "/" separators).
    // True for a regular file (links followed); folders, pipes and devices are not files here.
    virtual bool exists(const std::string& path) const = 0;
    virtual bool directoryExists(const std::string& path) const = 0;
    virtual bool readFile(const std::string& path, std::string& bytes) const = 0;
    // Replaces the file as a whole or not at all: an existing file survives a failed write.
    // Written through createFile, so it is as durable as every other whole file.
    bool writeFile(const std::string& path, std::string_view bytes);
    // Creates one folder level (its parent must exist) and flushes the parent; true also when the
    // folder is already there.
    virtual bool makeDirectory(const std::string& path) = 0;
    // Names of the entries of a folder, without "." and ".."; false when it cannot be listed.
    virtual bool listDirectory(const std::string& path, std::vector<std::string>& names) const = 0;

    // Null when the path is not a regular file or cannot be opened. Never blocks on a pipe.
    virtual std::unique_ptr<ReadableFile> openRead(const std::string& path) const = 0;
    // A new file beside `path` that replaces it when finished (see WritableFile); null when
    // `path` is a folder or nothing can be created beside it.
    virtual std::unique_ptr<WritableFile> createFile(const std::string& path) = 0;
    // An existing regular file written in place.
    virtual std::unique_ptr<WritableFile> openForUpdate(const std::string& path) = 0;
    // Replaces `to` if it exists, then flushes the folder of `to`. A rename that happened but
    // whose folder could not be flushed reports false.
    virtual bool rename(const std::string& from, const std::string& to) = 0;
    // Removes a file (not a folder); false when there was none or it could not be removed.
    virtual bool remove(const std::string& path) = 0;
    // Copies a regular file to a new name; fails, leaving it alone, when `to` exists.
    virtual bool copyFile(const std::string& from, const std::string& to) = 0;
    // The path from the root of the host; `path` as given when that cannot be had.
    virtual std::string absolutePath(const std::string& path) const = 0;
    // Where the file of `path` really is, to tell the reader: a file system that keeps writes
    // elsewhere names that place.
    virtual std::string placeOf(const std::string& path) const { return path; }

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

// Host path arithmetic on "/" separated strings.
// The folder a path names a file in: "" for a bare name, "/" for a file at the root.
std::string parentPath(std::string_view path);
// `dir` + "/" + `name`, without doubling a separator; `name` alone when `dir` is empty.
std::string joinPath(std::string_view dir, std::string_view name);
// readFile for a file of at most `most` bytes: a larger one is not read at all (false), so
// what a file holds never decides how much is allocated.
bool readFileAtMost(const FileSystem& files, const std::string& path, uint64_t most,
                    std::string& bytes);
// The last component.
std::string fileName(std::string_view path);
// The last component without its extension ("a/b.tar.gz" -> "b.tar"; ".profile" -> ".profile").
std::string fileStem(std::string_view path);
// The path with its extension (if any) replaced by `extension` (given with its dot).
std::string replaceExtension(std::string_view path, std::string_view extension);

}  // namespace zarvo::platform
