#include "formats/image_plugin_host.hpp"

#include <dlfcn.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "formats/bmp.hpp"
#include "platform/file_system.hpp"

namespace zarvo {
namespace {

constexpr size_t kHeadSize = 2048;  // what a plug-in may read in IsSupported
constexpr size_t kInfoText = 256;

uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void wr32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> 8 * i);
}

char foldAscii(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// "*" and "?" against a file name, ASCII letters in either case.
bool matchPattern(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || foldAscii(pattern[p]) == foldAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string infoText(ImagePluginHost::GetPluginInfoFn fn, int number) {
    std::array<char, kInfoText> buf{};
    fn(number, buf.data(), int(kInfoText - 1));
    buf.back() = '\0';  // whatever the plug-in wrote
    return std::string(buf.data());
}

std::vector<ImagePluginHost::BuiltInDecoder>& builtInDecoders() {
    static std::vector<ImagePluginHost::BuiltInDecoder> decoders;
    return decoders;
}

struct FreeBlock {
    void operator()(void* p) const { std::free(p); }
};
using Block = std::unique_ptr<void, FreeBlock>;

}  // namespace

ImagePluginHost::~ImagePluginHost() {
    closePlugIn();
}

int ImagePluginHost::openPlugIn(const platform::FileSystem& files, const std::string& mask) {
    const size_t slash = mask.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : mask.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);

    std::vector<std::string> listed, names;
    files.listDirectory(dir, listed);
    for (const std::string& name : listed) {
        if (name.empty() || name[0] == '.' || !matchPattern(pattern, name)) continue;
        if (files.exists(platform::joinPath(dir, name))) names.push_back(name);
    }
    // Directory order differs between file systems; name order makes the choice repeatable.
    std::sort(names.begin(), names.end());

    int added = 0;
    for (const std::string& name : names) {
        std::string path = platform::joinPath(dir, name);
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
        if (checkPlug(path) == 0) continue;
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) continue;
        auto plugin = std::make_unique<PlugIn>();
        plugin->module = module;
        plugin->path = path;
        plugin->getPluginInfo = reinterpret_cast<GetPluginInfoFn>(::dlsym(module, "GetPluginInfo"));
        plugin->isSupported = reinterpret_cast<IsSupportedFn>(::dlsym(module, "IsSupported"));
        plugin->getPicture = reinterpret_cast<GetPictureFn>(::dlsym(module, "GetPicture"));
        if (adopt(std::move(plugin)))
            ++added;
        else
            ::dlclose(module);
    }
    for (const BuiltInDecoder& decoder : builtInDecoders()) {
        auto plugin = std::make_unique<PlugIn>();
        plugin->path = "built-in:" + decoder.name;
        if (checkPlug(plugin->path) == 0) continue;
        plugin->getPluginInfo = decoder.getPluginInfo;
        plugin->isSupported = decoder.isSupported;
        plugin->getPicture = decoder.getPicture;
        if (adopt(std::move(plugin))) ++added;
    }
    return added;
}

bool ImagePluginHost::adopt(std::unique_ptr<PlugIn> plugin) {
    if (plugin->getPluginInfo) {
        plugin->apiVersion = infoText(plugin->getPluginInfo, 0);
        plugin->name = infoText(plugin->getPluginInfo, 1);
        plugin->description = infoText(plugin->getPluginInfo, 3);
        plugin->filter = infoText(plugin->getPluginInfo, 2);
        for (char& c : plugin->filter) c = foldAscii(c);
    }
    // Without both decoding entry points a plug-in could only crash the player later.
    if (!plugin->getPluginInfo || plugin->apiVersion != "00IN" || !plugin->isSupported ||
        !plugin->getPicture)
        return false;
    plugins_.push_back(std::move(plugin));
    return true;
}

void ImagePluginHost::registerBuiltIn(const BuiltInDecoder& decoder) {
    auto& all = builtInDecoders();
    for (const auto& known : all)
        if (known.name == decoder.name) return;
    all.push_back(decoder);
}

bool ImagePluginHost::closePlugIn() {
    for (auto& plugin : plugins_)
        if (plugin->module) ::dlclose(plugin->module);
    plugins_.clear();
    return true;
}

int ImagePluginHost::checkPlug(const std::string& path) const {
    for (const auto& plugin : plugins_)
        if (plugin->path == path) return 0;
    return -1;
}

const ImagePluginHost::PlugIn* ImagePluginHost::getPlugInInfo(int index) const {
    if (index < 0 || index >= getPlugNum()) return nullptr;
    return plugins_[size_t(index)].get();
}

int ImagePluginHost::progressCallback(int num, int denom, intptr_t self) {
    auto* host = reinterpret_cast<ImagePluginHost*>(self);
    if (host && host->OnProgress) host->OnProgress(num, denom);
    return 0;
}

bool ImagePluginHost::loadFromMemory(const void* data, size_t size, Picture& out) {
    if (!data || plugins_.empty() || size > size_t(LONG_MAX)) return false;
    const char* bytes = static_cast<const char*>(data);
    // Plug-ins look at a fixed-size head; a shorter picture must not make them read past it.
    std::array<char, kHeadSize> padded{};
    const char* head = bytes;
    if (size < kHeadSize) {
        std::memcpy(padded.data(), bytes, size);
        head = padded.data();
    }
    // A picture too large for memory is a failed load like any other.
    try {
        for (const auto& plugin : plugins_) {
            if (plugin->isSupported(nullptr, head) && decodeWith(*plugin, bytes, size, out))
                return true;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

bool ImagePluginHost::decodeWith(const PlugIn& plugin, const char* data, size_t size,
                                 Picture& out) {
    void* infoRaw = nullptr;
    void* bitsRaw = nullptr;
    const int result = plugin.getPicture(data, long(size), 1, &infoRaw, &bitsRaw,
                                         &ImagePluginHost::progressCallback, intptr_t(this));
    if (result != 0) return false;  // nothing was handed over
    Block infoBlock(infoRaw), bitsBlock(bitsRaw);
    if (!infoRaw || !bitsRaw) return false;

    // The blocks come from malloc, so their usable sizes bound what the header may claim.
    const size_t infoAvail = ::malloc_usable_size(infoRaw);
    const size_t bitsAvail = ::malloc_usable_size(bitsRaw);
    const auto* info = static_cast<const uint8_t*>(infoRaw);
    if (infoAvail < 40) return false;
    const uint32_t headerSize = rd32(info);
    const int64_t width = int32_t(rd32(info + 4));
    int64_t height = int32_t(rd32(info + 8));
    const uint32_t bitCount = uint32_t(info[14] | info[15] << 8);
    const uint32_t compression = rd32(info + 16);
    const uint32_t sizeImage = rd32(info + 20);
    const uint32_t clrUsed = rd32(info + 32);
    if (height < 0) height = -height;
    if (headerSize < 40 || headerSize > 124 || !pictureSizeAllowed(width, height) ||
        bitCount == 0 || bitCount > 32 || clrUsed > 256)
        return false;

    uint64_t infoBytes = headerSize;
    if (headerSize == 40 && compression == kBmpBitfields) infoBytes += 12;
    if (headerSize == 40 && compression == kBmpAlphaBitfields) infoBytes += 16;
    infoBytes += 4 * uint64_t(clrUsed ? clrUsed : bitCount <= 8 ? 1u << bitCount : 0);
    uint64_t bitsBytes;
    if (compression == kBmpRle8 || compression == kBmpRle4)
        bitsBytes = sizeImage;
    else
        bitsBytes = (uint64_t(width) * bitCount + 31) / 32 * 4 * uint64_t(height);
    if (bitsBytes == 0 || infoBytes > infoAvail || bitsBytes > bitsAvail) return false;

    // The blocks make a BMP file once a file header is put in front of them.
    std::string bmp(14 + infoBytes + bitsBytes, '\0');
    auto* b = reinterpret_cast<uint8_t*>(bmp.data());
    b[0] = 'B';
    b[1] = 'M';
    wr32(b + 2, uint32_t(std::min<uint64_t>(bmp.size(), UINT32_MAX)));
    wr32(b + 10, uint32_t(14 + infoBytes));
    std::memcpy(b + 14, infoRaw, infoBytes);
    std::memcpy(b + 14 + infoBytes, bitsRaw, bitsBytes);
    return decodeBmp(bmp, out);
}

}  // namespace zarvo
