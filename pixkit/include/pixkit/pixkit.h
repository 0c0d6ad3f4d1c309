// Umbrella header of the pixel library.
#pragma once

#include <pixkit/bitmap.h>
#include <pixkit/buffer.h>
#include <pixkit/config.h>
#include <pixkit/font.h>
#include <pixkit/geometry.h>
#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>
#include <pixkit/threads.h>
#include <pixkit/types.h>
