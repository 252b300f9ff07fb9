#include "builtin_decoders.hpp"

#include "formats/image_plugin_host.hpp"
#include "zarvo_image_plugin.h"

extern "C" {
int zarvoJpegGetPluginInfo(int infoNo, char* buf, int bufLen);
int zarvoJpegIsSupported(const char* fileName, const void* head);
int zarvoJpegGetPicture(const char* buf, long len, unsigned int flag, void** info, void** bits,
                        ZarvoProgressCallback progress, intptr_t user);
int zarvoGifGetPluginInfo(int infoNo, char* buf, int bufLen);
int zarvoGifIsSupported(const char* fileName, const void* head);
int zarvoGifGetPicture(const char* buf, long len, unsigned int flag, void** info, void** bits,
                       ZarvoProgressCallback progress, intptr_t user);
}

namespace zarvo {

void registerBuiltInDecoders() {
    ImagePluginHost::registerBuiltIn(
        {"jpeg", zarvoJpegGetPluginInfo, zarvoJpegIsSupported, zarvoJpegGetPicture});
    ImagePluginHost::registerBuiltIn(
        {"gif", zarvoGifGetPluginInfo, zarvoGifIsSupported, zarvoGifGetPicture});
}

}  // namespace zarvo
