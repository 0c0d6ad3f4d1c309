/* Greyscale: the average of the channels or the luminance (ITU-R BT.601
 * weights 299/587/114), chosen from a list. */
#include "../icons.h"
#include "../sample.h"

KVC_DESCRIPTION("Ver=1.5\rName=Greyscale\rCopyright=Vellumatic samples\rOpt=W\rIcon=Grey\r"
                "Par1=L,Method,2,Average,Luminance,2,\r");
KVC_ICON(Grey, kIcon_grey);

static int32_t method = 2;

static uint32_t Grey(uint32_t p, const void* ctx) {
    const int m = *(const int32_t*)ctx;
    const int v = m == 1 ? (KS_R(p) + KS_G(p) + KS_B(p)) / 3
                         : (299 * KS_R(p) + 587 * KS_G(p) + 114 * KS_B(p) + 500) / 1000;
    return KsRgb(v, v, v);
}

KVC_PROCESS(data, message) {
    if (message == KVCM_PARAMS) KsValues(&method, sizeof(method), data);
    if (message == KVCM_PROCESS) KS_MAP((const KVCBLOCK*)data, &method, Grey);
    return 0;
}
