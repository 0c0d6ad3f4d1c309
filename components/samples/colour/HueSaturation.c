/* Hue/Saturation: turns the hue by an angle and scales the saturation, in
 * HSV. */
#include "../sample.h"

#include <math.h>

KVC_DESCRIPTION("Ver=1.5\rName=Hue/Saturation\rCopyright=Vellumatic samples\rOpt=WP\r"
                "Par1=I,Hue,-180,180,0\rPar2=F,Saturation,2,0.05,0,4,1\r");

#pragma pack(push, 1)
static struct {
    int32_t hue;
    double saturation;
} v = {0, 1.0};
#pragma pack(pop)

static uint32_t Apply(uint32_t p, const void* ctx) {
    (void)ctx;
    const double r = KS_R(p) / 255.0, g = KS_G(p) / 255.0, b = KS_B(p) / 255.0;
    const double max = fmax(r, fmax(g, b)), min = fmin(r, fmin(g, b)), d = max - min;
    double h = 0;
    if (d > 0) {
        if (max == r)
            h = fmod((g - b) / d + 6, 6);
        else if (max == g)
            h = (b - r) / d + 2;
        else
            h = (r - g) / d + 4;
    }
    h = fmod(h + v.hue / 60.0 + 12, 6);
    double s = max > 0 ? d / max * v.saturation : 0;
    if (s > 1) s = 1;
    const double c = max * s, x = c * (1 - fabs(fmod(h, 2) - 1)), m = max - c;
    double rgb[3];
    const int sector = (int)h;
    const double table[6][3] = {{c, x, 0}, {x, c, 0}, {0, c, x}, {0, x, c}, {x, 0, c}, {c, 0, x}};
    for (int i = 0; i < 3; ++i) rgb[i] = (table[sector % 6][i] + m) * 255 + 0.5;
    return KsRgb((int)rgb[0], (int)rgb[1], (int)rgb[2]);
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&v, sizeof(v), data);
    if (message == KVCM_PROCESS) KS_MAP((const KVCBLOCK*)data, (const void*)0, Apply);
    return 0;
}
