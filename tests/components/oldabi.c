/* Built for another interface number. */
#include "kvc.h"

KVC_DESCRIPTION("Ver=1.5\rName=Other ABI\r");
KVC_EXPORT const int32_t KVCABI = 99;
KVC_EXPORT int32_t KVCPROCESS(void* data, uint32_t message) {
    (void)data;
    (void)message;
    return 0;
}
