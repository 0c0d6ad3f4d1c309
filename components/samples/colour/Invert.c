/* Invert: every colour channel becomes 255 minus itself. No parameters, so
 * choosing it applies it at once; its icon makes it a brush too. */
#include "../icons.h"
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Invert\rCopyright=Vellumatic samples\rIcon=Invert\r");
KVC_ICON(Invert, kIcon_invert);

static uint32_t Invert(uint32_t p, const void* ctx) {
    (void)ctx;
    return ~p & 0xFFFFFFu;
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PROCESS) KS_MAP((const KVCBLOCK*)data, (const void*)0, Invert);
    return 0;
}
