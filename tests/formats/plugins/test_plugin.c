/* One small image plug-in, built several times with different behaviour, for the host's tests.
 * It reads "pictures" that begin with "TSTPIC" and always gives the same 3 x 2 picture of
 * 8-bit indices whose first colour is PLUGIN_COLOUR. */
#include <stdlib.h>
#include <string.h>

#include "zarvo_image_plugin.h"

#ifndef PLUGIN_API
#define PLUGIN_API ZARVO_PLUGIN_API_VERSION
#endif
#ifndef PLUGIN_COLOUR
#define PLUGIN_COLOUR 0x000000
#endif
#ifndef PLUGIN_KIND
#define PLUGIN_KIND 0
#endif
/* Kinds */
#define KIND_GOOD 0
#define KIND_FAILS 1      /* claims the picture, then fails to decode it */
#define KIND_HUGE 2       /* claims an absurd width */
#define KIND_SHORT_BITS 3 /* claims more rows than its bits block holds */
#define KIND_NO_BLOCK 4   /* reports success without a bits block */

#ifndef PLUGIN_NO_INFO
ZARVO_PLUGIN_EXPORT int GetPluginInfo(int infoNo, char* buf, int bufLen) {
    const char* text = infoNo == 0   ? PLUGIN_API
                       : infoNo == 1 ? "test plug-in"
                       : infoNo == 2 ? "*.tst;*.Tpic"
                       : infoNo == 3 ? "test pictures"
                                     : "";
    strncpy(buf, text, (size_t)bufLen);
    return (int)strlen(text);
}
#endif

ZARVO_PLUGIN_EXPORT int IsSupported(const char* fileName, const void* head) {
    const unsigned char* p = (const unsigned char*)head;
    /* Looks at the whole head, as real plug-ins may: the host must hand over that much. */
    unsigned sum = 0;
    for (int i = 0; i < ZARVO_PLUGIN_HEAD_SIZE; ++i) sum += p[i];
    return fileName == NULL && sum != 0 && memcmp(p, "TSTPIC", 6) == 0;
}

ZARVO_PLUGIN_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** info,
                                   void** bits, ZarvoProgressCallback progress, intptr_t user) {
    if (flag != ZARVO_PLUGIN_INPUT_MEMORY || len < 6 || memcmp(buf, "TSTPIC", 6) != 0)
        return ZARVO_PLUGIN_UNKNOWN_FORMAT;
    if (PLUGIN_KIND == KIND_FAILS) return ZARVO_PLUGIN_BROKEN_DATA;
    if (progress && progress(1, 2, user)) return ZARVO_PLUGIN_CANCELLED;

    const size_t infoSize = sizeof(ZarvoBitmapInfoHeader) + 3 * sizeof(ZarvoRgbQuad);
    ZarvoBitmapInfoHeader* h = calloc(1, infoSize);
    unsigned char* rows = calloc(2, 4);
    h->biSize = sizeof *h;
    h->biWidth = PLUGIN_KIND == KIND_HUGE ? 1 << 20 : 3;
    h->biHeight = PLUGIN_KIND == KIND_SHORT_BITS ? 2000 : 2;
    h->biPlanes = 1;
    h->biBitCount = 8;
    h->biClrUsed = 3;
    ZarvoRgbQuad* table = (ZarvoRgbQuad*)(h + 1);
    const unsigned colours[3] = {PLUGIN_COLOUR, 0x112233, 0x445566};
    for (int i = 0; i < 3; ++i) {
        table[i].rgbRed = (uint8_t)(colours[i] >> 16);
        table[i].rgbGreen = (uint8_t)(colours[i] >> 8);
        table[i].rgbBlue = (uint8_t)colours[i];
    }
    /* Bottom-up, each row padded to 4 bytes: bottom row 2 1 0, top row 0 1 2. */
    rows[0] = 2, rows[1] = 1, rows[2] = 0;
    rows[4] = 0, rows[5] = 1, rows[6] = 2;
    *info = h;
    if (PLUGIN_KIND == KIND_NO_BLOCK) {
        free(rows);
        *bits = NULL;
    } else {
        *bits = rows;
    }
    return ZARVO_PLUGIN_OK;
}
