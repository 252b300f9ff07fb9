// Writing and reading a state's picture entries, and the pictures a history of snapshots
// shares from one snapshot to the next.
#include "player/state_pictures.hpp"

#include <zlib.h>

#include <bit>
#include <cstring>
#include <utility>

#include "base/hash.hpp"
#include "base/limits.hpp"
#include "formats/picture.hpp"
#include "graphics/layers.hpp"
#include "graphics/screen.hpp"
#include "player/player_state.hpp"
#include "player/state_bytes.hpp"

namespace zarvo {
namespace {

uint64_t hashPicture(const Surface& g) {
    const size_t n = static_cast<size_t>(g.width()) * static_cast<size_t>(g.height());
    if (n == 0) return hashBytes(nullptr, 0);
    const uint64_t h = hashBytes(g.row(0), n * 4);
    return g.hasMask() ? hashBytes(g.maskRow(0), n, h) : h;
}

}  // namespace

uint8_t keptBy(const std::string& bytes) {
    return bytes.size() >= kPictureHead ? static_cast<uint8_t>(bytes[8]) & kKeptBy : 0;
}

std::string pictureHead(const Surface& g, uint8_t keptAs) {
    StateOut out;
    out.i32(g.width());
    out.i32(g.height());
    out.u8(static_cast<uint8_t>(static_cast<uint8_t>(g.alphaMode()) | keptAs));
    return out.take();
}

std::string filePicture(const Layer& l) {
    StateOut out;
    out.str(l.fileName);
    out.flag(l.transparent);
    out.flag(l.translucent);
    out.u64(hashPicture(l.surface));
    return pictureHead(l.surface, kFilePicture) + out.take();
}

bool readFilePicture(const std::string& bytes, Screen& screen, Surface& out) {
    StateIn in(bytes);
    const int32_t w = in.i32(), h = in.i32();
    const uint8_t mode = in.u8() & ~kFilePicture;
    const std::string name = in.str();
    const bool transparent = in.flag(), translucent = in.flag();
    const uint64_t hash = in.u64();
    return in.done() && !name.empty() && screen.readImage(out, name, transparent, translucent) &&
           out.width() == w && out.height() == h && static_cast<uint8_t>(out.alphaMode()) == mode &&
           hashPicture(out) == hash;
}

bool sameFile(const std::string& bytes, const Layer& l) {
    StateIn in(std::string_view(bytes).substr(kPictureHead));
    const std::string name = in.str();
    const bool transparent = in.flag(), translucent = in.flag();
    return in.ok() && name == l.fileName && transparent == l.transparent &&
           translucent == l.translucent;
}

std::string encodePicture(const Surface& g, bool raw) {
    const size_t n = static_cast<size_t>(g.width()) * static_cast<size_t>(g.height());
    std::string bytes = pictureHead(g, raw ? kRawPicture : 0);
    std::string plain;
    std::string& pixels = raw ? bytes : plain;
    const size_t at0 = pixels.size();
    pixels.resize(at0 + n * 4 + (g.hasMask() ? n : 0));
    char* at = pixels.data() + at0;
    for (int32_t y = 0; y < g.height(); ++y) {
        const uint32_t* row = g.row(y);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(at, row, static_cast<size_t>(g.width()) * 4);
            at += static_cast<size_t>(g.width()) * 4;
        } else {
            for (const uint32_t* p = row; p != row + g.width(); ++p)
                for (int i = 0; i < 4; ++i) *at++ = static_cast<char>(*p >> (8 * i));
        }
    }
    for (int32_t y = 0; g.hasMask() && y < g.height(); ++y, at += g.width())
        std::memcpy(at, g.maskRow(y), static_cast<size_t>(g.width()));
    if (raw) return bytes;
    uLongf packed = compressBound(static_cast<uLong>(plain.size()));
    bytes.resize(kPictureHead + packed);
    if (compress2(reinterpret_cast<Bytef*>(bytes.data() + kPictureHead), &packed,
                  reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()),
                  Z_BEST_SPEED) != Z_OK)
        return {};
    bytes.resize(kPictureHead + packed);
    return bytes;
}

bool deflatedPicture(std::string_view bytes) {
    return bytes.size() > kPictureHead && !(static_cast<uint8_t>(bytes[8]) & kRawPicture);
}

bool decodePicture(const std::string* bytes, Picture& picture) {
    if (!bytes) return false;
    StateIn in(*bytes);
    const int32_t w = in.i32(), h = in.i32();
    const uint8_t stored = in.u8();
    const bool raw = stored & kRawPicture;
    const uint8_t mode = stored & ~kRawPicture;
    const bool masked = mode == static_cast<uint8_t>(AlphaMode::Mask) ||
                        mode == static_cast<uint8_t>(AlphaMode::Alpha);
    if (!in.ok() || (mode != 0 && !masked) || w < 0 || h < 0 ||
        (w * int64_t{h} > 0 && !pictureSizeAllowed(w, h)))
        return false;
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    const size_t size = n * 4 + (masked ? n : 0);
    const std::string_view stream = std::string_view(*bytes).substr(kPictureHead);
    std::string inflated;
    std::string_view plain = stream;
    if (raw) {
        if (stream.size() != size) return false;
    } else {
        // Deflate packs at most about 1032 to 1: a larger claim is damage, refused before the
        // picture is allocated.
        if (n * 5 > stream.size() * 1032 + 1024) return false;
        inflated.resize(size);
        uLongf length = static_cast<uLongf>(size);
        if (uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length,
                       reinterpret_cast<const Bytef*>(stream.data()),
                       static_cast<uLong>(stream.size())) != Z_OK ||
            length != size)
            return false;
        plain = inflated;
    }
    picture.width = w;
    picture.height = h;
    picture.alphaMode = static_cast<AlphaMode>(mode);
    picture.pixels.resize(n);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(picture.pixels.data(), plain.data(), n * 4);
        for (uint32_t& p : picture.pixels) p &= 0xFFFFFFu;
    } else {
        for (size_t i = 0; i < n; ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(plain.data()) + i * 4;
            picture.pixels[i] = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
        }
    }
    picture.mask.assign(plain.begin() + static_cast<std::ptrdiff_t>(n * 4), plain.end());
    return true;
}

bool holdsPicture(const SnapshotPictures* shared, const Surface& current,
                  const std::shared_ptr<const std::string>* entry) {
    if (!shared || !entry) return false;
    const auto* kept = shared->find(current.stamp());
    return kept && kept->get() == entry->get();
}

bool decodeScreenPicture(const std::shared_ptr<const std::string>* entry, const Surface& current,
                         const LayerStack& stack, const SnapshotPictures* shared, bool& keep,
                         Picture& picture) {
    keep = holdsPicture(shared, current, entry);
    if (keep) return true;
    return entry && decodePicture(entry->get(), picture) && picture.width == stack.width() &&
           picture.height == stack.height() && picture.alphaMode == AlphaMode::None;
}

bool isMark(const std::shared_ptr<const std::string>* entry, uint8_t mark, const LayerStack& stack,
            std::vector<int32_t>* hidden) {
    if (!entry || keptBy(**entry) != mark) return false;
    StateIn in(**entry);
    const int32_t w = in.i32(), h = in.i32();
    if (in.u8() != mark || w != stack.width() || h != stack.height()) return false;
    if (hidden) {
        hidden->resize(in.count(4));
        for (int32_t& i : *hidden)
            if (i = in.i32(); i < 0 || i >= stack.layerCount()) return false;
    }
    return in.done();
}

const std::shared_ptr<const std::string>* SnapshotPictures::find(uint64_t stamp) const {
    auto found = now_.find(stamp);
    return found != now_.end() ? &found->second : nullptr;
}

void SnapshotPictures::keep(uint64_t stamp, std::shared_ptr<const std::string> bytes) {
    next_[stamp] = std::move(bytes);
}

void SnapshotPictures::settle() {
    now_ = std::move(next_);
    next_.clear();
}

void SnapshotPictures::clear() {
    now_.clear();
    next_.clear();
}

std::string encodeStatePicture(const Surface& picture) {
    return encodePicture(picture, false);
}

bool decodeStatePicture(const std::string* bytes, Picture& picture) {
    return decodePicture(bytes, picture);
}

}  // namespace zarvo
