/* Declares the interface version VERSION. */
#include "kvc.h"

KVC_DESCRIPTION("Ver=" VERSION "\rName=Version " VERSION "\r");

KVC_PROCESS(data, message) {
    (void)data;
    (void)message;
    return 0;
}
