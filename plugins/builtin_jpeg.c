/* jpeg.spi linked into the program: its entry points under names of their own. */
#define GetPluginInfo zarvoJpegGetPluginInfo
#define IsSupported zarvoJpegIsSupported
#define GetPicture zarvoJpegGetPicture
#include "jpeg_plugin.c"
