/* Helpers the sample components share: channels, clamping and the walk
 * over the area that honours the mask. Built on kvc.h alone. */
#ifndef KVC_SAMPLE_H
#define KVC_SAMPLE_H

#include "kvc.h"

#include <string.h>

#define KS_R(p) ((int)(((p) >> 16) & 255))
#define KS_G(p) ((int)(((p) >> 8) & 255))
#define KS_B(p) ((int)((p)&255))
#define KS_MASK 0x01000000u

static inline int KsClamp(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

static inline uint32_t KsRgb(int r, int g, int b) {
    return ((uint32_t)KsClamp(r) << 16) | ((uint32_t)KsClamp(g) << 8) | (uint32_t)KsClamp(b);
}

/* Whether pixel (x, y) of the area is to be processed. */
static inline int KsSelected(const KVCBLOCK* b, const uint32_t* srcRow, int x) {
    return !b->masked || (srcRow[x] & KS_MASK) != 0;
}

/* Reads the value block into a packed struct of the caller. */
static inline void KsValues(void* to, size_t bytes, const void* data) {
    memcpy(to, data, bytes);
}

/* Reports the row of a full run; non-zero when the user pressed Stop. */
static inline int KsProgress(const KVCBLOCK* b, int row) {
    return b->fullrun ? (int)KVCSend(b, KVCH_PROGRESS, KVC_WPARAM(row - b->top, 0), 0) : 0;
}

/* Runs a per-pixel function over the area: dest = f(source, context). */
#define KS_MAP(b, ctx, f)                                                                          \
    do {                                                                                           \
        for (int y_ = (b)->top; y_ <= (b)->bottom; ++y_) {                                         \
            const uint32_t* s_ = (b)->source + (size_t)y_ * (size_t)(b)->width;                    \
            uint32_t* d_ = (b)->dest + (size_t)y_ * (size_t)(b)->width;                            \
            for (int x_ = (b)->left; x_ <= (b)->right; ++x_)                                       \
                if (KsSelected((b), s_, x_)) d_[x_] = f(s_[x_] & 0xFFFFFFu, (ctx));                \
            if (KsProgress((b), y_)) break;                                                        \
        }                                                                                          \
    } while (0)

#endif
