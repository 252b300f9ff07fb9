// A player state as a package, in memory or in a file: each entry stored as one of the
// package's, deflated pictures as they are. Reading takes only well-formed packages of bounded
// size, so a damaged or hostile file is refused before it is restored.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/package.hpp"
#include "base/limits.hpp"
#include "platform/file_system.hpp"
#include "player/player_state.hpp"
#include "player/state_pictures.hpp"

namespace zarvo {
namespace {

// Most a state's text entries and a state package may hold: far above any run, low enough that
// a hostile file cannot make the player allocate without end.
constexpr uint64_t kMaxStateEntry = kMaxTextBytes;
constexpr int kMaxStateEntries = 4096;

// A file system of one file in memory: the package writer and reader work on bytes through it.
class BytesFiles final : public platform::FileSystem {
  public:
    std::string bytes;

    bool exists(const std::string&) const override { return true; }
    bool directoryExists(const std::string&) const override { return false; }
    bool readFile(const std::string&, std::string& out) const override {
        out = bytes;
        return true;
    }
    bool makeDirectory(const std::string&) override { return false; }
    bool listDirectory(const std::string&, std::vector<std::string>&) const override {
        return false;
    }
    std::unique_ptr<platform::ReadableFile> openRead(const std::string&) const override {
        return std::make_unique<Reader>(bytes);
    }
    std::unique_ptr<platform::WritableFile> createFile(const std::string&) override {
        return std::make_unique<Writer>(bytes);
    }
    std::unique_ptr<platform::WritableFile> openForUpdate(const std::string&) override {
        return nullptr;
    }
    bool rename(const std::string&, const std::string&) override { return false; }
    bool remove(const std::string&) override { return false; }
    bool copyFile(const std::string&, const std::string&) override { return false; }
    std::string absolutePath(const std::string& path) const override { return path; }

  private:
    class Reader final : public platform::ReadableFile {
      public:
        explicit Reader(std::string_view bytes) : bytes_(bytes) {}
        int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
        size_t readAt(int64_t offset, void* out, size_t count) const override {
            if (offset < 0 || static_cast<uint64_t>(offset) >= bytes_.size()) return 0;
            count = std::min(count, bytes_.size() - static_cast<size_t>(offset));
            std::memcpy(out, bytes_.data() + offset, count);
            return count;
        }

      private:
        std::string_view bytes_;
    };
    class Writer final : public platform::WritableFile {
      public:
        explicit Writer(std::string& target) : target_(target) {}
        bool writeAt(int64_t offset, const void* data, size_t count) override {
            if (offset < 0) return false;
            const size_t at = static_cast<size_t>(offset);
            if (buffer_.size() < at + count) buffer_.resize(at + count);
            std::memcpy(buffer_.data() + at, data, count);
            return true;
        }
        bool truncate(int64_t size) override {
            buffer_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
            return true;
        }
        bool finish() override {
            target_ = std::move(buffer_);
            done_ = true;
            return true;
        }
        void abandon() override {}
        bool replacedTarget() const override { return done_; }

      private:
        std::string& target_;
        std::string buffer_;
        bool done_ = false;
    };
};

}  // namespace

std::string encodeState(const PlayerState& state) {
    BytesFiles files;
    return writeStateFile(files, "state", state) ? std::move(files.bytes) : std::string();
}

bool decodeState(std::string_view bytes, PlayerState& state) {
    BytesFiles files;
    files.bytes = bytes;
    return readStateFile(files, "state", state);
}

bool writeStateFile(platform::FileSystem& files, const std::string& path,
                    const PlayerState& state) {
    PackageWriter writer;
    initWriter(writer);
    setMagic(writer, kStateMagic);
    if (!createPackage(files, writer, path)) return false;
    for (const StateEntry& e : state.entries()) {
        // Deflated pictures are stored as they are.
        const bool picture = e.name.rfind("layer.", 0) == 0 || e.name.rfind("dynamic.", 0) == 0 ||
                             e.name.rfind("screen.", 0) == 0 || e.name == "thumbnail";
        writer.compressed = !(picture && deflatedPicture(*e.bytes));
        if (!writeStreamEntry(writer, *e.bytes, e.name)) return false;
    }
    return finishPackage(writer);
}

bool readStateFile(const platform::FileSystem& files, const std::string& path, PlayerState& state) {
    if (!hasMagic(files, path, kStateMagic)) return false;
    PackageReader reader;
    if (!openPackage(files, path, reader) || reader.count > kMaxStateEntries) return false;
    reader.entryLimit = kMaxStateEntry;
    PlayerState read;
    for (int i = 0; i < reader.count; ++i) {
        const PackageEntry* entry = getEntry(reader, i);
        std::string bytes;
        if (!entry || read.find(entry->name) ||
            !readEntryIndexToStream(
                [&bytes](const char* data, size_t size) {
                    if (bytes.size() + size > kMaxStateEntry) return false;
                    bytes.append(data, size);
                    return true;
                },
                i, reader))
            return false;
        read.put(entry->name, std::move(bytes));
    }
    if (!read.find(kStateInfoEntry)) return false;
    state = std::move(read);
    return true;
}

}  // namespace zarvo
