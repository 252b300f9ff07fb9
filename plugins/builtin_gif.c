/* gif.spi linked into the program: its entry points under names of their own. */
#define GetPluginInfo zarvoGifGetPluginInfo
#define IsSupported zarvoGifIsSupported
#define GetPicture zarvoGifGetPicture
#include "gif_plugin.c"
