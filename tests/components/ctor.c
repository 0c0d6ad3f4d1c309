/* Crashes (CTOR_CRASH) or hangs as soon as it is loaded. */
#include "kvc.h"

KVC_DESCRIPTION("Ver=1.5\rName=Constructor\r");

#ifdef CTOR_CRASH
static int* volatile nowhere;
__attribute__((constructor)) static void Load(void) {
    *nowhere = 1;
}
#else
static volatile unsigned spin;
__attribute__((constructor)) static void Load(void) {
    for (;;) spin = spin + 1;
}
#endif

KVC_PROCESS(data, message) {
    (void)data;
    (void)message;
    return 0;
}
