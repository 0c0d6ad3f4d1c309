// Umbrella header of the pixel library.
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/types.h>
