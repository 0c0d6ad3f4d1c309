/* Posterize: each channel keeps `levels` evenly spaced values. */
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Posterize\rCopyright=Vellumatic samples\rOpt=W\r"
                "Par1=I,Levels,2,64,4\r");

static int32_t levels = 4;

static int Level(int v, int n) {
    const int step = (v * n) / 256; /* 0 .. n-1 */
    return step * 255 / (n - 1);
}

static uint32_t Posterize(uint32_t p, const void* ctx) {
    const int n = *(const int32_t*)ctx;
    return KsRgb(Level(KS_R(p), n), Level(KS_G(p), n), Level(KS_B(p), n));
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) {
        KsValues(&levels, sizeof(levels), data);
        if (levels < 2) levels = 2;
    }
    if (message == KVCM_PROCESS) KS_MAP((const KVCBLOCK*)data, &levels, Posterize);
    return 0;
}
