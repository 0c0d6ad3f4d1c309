// Fails on purpose in the way its "Mode" list says: a crash or an
// exception in a full run, an endless loop in any PROCESS, a full run that
// never stops, or an answer to every parameter change with another change
// ("Echo"). "Fine" inverts.
#include "kvc.h"

#include <stdexcept>

#if defined(CRASH_ALWAYS)
// Built again as "Crashing": every PROCESS crashes, thumbnails too.
KVC_DESCRIPTION("Ver=1.5\rName=Crashing\r");
#elif defined(HANG_ALWAYS)
// And as "Hanging": every PROCESS loops for ever.
KVC_DESCRIPTION("Ver=1.5\rName=Hanging\r");
#else
KVC_DESCRIPTION("Ver=1.5\rName=Faulty\rOpt=WP\r"
                "Par1=L,Mode,6,Fine,Crash,Hang,Throw,Ignore Stop,Echo,1,\r");
#endif

namespace {
int mode = 1;
const KVCBLOCK* host = nullptr;
int* volatile nowhere = nullptr;
volatile unsigned spin = 0;
} // namespace

KVC_PROCESS(data, message) {
    if (message == KVCM_INIT) host = static_cast<const KVCBLOCK*>(data);
    if (message == KVCM_PARAMS) {
        mode = *static_cast<const int32_t*>(data);
        if (mode == 6 && host != nullptr) KVCSend(host, KVCH_SETPARAM, KVC_WPARAM(1, 0), 6);
    }
    if (message != KVCM_PROCESS) return 0;
    const auto* b = static_cast<const KVCBLOCK*>(data);
#if defined(CRASH_ALWAYS)
    *nowhere = 1;
#elif defined(HANG_ALWAYS)
    for (;;) spin = spin + 1;
#endif
    if (mode == 2 && b->fullrun) *nowhere = 1;
    if (mode == 3)
        for (;;) spin = spin + 1;
    if (mode == 4 && b->fullrun) throw std::runtime_error("broken on purpose");
    if (mode == 5 && b->fullrun)
        for (;;) KVCSend(b, KVCH_PROGRESS, 0, 0);
    for (int y = b->top; y <= b->bottom; ++y)
        for (int x = b->left; x <= b->right; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * b->width + x;
            b->dest[i] = ~b->source[i] & 0xFFFFFFu;
        }
    return 0;
}
