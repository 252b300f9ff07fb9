/*
 * Image plug-ins for zarvoplay.
 *
 * A plug-in is a shared object whose file name ends in ".spi" (any letter case), placed in the
 * player's folder. The player loads the plug-ins (dlopen) the first time it meets a picture
 * that is not BMP or PNG, in the byte order of their file names, and asks each in turn whether
 * it reads the picture; the first one that claims it and decodes it wins, and a plug-in that
 * claims a picture but fails to decode it is passed over.
 *
 * A plug-in exports three functions with C linkage under exactly these names (compile with
 * -fvisibility=hidden and mark them ZARVO_PLUGIN_EXPORT):
 *
 *   GetPluginInfo  what the plug-in is;
 *   IsSupported    whether it reads a picture, from its first bytes;
 *   GetPicture     decodes a picture held in memory.
 *
 * They are called from one thread at a time.
 */
#ifndef ZARVO_IMAGE_PLUGIN_H
#define ZARVO_IMAGE_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZARVO_PLUGIN_EXPORT __attribute__((visibility("default")))

/* Info number 0 of a picture-reading plug-in. The player keeps no plug-in of another kind. */
#define ZARVO_PLUGIN_API_VERSION "00IN"

/* IsSupported always sees at least this many bytes; shorter pictures are padded with zeros. */
#define ZARVO_PLUGIN_HEAD_SIZE 2048

/* The player refuses larger pictures (more pixels a side, or more in all); a plug-in should
 * refuse them before allocating. */
#define ZARVO_PLUGIN_MAX_SIDE 16384
#define ZARVO_PLUGIN_MAX_PIXELS (1L << 26)

/* Results of GetPicture. */
#define ZARVO_PLUGIN_NOT_IMPLEMENTED (-1) /* e.g. an input kind it does not take */
#define ZARVO_PLUGIN_OK 0
#define ZARVO_PLUGIN_CANCELLED 1 /* the progress callback asked to stop */
#define ZARVO_PLUGIN_UNKNOWN_FORMAT 2
#define ZARVO_PLUGIN_BROKEN_DATA 3
#define ZARVO_PLUGIN_NO_MEMORY 4

/* Input kind of GetPicture: the player always passes the picture in memory. */
#define ZARVO_PLUGIN_INPUT_MEMORY 1

/*
 * The Windows BITMAPINFOHEADER, little-endian, 40 bytes, no padding. biHeight > 0 means rows
 * bottom-up, < 0 top-down (uncompressed only).
 */
typedef struct ZarvoBitmapInfoHeader {
    uint32_t biSize; /* 40 (larger BMP information headers are accepted too) */
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;      /* 1 */
    uint16_t biBitCount;    /* 1, 4, 8, 16, 24 or 32 */
    uint32_t biCompression; /* 0 none, 1 RLE8, 2 RLE4, 3 colour masks */
    uint32_t biSizeImage;   /* bytes of the bits block; required for RLE */
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed; /* colour table entries; 0 = all (2^biBitCount) for 8 bits and fewer */
    uint32_t biClrImportant;
} ZarvoBitmapInfoHeader;

/* One colour table entry. */
typedef struct ZarvoRgbQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved; /* 0 */
} ZarvoRgbQuad;

/*
 * Called by a plug-in now and then while it decodes: `num` of `denom` done. Returns non-zero
 * when the plug-in should stop (it then returns ZARVO_PLUGIN_CANCELLED). The player never asks
 * to stop. `user` is GetPicture's `user`, passed back unchanged.
 */
typedef int (*ZarvoProgressCallback)(int num, int denom, intptr_t user);

/*
 * Writes information text `infoNo` into `buf` (at most `bufLen` bytes, NUL included) and
 * returns its length without the NUL, or 0 when there is no such text:
 *   0  the API version, ZARVO_PLUGIN_API_VERSION;
 *   1  the plug-in's name and version;
 *   2  the file name patterns it reads, e.g. "*.jpg;*.jpeg" (2 * n: patterns, 2 * n + 1:
 *      their description, for more kinds);
 *   3  a description of the formats.
 * The player always offers a 256-byte buffer with bufLen 255.
 */
typedef int (*ZarvoGetPluginInfo)(int infoNo, char* buf, int bufLen);

/*
 * Non-zero when the plug-in reads the picture whose first bytes are at `head`. `fileName` is
 * the picture's name or NULL (the player passes NULL). `head` holds at least
 * ZARVO_PLUGIN_HEAD_SIZE readable bytes.
 */
typedef int (*ZarvoIsSupported)(const char* fileName, const void* head);

/*
 * Decodes the picture of `len` bytes at `buf` (flag == ZARVO_PLUGIN_INPUT_MEMORY).
 *
 * On success returns ZARVO_PLUGIN_OK and hands over two blocks, both allocated with the C
 * library's malloc (or calloc, realloc); the player owns them from then on and releases them
 * with free():
 *   *info  a ZarvoBitmapInfoHeader, followed by the three colour masks when biCompression is 3
 *          and biSize is 40, followed by the colour table (biClrUsed entries, or 2^biBitCount
 *          when that is 0 and biBitCount is 8 or less);
 *   *bits  the pixel rows as a BMP file stores them: each row padded to a multiple of 4 bytes,
 *          or the RLE data of biSizeImage bytes.
 * The player checks that each block is as large as its header says and refuses the picture
 * otherwise. On failure returns another ZARVO_PLUGIN_ value and leaves nothing allocated; the
 * player does not look at *info and *bits then.
 */
typedef int (*ZarvoGetPicture)(const char* buf, long len, unsigned int flag, void** info,
                               void** bits, ZarvoProgressCallback progress, intptr_t user);

#ifdef __cplusplus
}
#endif

#endif /* ZARVO_IMAGE_PLUGIN_H */
