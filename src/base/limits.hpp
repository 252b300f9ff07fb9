// How much the player takes from untrusted bytes (pictures, packages, saves), in one place.
// Every reader checks what a header declares against these before it allocates anything, so a
// damaged or hostile file is refused with a message, never with an exhausted memory.
#pragma once
#include <cstdint>

namespace zarvo {

// A decoded picture holds four bytes a pixel: at most 16384 pixels a side and 256 MB in all
// (8192 x 8192, or 16384 x 4096), far above any screen a story is made for.
inline constexpr int32_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPictureBytes = int64_t{256} << 20;
inline constexpr int64_t kMaxPicturePixels = kMaxPictureBytes / 4;
// Most a picture file is read into memory for: the largest picture with generous room for its
// tables.
inline constexpr int64_t kMaxPictureFileBytes = kMaxPictureBytes + (int64_t{64} << 20);

// True when a picture of this declared size may be decoded.
constexpr bool pictureSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

// Most a package entry may decode to; a stream that gives more is taken for damaged.
inline constexpr uint64_t kMaxEntryBytes = uint64_t{512} << 20;
// Most a reader reserves in advance on the word of a header; beyond it the buffer grows only
// as real bytes arrive.
inline constexpr uint64_t kMaxTrustedReserve = uint64_t{64} << 20;

// Archives and disc images a story is read from (zip, lzh, 7z, cab, ISO 9660): their index is
// held in memory, so the count of entries and the length of a name are bounded; an entry is
// bounded by kMaxEntryBytes, and by what it declares. An archive inside one is read into memory
// whole, so it is bounded too.
inline constexpr uint64_t kMaxArchiveEntries = 200000;
inline constexpr uint64_t kMaxArchiveNameBytes = 4096;
inline constexpr uint64_t kMaxNestedArchiveBytes = uint64_t{256} << 20;

// Most a text read whole may hold: a script, a settings list, a text section of a save. Tens
// of millions of characters, far beyond any story.
inline constexpr uint64_t kMaxTextBytes = uint64_t{64} << 20;

}  // namespace zarvo
