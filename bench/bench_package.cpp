// Reading a 10 MB compressed package entry, against plain zlib inflate of the same stored bytes.
// The reader should reach at least 80% of the plain inflate rate.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "archive/package.hpp"
#include "backends/posix/local_file_system.hpp"

namespace {

zarvo::platform::LocalFileSystem& hostFiles() {
    static zarvo::platform::LocalFileSystem files;
    return files;
}

using namespace zarvo;

constexpr size_t kSize = 10u << 20;

// Script-like text: words, numbers and line breaks in an uneven mix.
std::string textLike() {
    static const char* words[] = {
        "@MessageDraw", "MessageDraw.Text=", "layer",     "page", "book", "the", "a", "of", "to",
        "and",          "Pos.Left=",         "Visible=1", "\r\n", "\r\n", ", ",  ". "};
    std::mt19937 gen(12345);
    std::string s;
    s.reserve(kSize + 64);
    while (s.size() < kSize) {
        s += words[gen() % 16];
        if (gen() % 5 == 0) s += std::to_string(gen() % 1000);
        s += ' ';
    }
    s.resize(kSize);
    return s;
}

struct Fixture {
    std::string path;
    std::string text;
    std::string stored;  // the compressed entry's bytes as on disk (unscrambled entry)

    Fixture() {
        path = (std::filesystem::temp_directory_path() /
                ("zarvo-bench-package-" + std::to_string(getpid())))
                   .string();
        text = textLike();
        PackageWriter w;
        setMagic(w, "QZ7PKG");
        w.compressed = true;
        if (!createPackage(hostFiles(), w, path) || !writeStreamEntry(w, text, "big.txt"))
            std::abort();
        w.scrambled = true;
        if (!writeStreamEntry(w, text, "scrambled.txt") || !finishPackage(w)) std::abort();
        PackageReader r;
        if (!openPackage(hostFiles(), path, r)) std::abort();
        const PackageEntry& e = r.entries[0];
        std::ifstream in(path, std::ios::binary);
        stored.resize(e.storedSize);
        in.seekg(e.offset);
        in.read(stored.data(), static_cast<std::streamsize>(stored.size()));
    }
    ~Fixture() { std::filesystem::remove(path); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_PlainInflate(benchmark::State& state) {
    Fixture& f = fixture();
    std::string out(kSize, '\0');
    for (auto _ : state) {
        z_stream z{};
        inflateInit(&z);
        z.next_in = reinterpret_cast<Bytef*>(f.stored.data());
        z.avail_in = static_cast<uInt>(f.stored.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

// The whole entry into a new string, as the player loads a script or a save section.
void BM_ReadEntryToStream(benchmark::State& state, const char* name) {
    Fixture& f = fixture();
    PackageReader r;
    openPackage(hostFiles(), f.path, r);
    r.inputBufferSize = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        std::string s;
        if (!readEntryToStream(s, name, r) || s.size() != kSize) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

// The extraction path: the entry streamed to a sink in pieces.
void BM_ReadEntryIndexToStream(benchmark::State& state) {
    Fixture& f = fixture();
    PackageReader r;
    openPackage(hostFiles(), f.path, r);
    r.inputBufferSize = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        size_t total = 0;
        readEntryIndexToStream(
            [&total](const char* data, size_t n) {
                benchmark::DoNotOptimize(data);
                total += n;
                return true;
            },
            0, r);
        if (total != kSize) state.SkipWithError("read failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_PlainInflate)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadEntryToStream, compressed, "big.txt")
    ->Arg(64 * 1024)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadEntryToStream, scrambled, "scrambled.txt")
    ->Arg(64 * 1024)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEntryIndexToStream)->Arg(64 * 1024)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
