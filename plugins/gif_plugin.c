/* gif.spi: the first frame of a GIF picture through giflib, as 8-bit bottom-up rows on the
 * logical screen, the rest of the screen in the background colour. */
#include <gif_lib.h>
#include <stdlib.h>
#include <string.h>

#include "plugin_text.h"
#include "zarvo_image_plugin.h"

ZARVO_PLUGIN_EXPORT int GetPluginInfo(int infoNo, char* buf, int bufLen) {
    static const char* const texts[] = {
        ZARVO_PLUGIN_API_VERSION,
        "zarvoplay GIF plug-in 1.0 (giflib)",
        "*.gif",
        "GIF pictures (first frame)",
    };
    return zarvoPluginText(texts, 4, infoNo, buf, bufLen);
}

ZARVO_PLUGIN_EXPORT int IsSupported(const char* fileName, const void* head) {
    (void)fileName;
    const char* p = (const char*)head;
    return p && (memcmp(p, "GIF87a", 6) == 0 || memcmp(p, "GIF89a", 6) == 0);
}

typedef struct Reader {
    const unsigned char* next;
    long left;
} Reader;

static int readBytes(GifFileType* gif, GifByteType* out, int count) {
    Reader* r = (Reader*)gif->UserData;
    if (count < 0) return 0;
    if (count > r->left) count = (int)r->left;
    memcpy(out, r->next, (size_t)count);
    r->next += count;
    r->left -= count;
    return count;
}

/* Reads the first image's rows into the canvas (top row first), clipped to it. */
static int readFirstImage(GifFileType* gif, unsigned char* canvas, int cw, int ch) {
    const GifImageDesc* d = &gif->Image;
    if (d->Width <= 0 || d->Height <= 0 || d->Width > ZARVO_PLUGIN_MAX_SIDE) return 0;
    GifPixelType* line = malloc((size_t)d->Width);
    if (!line) return 0;
    /* Interlaced images come in four passes over the rows. */
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    const int passes = d->Interlace ? 4 : 1;
    int ok = 1;
    for (int pass = 0; pass < passes && ok; ++pass) {
        const int first = d->Interlace ? start[pass] : 0, by = d->Interlace ? step[pass] : 1;
        for (int y = first; y < d->Height; y += by) {
            if (DGifGetLine(gif, line, d->Width) == GIF_ERROR) {
                ok = 0;
                break;
            }
            const int cy = d->Top + y;
            if (cy >= ch) continue;
            for (int x = 0; x < d->Width && d->Left + x < cw; ++x)
                canvas[(size_t)cy * (size_t)cw + (size_t)(d->Left + x)] = line[x];
        }
    }
    free(line);
    return ok;
}

ZARVO_PLUGIN_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** info,
                                   void** bits, ZarvoProgressCallback progress, intptr_t user) {
    if ((flag & 7) != ZARVO_PLUGIN_INPUT_MEMORY) return ZARVO_PLUGIN_NOT_IMPLEMENTED;
    if (!buf || len <= 0 || !info || !bits) return ZARVO_PLUGIN_BROKEN_DATA;
    Reader reader = {(const unsigned char*)buf, len};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readBytes, &error);
    if (!gif) return ZARVO_PLUGIN_UNKNOWN_FORMAT;

    int result = ZARVO_PLUGIN_BROKEN_DATA;
    unsigned char* canvas = NULL;
    unsigned char* header = NULL;
    unsigned char* rows = NULL;
    int cw = 0, ch = 0;
    const ColorMapObject* colours = NULL;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) goto done;
        if (type == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* ext;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) goto done;
            while (ext)
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) goto done;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) goto done;
        const GifImageDesc* d = &gif->Image;
        /* A screen of no size takes the frame's. */
        cw = gif->SWidth > 0 ? gif->SWidth : d->Left + d->Width;
        ch = gif->SHeight > 0 ? gif->SHeight : d->Top + d->Height;
        if (cw <= 0 || ch <= 0 || cw > ZARVO_PLUGIN_MAX_SIDE || ch > ZARVO_PLUGIN_MAX_SIDE ||
            (long)cw * ch > ZARVO_PLUGIN_MAX_PIXELS)
            goto done;
        canvas = malloc((size_t)cw * (size_t)ch);
        if (!canvas) {
            result = ZARVO_PLUGIN_NO_MEMORY;
            goto done;
        }
        memset(canvas, gif->SBackGroundColor, (size_t)cw * (size_t)ch);
        if (progress && progress(0, ch, user)) {
            result = ZARVO_PLUGIN_CANCELLED;
            goto done;
        }
        if (!readFirstImage(gif, canvas, cw, ch)) goto done;
        colours = d->ColorMap ? d->ColorMap : gif->SColorMap;
        break;
    }

    const size_t stride = ((size_t)cw + 3) & ~(size_t)3;
    header = calloc(1, sizeof(ZarvoBitmapInfoHeader) + 256 * sizeof(ZarvoRgbQuad));
    rows = calloc((size_t)ch, stride);
    if (!header || !rows) {
        result = ZARVO_PLUGIN_NO_MEMORY;
        goto done;
    }
    ZarvoBitmapInfoHeader* h = (ZarvoBitmapInfoHeader*)header;
    h->biSize = sizeof *h;
    h->biWidth = cw;
    h->biHeight = ch;
    h->biPlanes = 1;
    h->biBitCount = 8;
    h->biSizeImage = (uint32_t)(stride * (size_t)ch);
    h->biClrUsed = 256;
    ZarvoRgbQuad* table = (ZarvoRgbQuad*)(header + sizeof *h);
    for (int i = 0; i < 256; ++i) {
        if (colours && i < colours->ColorCount) {
            table[i].rgbRed = colours->Colors[i].Red;
            table[i].rgbGreen = colours->Colors[i].Green;
            table[i].rgbBlue = colours->Colors[i].Blue;
        } else if (!colours) { /* no colour map at all: a grey ramp */
            table[i].rgbRed = table[i].rgbGreen = table[i].rgbBlue = (uint8_t)i;
        }
    }
    for (int y = 0; y < ch; ++y)
        memcpy(rows + (size_t)(ch - 1 - y) * stride, canvas + (size_t)y * (size_t)cw, (size_t)cw);
    if (progress && progress(ch, ch, user)) {
        result = ZARVO_PLUGIN_CANCELLED;
        goto done;
    }
    *info = header;
    *bits = rows;
    header = NULL;
    rows = NULL;
    result = ZARVO_PLUGIN_OK;
done:
    free(canvas);
    free(header);
    free(rows);
    DGifCloseFile(gif, &error);
    return result;
}
