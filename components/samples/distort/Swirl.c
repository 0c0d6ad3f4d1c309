/* Swirl: turns each pixel about the centre by an angle that falls off
 * linearly to 0 at the radius; nearest source pixel. A click in the image
 * or in the preview moves the centre there. */
#include "../sample.h"

#include <math.h>

KVC_DESCRIPTION("Ver=1.5\rName=Swirl\rCopyright=Vellumatic samples\rOpt=WP\r"
                "Par1=P,Centre,32767,32767\rPar2=F,Angle,0,5,-720,720,90\r"
                "Par3=S,Radius %,1,100,50\r");

#pragma pack(push, 1)
static struct {
    uint16_t cx, cy;
    double angle;
    int32_t radius;
} v = {32767, 32767, 90, 50};
#pragma pack(pop)

static const KVCBLOCK* host;

static void Swirl(const KVCBLOCK* b) {
    const double cx = b->width > 1 ? v.cx * (b->width - 1) / 65535.0 : 0;
    const double cy = b->height > 1 ? v.cy * (b->height - 1) / 65535.0 : 0;
    const double side = b->width < b->height ? b->width : b->height;
    const double r = side * v.radius / 200.0;
    const double turn = v.angle * M_PI / 180;
    for (int y = b->top; y <= b->bottom; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        uint32_t* d = b->dest + (size_t)y * (size_t)b->width;
        for (int x = b->left; x <= b->right; ++x) {
            if (!KsSelected(b, s, x)) continue;
            const double dx = x - cx, dy = y - cy, dist = sqrt(dx * dx + dy * dy);
            if (dist >= r) {
                d[x] = s[x] & 0xFFFFFFu;
                continue;
            }
            const double a = turn * (1 - dist / r), c = cos(a), sn = sin(a);
            int sx = (int)floor(cx + dx * c - dy * sn + 0.5),
                sy = (int)floor(cy + dx * sn + dy * c + 0.5);
            sx = sx < 0 ? 0 : sx >= b->width ? b->width - 1 : sx;
            sy = sy < 0 ? 0 : sy >= b->height ? b->height - 1 : sy;
            d[x] = b->source[(size_t)sy * (size_t)b->width + (size_t)sx] & 0xFFFFFFu;
        }
        if (KsProgress(b, y)) break;
    }
}

KVC_PROCESS(data, message) {
    switch (message) {
    case KVCM_INIT:
        host = (const KVCBLOCK*)data;
        break;
    case KVCM_PARAMS:
        KsValues(&v, sizeof(v), data);
        break;
    case KVCM_CLICK: {
        /* The centre follows the click: the host sets the point and sends
         * the new values. */
        const KVCCLICK* c = (const KVCCLICK*)data;
        if (host) KVCSend(host, KVCH_SETPARAM, KVC_WPARAM(1, 0), ((intptr_t)c->x << 16) | c->y);
        break;
    }
    case KVCM_PROCESS:
        Swirl((const KVCBLOCK*)data);
        break;
    case KVCM_CLOSE:
        host = 0;
        break;
    }
    return 0;
}
