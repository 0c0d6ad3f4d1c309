/* Brightness/Contrast: v' = (v - 128) * (100 + contrast) / 100 + 128 +
 * brightness * 255 / 100, per channel, rounded toward zero. */
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Brightness/Contrast\rCopyright=Vellumatic samples\rOpt=WP\r"
                "Par1=S,Brightness,-100,100,0\rPar2=S,Contrast,-100,100,0\r");

static struct { int32_t brightness, contrast; } v;

static int Channel(int c, const void* ctx) {
    (void)ctx;
    return (c - 128) * (100 + v.contrast) / 100 + 128 + v.brightness * 255 / 100;
}

static uint32_t Apply(uint32_t p, const void* ctx) {
    return KsRgb(Channel(KS_R(p), ctx), Channel(KS_G(p), ctx), Channel(KS_B(p), ctx));
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&v, sizeof(v), data);
    if (message == KVCM_PROCESS) KS_MAP((const KVCBLOCK*)data, (const void*)0, Apply);
    return 0;
}
