/* Gaussian Blur: a separable Gaussian of standard deviation "Radius",
 * reaching 3 radii; edges repeat the border pixels. A full run reports
 * each row and stops when asked. */
#include "../icons.h"
#include "../sample.h"

#include <math.h>
#include <stdlib.h>

KVC_DESCRIPTION("Ver=1.5\rName=Gaussian Blur\rCopyright=Vellumatic samples\rOpt=WP\rIcon=Blur\r"
                "Par1=F,Radius,1,0.5,0.5,50,2\r");
KVC_ICON(Blur, kIcon_blur);

static double radius = 2;

/* Weights of 0 .. half, summing to 1 over -half .. half. */
static int Kernel(double sigma, float* w, int cap) {
    int half = (int)ceil(3 * sigma);
    if (half > cap) half = cap;
    double sum = 0;
    for (int i = 0; i <= half; ++i) {
        const double v = exp(-(double)i * i / (2 * sigma * sigma));
        w[i] = (float)v;
        sum += i == 0 ? v : 2 * v;
    }
    for (int i = 0; i <= half; ++i) w[i] = (float)(w[i] / sum);
    return half;
}

static int ClampIndex(int v, int n) {
    return v < 0 ? 0 : v >= n ? n - 1 : v;
}

static void Blur(const KVCBLOCK* b) {
    float w[160];
    const int half = Kernel(radius, w, 159);
    const int top = ClampIndex(b->top - half, b->height),
              bottom = ClampIndex(b->bottom + half, b->height);
    const int cols = b->right - b->left + 1, rows = bottom - top + 1;
    if (b->fullrun) KVCSend(b, KVCH_PROGRESSMAX, KVC_WPARAM(rows + b->bottom - b->top + 1, 0), 0);
    /* Horizontal pass over the rows the vertical pass reads, as RGB floats. */
    float* tmp = (float*)malloc((size_t)cols * (size_t)rows * 3 * sizeof(float));
    if (!tmp) return;
    for (int y = top; y <= bottom; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        float* t = tmp + (size_t)(y - top) * (size_t)cols * 3;
        for (int x = b->left; x <= b->right; ++x, t += 3) {
            float r = 0, g = 0, bl = 0;
            for (int k = -half; k <= half; ++k) {
                const uint32_t p = s[ClampIndex(x + k, b->width)];
                const float f = w[k < 0 ? -k : k];
                r += f * KS_R(p), g += f * KS_G(p), bl += f * KS_B(p);
            }
            t[0] = r, t[1] = g, t[2] = bl;
        }
        /* Progress counts the rows of both passes, so Stop works in either. */
        if (b->fullrun && KVCSend(b, KVCH_PROGRESS, KVC_WPARAM(y - top, 0), 0)) {
            free(tmp);
            return;
        }
    }
    for (int y = b->top; y <= b->bottom; ++y) {
        const uint32_t* s = b->source + (size_t)y * (size_t)b->width;
        uint32_t* d = b->dest + (size_t)y * (size_t)b->width;
        for (int x = b->left; x <= b->right; ++x) {
            if (!KsSelected(b, s, x)) continue;
            float acc[3] = {0, 0, 0};
            for (int k = -half; k <= half; ++k) {
                const int yy = ClampIndex(y + k, b->height);
                const float* t =
                    tmp + ((size_t)(yy - top) * (size_t)cols + (size_t)(x - b->left)) * 3;
                const float f = w[k < 0 ? -k : k];
                acc[0] += f * t[0], acc[1] += f * t[1], acc[2] += f * t[2];
            }
            d[x] = KsRgb((int)(acc[0] + 0.5f), (int)(acc[1] + 0.5f), (int)(acc[2] + 0.5f));
        }
        if (b->fullrun && KVCSend(b, KVCH_PROGRESS, KVC_WPARAM(rows + y - b->top, 0), 0)) break;
    }
    free(tmp);
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&radius, sizeof(radius), data);
    if (message == KVCM_PROCESS) {
        const KVCBLOCK* b = (const KVCBLOCK*)data;
        Blur(b);
    }
    return 0;
}
