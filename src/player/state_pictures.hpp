// The picture entries of a player state: a surface's pixels (deflated for files, raw for a
// history's snapshots), a layer's picture file kept by its name and hash, and the marks that
// stand for base composed of its layers and for an output that is base. Internal to the
// player's states; captureState and restoreState (player_state.cpp) choose which form to use.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo {

class Layer;
class LayerStack;
class Screen;
class SnapshotPictures;
class Surface;
struct Picture;

// A picture: its size, then its alpha mode with how it is kept, then its pixels and mask,
// deflated (a layer is mostly flat colour) or as they are (kRawPicture). Snapshots of a
// history keep some pictures by what makes them instead: a layer's picture file (kFilePicture:
// its name and how it was loaded, then the hash of the picture as loaded), the composed
// layers (kComposedPicture, for base) or base (kSameAsBase, for the output).
constexpr uint8_t kRawPicture = 0x80;
constexpr uint8_t kFilePicture = 0x40;
constexpr uint8_t kComposedPicture = 0x20;
constexpr uint8_t kSameAsBase = 0x10;
constexpr uint8_t kKeptBy = kFilePicture | kComposedPicture | kSameAsBase;
constexpr size_t kPictureHead = 9;

// How a picture entry is kept: one of the kKeptBy bits, or 0 for pixels.
uint8_t keptBy(const std::string& bytes);

// The size and alpha mode every picture entry begins with, with how it is kept (`keptAs`).
std::string pictureHead(const Surface& g, uint8_t keptAs);
// A picture entry of pixels: deflated, or as they are when `raw`. Empty when deflating fails.
std::string encodePicture(const Surface& g, bool raw);
// True for a picture entry whose pixels are deflated already: a package stores it as it is.
bool deflatedPicture(std::string_view bytes);
// The pixels of a picture entry; false for bytes that are none.
bool decodePicture(const std::string* bytes, Picture& picture);

// A layer's picture kept by its file (kFilePicture).
std::string filePicture(const Layer& l);
// A layer's picture file read again as a file picture entry says, into `out`; false when the
// entry is damaged or the file no longer gives that picture.
bool readFilePicture(const std::string& bytes, Screen& screen, Surface& out);
// Whether a file picture entry names the layer's own file, loaded as the layer loads it.
bool sameFile(const std::string& bytes, const Layer& l);

// Whether `current` holds the picture of `entry` already: the bytes a snapshot took of it.
bool holdsPicture(const SnapshotPictures* shared, const Surface& current,
                  const std::shared_ptr<const std::string>* entry);
// The composed picture or what the window shows, kept as pixels: `keep` when the screen holds
// it already.
bool decodeScreenPicture(const std::shared_ptr<const std::string>* entry, const Surface& current,
                         const LayerStack& stack, const SnapshotPictures* shared, bool& keep,
                         Picture& picture);
// A mark in place of a screen picture: of the screen's size, as the mark says. The composed
// base's mark lists the layers it is composed without, into `hidden`.
bool isMark(const std::shared_ptr<const std::string>* entry, uint8_t mark, const LayerStack& stack,
            std::vector<int32_t>* hidden = nullptr);

}  // namespace zarvo
