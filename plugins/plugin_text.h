/* GetPluginInfo's copying of one text, shared by the plug-ins built here. */
#ifndef ZARVO_PLUGIN_TEXT_H
#define ZARVO_PLUGIN_TEXT_H

#include <string.h>

static int zarvoPluginText(const char* const* texts, int count, int infoNo, char* buf, int bufLen) {
    if (infoNo < 0 || infoNo >= count || !buf || bufLen <= 0) return 0;
    size_t n = strlen(texts[infoNo]);
    if (n > (size_t)bufLen - 1) n = (size_t)bufLen - 1;
    memcpy(buf, texts[infoNo], n);
    buf[n] = '\0';
    return (int)n;
}

#endif
