/* Add Border: makes the image larger by the border on each side (a full
 * run asks the host for the new size) and paints the border in the chosen
 * colour around the old image. On a preview or thumbnail it paints the
 * border inside the picture instead. */
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Add Border\rCopyright=Vellumatic samples\rOpt=P\r"
                "Par1=I,Width,1,200,10\rPar2=O,Colour,FFFFFF,\r");

static struct {
    int32_t width;
    uint32_t colour;
} v = {10, 0xFFFFFF};

static void Frame(const KVCBLOCK* b, int inset) {
    for (int y = b->top; y <= b->bottom; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        uint32_t* d = b->dest + (size_t)y * (size_t)b->width;
        for (int x = b->left; x <= b->right; ++x) {
            const int edge =
                x < inset || y < inset || x >= b->width - inset || y >= b->height - inset;
            if (edge && KsSelected(b, s, x)) d[x] = v.colour & 0xFFFFFFu;
        }
    }
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&v, sizeof(v), data);
    if (message != KVCM_PROCESS) return 0;
    KVCBLOCK* b = (KVCBLOCK*)data;
    if (!b->fullrun || b->masked) {
        Frame(b, v.width);
        return 0;
    }
    const int w = b->width + 2 * v.width, h = b->height + 2 * v.width;
    const int oldW = b->width, oldH = b->height;
    if (!KVCSend(b, KVCH_RESIZE, KVC_WPARAM(w, 0), h)) return 0;
    /* The source now holds the old image at the top left; move it in. */
    for (int y = 0; y < b->height; ++y) {
        uint32_t* d = b->dest + (size_t)y * (size_t)b->width;
        for (int x = 0; x < b->width; ++x) {
            const int sx = x - v.width, sy = y - v.width;
            d[x] = sx >= 0 && sy >= 0 && sx < oldW && sy < oldH
                       ? b->source[(size_t)sy * (size_t)b->width + (size_t)sx] & 0xFFFFFFu
                       : v.colour & 0xFFFFFFu;
        }
    }
    return 0;
}
