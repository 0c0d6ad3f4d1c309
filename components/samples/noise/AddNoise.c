/* Add Noise: adds uniform noise of +-amount to each channel (or the same
 * to all three with "Monochrome"). The noise is a hash of the pixel's
 * position and the seed, so previews and the full run agree; "New noise"
 * takes the next seed. */
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Add Noise\rCopyright=Vellumatic samples\rOpt=WP\r"
                "Par1=S,Amount,0,100,20\rPar2=C,Monochrome,0\rPar3=B,New noise\r");

static struct { int32_t amount, mono; } v = {20, 0};
static uint32_t seed = 1;

static uint32_t Hash(uint32_t x, uint32_t y, uint32_t k) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ k * 0xC2B2AE3Du ^ seed * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

static int Noise(int x, int y, int k) {
    return (int)(Hash((uint32_t)x, (uint32_t)y, (uint32_t)k) % (uint32_t)(2 * v.amount + 1)) -
           v.amount;
}

static void AddNoise(const KVCBLOCK* b) {
    for (int y = b->top; y <= b->bottom; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        uint32_t* d = b->dest + (size_t)y * (size_t)b->width;
        for (int x = b->left; x <= b->right; ++x) {
            if (!KsSelected(b, s, x)) continue;
            const int n0 = Noise(x, y, 0);
            const int n1 = v.mono ? n0 : Noise(x, y, 1), n2 = v.mono ? n0 : Noise(x, y, 2);
            d[x] = KsRgb(KS_R(s[x]) + n0, KS_G(s[x]) + n1, KS_B(s[x]) + n2);
        }
        if (KsProgress(b, y)) break;
    }
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&v, sizeof(v), data);
    if (message == KVCM_BUTTON) ++seed;
    if (message == KVCM_PROCESS) AddNoise((const KVCBLOCK*)data);
    return 0;
}
