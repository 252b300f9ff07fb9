// The host of image plug-ins: shared objects "*.spi" that decode further picture formats into a
// device-independent bitmap (see plugins/zarvo_image_plugin.h for what a plug-in provides).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/picture.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
}

class ImagePluginHost {
  public:
    using GetPluginInfoFn = int (*)(int, char*, int);
    using IsSupportedFn = int (*)(const char*, const void*);
    using ProgressFn = int (*)(int, int, intptr_t);
    using GetPictureFn = int (*)(const char*, long, unsigned int, void**, void**, ProgressFn,
                                 intptr_t);

    struct PlugIn {
        void* module = nullptr;  // dlopen handle; null for a built-in decoder
        // Full path, symbolic links and "." / ".." resolved; "built-in:NAME" for a built-in.
        std::string path;
        std::string apiVersion;
        std::string name;
        std::string filter;  // upper-cased
        std::string description;
        GetPluginInfoFn getPluginInfo = nullptr;
        IsSupportedFn isSupported = nullptr;
        GetPictureFn getPicture = nullptr;
    };

    // A decoder linked into the program, with the three entry points of a plug-in.
    struct BuiltInDecoder {
        std::string name;
        GetPluginInfoFn getPluginInfo = nullptr;
        IsSupportedFn isSupported = nullptr;
        GetPictureFn getPicture = nullptr;
    };
    // Offered by every host after the plug-ins it loads, from its next openPlugIn on: the
    // program registers them at its start where plug-ins cannot be loaded. A name already
    // registered is kept as it was.
    static void registerBuiltIn(const BuiltInDecoder& decoder);

    // Folder plus the file pattern the player uses for its plug-ins.
    static constexpr std::string_view kPattern = "*.spi";

    ImagePluginHost() = default;
    ~ImagePluginHost();
    ImagePluginHost(const ImagePluginHost&) = delete;
    ImagePluginHost& operator=(const ImagePluginHost&) = delete;

    // Loads the plug-ins matching `mask` (listed through `files`), a folder and a file pattern with
    // "*" and "?" compared without regard to the case of ASCII letters (e.g.
    // "/opt/zarvoplay/*.spi"), in the byte order of their names. Hidden files, folders, objects
    // that do not load, plug-ins without GetPluginInfo or of another API version than "00IN", and
    // files already loaded are skipped. The built-in decoders not yet added follow. Returns how
    // many were added.
    int openPlugIn(const platform::FileSystem& files, const std::string& mask);
    // Unloads every plug-in. Always true.
    bool closePlugIn();
    // 0 when a plug-in with exactly this full path is loaded, else -1.
    int checkPlug(const std::string& path) const;
    int getPlugNum() const { return int(plugins_.size()); }
    // Null outside 0 .. getPlugNum() - 1.
    const PlugIn* getPlugInInfo(int index) const;

    // Decodes with the first plug-in that claims the data and succeeds. On failure `out` is
    // left as it was.
    bool loadFromMemory(const void* data, size_t size, Picture& out);
    bool loadFromStream(std::string_view bytes, Picture& out) {
        return loadFromMemory(bytes.data(), bytes.size(), out);
    }
    // Reads the whole file (host path) first.

    // Told of each plug-in's progress reports (numerator, denominator); may stay empty.
    std::function<void(int, int)> OnProgress;
    // Kept for the record: the player never loads plug-ins by itself.
    bool AutoSusie = false;

  private:
    static int progressCallback(int num, int denom, intptr_t self);
    bool decodeWith(const PlugIn& plugin, const char* data, size_t size, Picture& out);
    // Keeps a plug-in that reads pictures and has every entry point.
    bool adopt(std::unique_ptr<PlugIn> plugin);

    std::vector<std::unique_ptr<PlugIn>> plugins_;
};

}  // namespace zarvo
