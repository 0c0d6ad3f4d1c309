/* Emboss: the difference of the pixels before and after each pixel along
 * the light's direction, scaled by Depth, around mid grey (or on the
 * colour when "Keep colour" is checked). */
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Emboss\rCopyright=Vellumatic samples\rOpt=W\r"
                "Par1=L,Light from,4,Left,Top left,Top,Top right,2,\r"
                "Par2=S,Depth,1,10,2\rPar3=C,Keep colour,0\r");

static struct { int32_t light, depth, colour; } v = {2, 2, 0};

static int Clamp(int i, int n) {
    return i < 0 ? 0 : i >= n ? n - 1 : i;
}

static void Emboss(const KVCBLOCK* b) {
    static const int dirs[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    const int* d = dirs[(v.light - 1) & 3];
    for (int y = b->top; y <= b->bottom; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        uint32_t* out = b->dest + (size_t)y * (size_t)b->width;
        const uint32_t* before = b->source + (size_t)Clamp(y + d[1], b->height) * (size_t)b->width;
        const uint32_t* after = b->source + (size_t)Clamp(y - d[1], b->height) * (size_t)b->width;
        for (int x = b->left; x <= b->right; ++x) {
            if (!KsSelected(b, s, x)) continue;
            const uint32_t p = before[Clamp(x + d[0], b->width)],
                           q = after[Clamp(x - d[0], b->width)];
            int c[3] = {KS_R(q) - KS_R(p), KS_G(q) - KS_G(p), KS_B(q) - KS_B(p)};
            if (v.colour) {
                out[x] = KsRgb(KS_R(s[x]) + c[0] * v.depth, KS_G(s[x]) + c[1] * v.depth,
                               KS_B(s[x]) + c[2] * v.depth);
            } else {
                const int g = 128 + (c[0] + c[1] + c[2]) * v.depth / 3;
                out[x] = KsRgb(g, g, g);
            }
        }
    }
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&v, sizeof(v), data);
    if (message == KVCM_PROCESS) Emboss((const KVCBLOCK*)data);
    return 0;
}
