/* jpeg.spi: JPEG pictures through libjpeg-turbo, as 24-bit bottom-up rows. */
#include <stdlib.h>
#include <string.h>
#include <turbojpeg.h>

#include "plugin_text.h"
#include "zarvo_image_plugin.h"

ZARVO_PLUGIN_EXPORT int GetPluginInfo(int infoNo, char* buf, int bufLen) {
    static const char* const texts[] = {
        ZARVO_PLUGIN_API_VERSION,
        "zarvoplay JPEG plug-in 1.0 (libjpeg-turbo)",
        "*.jpg;*.jpeg;*.jpe;*.jfif",
        "JPEG pictures",
    };
    return zarvoPluginText(texts, 4, infoNo, buf, bufLen);
}

ZARVO_PLUGIN_EXPORT int IsSupported(const char* fileName, const void* head) {
    (void)fileName;
    const unsigned char* p = (const unsigned char*)head;
    /* Start of image, followed by the first marker. */
    return p && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

ZARVO_PLUGIN_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** info,
                                   void** bits, ZarvoProgressCallback progress, intptr_t user) {
    if ((flag & 7) != ZARVO_PLUGIN_INPUT_MEMORY) return ZARVO_PLUGIN_NOT_IMPLEMENTED;
    if (!buf || len <= 0 || !info || !bits) return ZARVO_PLUGIN_BROKEN_DATA;
    tjhandle tj = tjInitDecompress();
    if (!tj) return ZARVO_PLUGIN_NO_MEMORY;

    int result = ZARVO_PLUGIN_BROKEN_DATA;
    ZarvoBitmapInfoHeader* header = NULL;
    unsigned char* rows = NULL;
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    const unsigned char* jpeg = (const unsigned char*)buf;
    if (tjDecompressHeader3(tj, jpeg, (unsigned long)len, &width, &height, &subsamp, &colorspace) !=
        0)
        goto done;
    if (width <= 0 || height <= 0 || width > ZARVO_PLUGIN_MAX_SIDE ||
        height > ZARVO_PLUGIN_MAX_SIDE || (long)width * height > ZARVO_PLUGIN_MAX_PIXELS)
        goto done;

    const size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    header = calloc(1, sizeof *header);
    rows = calloc((size_t)height, stride); /* padding and undecodable parts stay defined */
    if (!header || !rows) {
        result = ZARVO_PLUGIN_NO_MEMORY;
        goto done;
    }
    if (progress && progress(0, height, user)) {
        result = ZARVO_PLUGIN_CANCELLED;
        goto done;
    }
    if (tjDecompress2(tj, jpeg, (unsigned long)len, rows, width, (int)stride, height, TJPF_BGR,
                      TJFLAG_BOTTOMUP) != 0 &&
        tjGetErrorCode(tj) != TJERR_WARNING) /* a damaged tail still shows what was decoded */
        goto done;
    if (progress && progress(height, height, user)) {
        result = ZARVO_PLUGIN_CANCELLED;
        goto done;
    }

    header->biSize = sizeof *header;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = (uint32_t)(stride * (size_t)height);
    *info = header;
    *bits = rows;
    header = NULL;
    rows = NULL;
    result = ZARVO_PLUGIN_OK;
done:
    free(header);
    free(rows);
    tjDestroy(tj);
    return result;
}
