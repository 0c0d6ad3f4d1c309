/* Blend Image: mixes another open image into this one, pixel for pixel
 * from the top left, at the given opacity. Pixels the other image does not
 * cover stay. */
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Blend Image\rCopyright=Vellumatic samples\rOpt=P\r"
                "Par1=G,Image,2\rPar2=S,Opacity %,0,100,50\r");

static struct { int32_t image, opacity; } v = {2, 50};

static int Mix(int a, int b) {
    return (a * (100 - v.opacity) + b * v.opacity + 50) / 100;
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&v, sizeof(v), data);
    if (message != KVCM_PROCESS) return 0;
    const KVCBLOCK* b = (const KVCBLOCK*)data;
    if (v.image < 1 || v.image > 10 || !b->images) return 0;
    const KVCIMAGE* other = &b->images[v.image - 1];
    if (!other->pixels) return 0;
    for (int y = b->top; y <= b->bottom && y < other->height; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        const uint32_t* o = other->pixels + (size_t)y * (size_t)other->width;
        uint32_t* d = b->dest + (size_t)y * (size_t)b->width;
        for (int x = b->left; x <= b->right && x < other->width; ++x)
            if (KsSelected(b, s, x))
                d[x] = KsRgb(Mix(KS_R(s[x]), KS_R(o[x])), Mix(KS_G(s[x]), KS_G(o[x])),
                             Mix(KS_B(s[x]), KS_B(o[x])));
        if (KsProgress(b, y)) break;
    }
    return 0;
}
