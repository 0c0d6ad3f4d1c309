/* Writes every message it gets, with its data, to the file named by the
 * environment variable KVC_RECORD; PROCESS inverts the area (honouring the
 * mask) so that a result shows. Its parameters are one of every kind, the
 * third hidden from Novice users. */
#include "kvc.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

KVC_DESCRIPTION("Ver=1.5\rName=Record\rOpt=WP\rHelp=record.md,7\r"
                "Par1=I,Int,0,100,7\rPar2=F,Float,2,0.5,0,10,2.5\rPar3=I2,Hidden,0,100000,1234\r"
                "Par4=B,Button\rPar5=C,Check,1\rPar6=S,Slider,0,50,20\rPar7=L,List,3,a,b,c,2,\r"
                "Par8=O,Colour,123456,\rPar9=P,Point,65535,32767\rPar10=G,Image,3\r");

static void Line(const char* text) {
    const char* path = getenv("KVC_RECORD");
    FILE* f = path ? fopen(path, "a") : NULL;
    if (!f) return;
    fputs(text, f);
    fputc('\n', f);
    fclose(f);
}

KVC_PROCESS(data, message) {
    char text[256];
    const KVCBLOCK* b = (const KVCBLOCK*)data;
    switch (message) {
    case KVCM_INIT:
        snprintf(text, sizeof text, "INIT %d %d", b->width, b->height);
        break;
    case KVCM_PARAMS: {
        const unsigned char* v = (const unsigned char*)data;
        int n = snprintf(text, sizeof text, "PARAMS ");
        for (int i = 0; i < 80; ++i) n += snprintf(text + n, sizeof text - (size_t)n, "%02x", v[i]);
        break;
    }
    case KVCM_BUTTON:
        snprintf(text, sizeof text, "BUTTON %d", *(const int32_t*)data);
        break;
    case KVCM_CLICK: {
        const KVCCLICK* c = (const KVCCLICK*)data;
        snprintf(text, sizeof text, "CLICK %d %d %d %d %d %d", c->x, c->y, c->width, c->height,
                 c->right, c->preview);
        break;
    }
    case KVCM_PROCESS:
        snprintf(text, sizeof text, "PROCESS %d %d %d %d masked=%d full=%d size=%dx%d", b->left,
                 b->top, b->right, b->bottom, b->masked, b->fullrun, b->width, b->height);
        /* While the file KVC_RECORD_WAIT names exists, a full run inverts
         * the area's first row and then waits for Stop (at most 5 s). */
        if (b->fullrun && getenv("KVC_RECORD_WAIT") &&
            access(getenv("KVC_RECORD_WAIT"), F_OK) == 0) {
            int i = 0;
            for (int x = b->left; x <= b->right; ++x)
                b->dest[(size_t)b->top * (size_t)b->width + (size_t)x] =
                    ~b->source[(size_t)b->top * (size_t)b->width + (size_t)x] & 0xFFFFFFu;
            while (!KVCSend(b, KVCH_PROGRESS, 0, 0) && i++ < 500) usleep(10000);
            Line(text);
            return 0;
        }
        for (int y = b->top; y <= b->bottom; ++y)
            for (int x = b->left; x <= b->right; ++x) {
                const uint32_t s = b->source[(size_t)y * (size_t)b->width + (size_t)x];
                if (!b->masked || (s & 0x01000000u))
                    b->dest[(size_t)y * (size_t)b->width + (size_t)x] = ~s & 0xFFFFFFu;
            }
        break;
    case KVCM_CLOSE:
        snprintf(text, sizeof text, "CLOSE");
        break;
    default:
        snprintf(text, sizeof text, "UNKNOWN %u", message);
    }
    Line(text);
    return 0;
}
