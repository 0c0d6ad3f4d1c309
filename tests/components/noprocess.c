/* A description and nothing to call. */
#include "kvc.h"

KVC_DESCRIPTION("Ver=1.5\rName=No Process\r");
KVC_EXPORT const int32_t KVCABI = KVC_ABI;
