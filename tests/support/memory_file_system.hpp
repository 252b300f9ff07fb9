// A file system held in memory, for tests that need no real folder: paths are plain strings,
// folders are made explicitly (the root "/" and "." always exist), and a test can look at or
// damage any file's bytes directly. A created file lives under a hidden name beside its target
// until it is finished, as on disk, so that a test sees what a failure leaves behind.
//
// Faults: every write, flush, rename and folder creation is counted, and the k-th of them can
// be made to fail (as with ENOSPC or EIO), a failing write possibly landing half its bytes.
#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/file_system.hpp"

namespace zarvo::test {

class MemoryFileSystem final : public platform::FileSystem {
  public:
    bool exists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    bool readFile(const std::string& path, std::string& bytes) const override;
    bool makeDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override;
    std::unique_ptr<platform::ReadableFile> openRead(const std::string& path) const override;
    std::unique_ptr<platform::WritableFile> createFile(const std::string& path) override;
    std::unique_ptr<platform::WritableFile> openForUpdate(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    std::string absolutePath(const std::string& path) const override;

    // Copies a folder of the machine, with everything under it, to the same path here (its
    // parent folders made too), so that a whole player can run on this file system.
    void copyFromHost(const std::string& folder);
    // The bytes of a file, made when missing (its folder must exist for the player to see it).
    std::string& bytes(const std::string& path);
    // Paths of every file, for checking that nothing was left behind.
    std::set<std::string> fileNames() const;
    // Nothing under `folder` can be made, changed, renamed or removed any more, as on a
    // read-only mount (for every user, the superuser too).
    void makeReadOnly(const std::string& folder) { readOnly_.insert(folder); }
    // Writes that would take more than this many new bytes fail, as on a full disk; -1 = never.
    void failWritesAfter(int64_t bytes) { writeBudget_ = bytes; }

    enum class Operation { Write, Flush, Rename, MakeDirectory };
    // Starts counting operations afresh; the `k`-th from now (1 = the next) fails, none for 0.
    // With `cutShort` a failing write lands the first half of its bytes before it fails.
    void failOperation(int64_t k, bool cutShort = false);
    // Operations since the last failOperation.
    int64_t operations() const { return operations_; }
    // The kind of the operation that was made to fail; false when none was.
    bool failed(Operation& kind) const;
    static const char* operationName(Operation kind);

  private:
    friend class MemoryWritableFile;
    bool folderOfExists(const std::string& path) const;
    bool readOnly(const std::string& path) const;
    bool spend(size_t count);
    // Counts an operation; false when it is the one to fail.
    bool attempt(Operation kind);
    // A hidden name beside `path` for a file being created.
    std::string tempBeside(const std::string& path);

    std::map<std::string, std::shared_ptr<std::string>> files_;
    std::set<std::string> folders_;
    std::set<std::string> readOnly_;
    int64_t writeBudget_ = -1;
    int64_t operations_ = 0;
    int64_t failAt_ = 0;
    bool cutShort_ = false;
    bool failedYet_ = false;
    Operation failedKind_ = Operation::Write;
    unsigned tempCounter_ = 0;
};

}  // namespace zarvo::test
