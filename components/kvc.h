/*
 * kvc.h: the one header a Vellumatic component is built against.
 *
 * A component is an ELF shared object with the extension ".kvc", placed in
 * the "Comps" folder beside the program, in $XDG_DATA_HOME/vellumatic/Comps,
 * or in a sub-folder of either (each folder becomes a sub-menu of Effects).
 * The program never loads a component into itself: a helper process,
 * kvcrun, loads it and calls it, with the pixels in shared memory. A
 * component that crashes, hangs or throws ends only that helper; the user
 * gets a message and the image stays as it was.
 *
 * A component exports, with C linkage and default visibility:
 *   KVCDESC     data: pointer to the NUL-terminated description text
 *               (or KVCGETDESC, a function returning that pointer);
 *   KVCPROCESS  function (data pointer, message code) -> int32_t: all work;
 *   KVCABI      data: int32_t, the KVC_ABI the component was built with;
 *   KVCICON_<n> data: a KVCICONDATA with BMP file bytes, for "Icon=<n>".
 * The macros KVC_DESCRIPTION, KVC_PROCESS and KVC_ICON below write them.
 * The header works from C (C99 or later) and C++.
 */
#ifndef KVC_H
#define KVC_H

#include <stddef.h>
#include <stdint.h>

/* The interface number. The helper refuses a component built with another. */
#define KVC_ABI 1

#ifdef __cplusplus
#define KVC_EXTERN extern "C"
#else
#define KVC_EXTERN
#endif
#define KVC_EXPORT KVC_EXTERN __attribute__((visibility("default")))

/* ---- Description text -------------------------------------------------
 * Lines "Key=value", each ended by a carriage return ("\r"). A key is found
 * by plain substring search (case-sensitive, first occurrence), its value
 * runs to the next "\r" or the end. */
#define KVCD_VER "Ver="             /* interface version: 1.48 <= v < 2 */
#define KVCD_NAME "Name="           /* menu and dialog caption */
#define KVCD_HELP "Help="           /* help file[,context] */
#define KVCD_COPYRIGHT "Copyright=" /* dialog's copyright line */
#define KVCD_CONTACT "Contact="     /* hint of the copyright line */
#define KVCD_OPT "Opt="             /* "W": instant preview, "P": Preview button */
#define KVCD_ICON "Icon="           /* <n>: the component is also a brush tool */
#define KVCD_PAR "Par"              /* "Par1=" ... "Par10=": parameters */

/* Parameter letters (first character of a "ParN=" value). A digit d right
 * after the letter hides the parameter unless the user level + 1 >= d;
 * hidden parameters keep their bytes in the value block.
 *   B  button        "B,Label"                           0 bytes
 *   C  check box     "C,Label,%d"  initial 0/1           4 bytes int32
 *   F  float         "F,Label,%d,%lf,%lf,%lf,%lf"
 *                    decimals, increment, min, max, initial  8 bytes double
 *   G  image choice  "G,Label,%d"  initial image 1..10   4 bytes int32
 *   I  integer       "I,Label,%d,%d,%d" min, max, initial 4 bytes int32
 *   L  list          "L,Label,%d,item,...,item,%d,"  count, items, initial
 *                    (1-based)                           4 bytes int32
 *   O  colour        "O,Label,%x,"  0xRRGGBB             4 bytes uint32
 *   P  point         "P,Label,%d,%d" x, y in 0..65535    4 bytes: x, y uint16
 *   S  slider        "S,Label,%d,%d,%d" min, max, initial 4 bytes int32 */
#define KVCP_BUTTON 'B'
#define KVCP_CHECK 'C'
#define KVCP_FLOAT 'F'
#define KVCP_IMAGE 'G'
#define KVCP_INTEGER 'I'
#define KVCP_LIST 'L'
#define KVCP_COLOR 'O'
#define KVCP_POINT 'P'
#define KVCP_SLIDER 'S'

/* Parameter kinds, as the host numbers them. */
enum {
    KVCK_NONE = 0,
    KVCK_INTEGER = 1,
    KVCK_FLOAT = 2,
    KVCK_BUTTON = 3,
    KVCK_CHECK = 4,
    KVCK_SLIDER = 5,
    KVCK_LIST = 6,
    KVCK_COLOR = 7,
    KVCK_POINT = 8,
    KVCK_IMAGE = 9
};

#define KVC_MAX_PARAMS 10
/* The value block sent with KVCM_PARAMS: the values of all parameters in
 * order (visible and hidden), packed without padding, little-endian. */
#define KVC_VALUES_SIZE 80

/* ---- Messages to KVCPROCESS ------------------------------------------- */
#define KVCM_INIT 0x118D    /* data: KVCBLOCK* of the real image; first call */
#define KVCM_PARAMS 0x118E  /* data: the 80-byte value block */
#define KVCM_BUTTON 0x118F  /* data: int32_t* parameter number (1-based) */
#define KVCM_PROCESS 0x1190 /* data: KVCBLOCK*: compute */
#define KVCM_CLOSE 0x1191   /* data: NULL; the library is unloaded after */
#define KVCM_CLICK 0x1192   /* data: KVCCLICK* */

/* ---- Messages to the host (through KVCBLOCK.host) ---------------------
 * wparam = n | (s << 16). Texts pass as (intptr_t)(const char*) UTF-8,
 * doubles as (intptr_t)(const double*). The host answers only while one of
 * the component's calls is running (any message, any call); a component
 * may keep the KVCBLOCK* of KVCM_INIT for that (e.g. during KVCM_CLICK). */
#define KVCH_PREVIEW 5493 /* as if Preview were pressed (after this call) */
#define KVCH_OK 5494      /* as if OK were pressed (after this call) */
#define KVCH_CANCEL 5495  /* as if Cancel were pressed (after this call) */
#define KVCH_RESIZE                                                                                \
    5496                      /* new image size n x lparam; the block's source,                    \
                                 dest, width, height and area are refreshed                        \
                                 before the call returns; the source then                          \
                                 holds the old image at the top left */
#define KVCH_SETPARAM 5497    /* parameter n, sub-command s, value lparam */
#define KVCH_PROGRESS 5498    /* position n; returns 1 to stop, 0 to go on */
#define KVCH_PROGRESSMAX 5499 /* progress maximum n */
#define KVCH_NOTIFYON 5500    /* resume KVCM_PARAMS after control changes */
#define KVCH_NOTIFYOFF 5501   /* suspend them */

/* KVCH_SETPARAM sub-commands: 0 value (as a user change: KVCM_PARAMS and an
 * instant preview follow), 1 label text, 2 minimum, 3 maximum, 4 increment
 * (slider: tick frequency), 5 decimals (floats only). Float values pass as
 * double pointers. Point values are (x << 16) | y in 0..65535. */
#define KVC_WPARAM(n, s) ((uint32_t)(((uint32_t)(n)&0xFFFFu) | ((uint32_t)(s) << 16)))

typedef intptr_t (*KVCHOSTPROC)(void* window, uint32_t message, uint32_t wparam, intptr_t lparam);

/* One entry of the image table: the ten image slots of the program. The
 * entry of the current image holds the image as it was before the effect. */
typedef struct KVCIMAGE {
    uint32_t* pixels; /* NULL for a slot without image */
    int32_t width;
    int32_t height;
} KVCIMAGE;

/* The process block. Pixels are 0x00RRGGBB in the low 24 bits of a 32-bit
 * word (bit 24 is the mask bit), rows top to bottom, stride = width. */
typedef struct KVCBLOCK {
    uint32_t* source;      /*   0: the unchanged image */
    uint32_t* dest;        /*   8: the image to write; same size */
    int32_t width;         /*  16 */
    int32_t height;        /*  20 */
    int32_t left;          /*  24: area to process, inclusive */
    int32_t top;           /*  28 */
    int32_t right;         /*  32 */
    int32_t bottom;        /*  36 */
    int32_t masked;        /*  40: 1 = only pixels whose source has bit 24 */
    int32_t fullrun;       /*  44: 1 = Preview/OK on the image (progress and
                                   Stop available); 0 = instant preview,
                                   brush dab, thumbnail */
    uint32_t drawcolor;    /*  48: 0x00RRGGBB */
    uint32_t backcolor;    /*  52 */
    const int32_t* costab; /*  56: cos, 1024 per turn, scaled by 512 (= sintab + 256) */
    const int32_t* sintab; /*  64: 1280 entries, trunc(512 sin(2 pi i / 1024)) */
    void* window;          /*  72: first argument of host() */
    KVCIMAGE* images;      /*  80: 10 entries */
    int32_t current;       /*  88: current image slot 1..10 */
    int32_t reserved;      /*  92 */
    const int32_t* tantab; /*  96: 1024 entries, round(1024 tan(2 pi k / 1024)),
                                   clamped to +-INT32_MAX at the poles */
    KVCHOSTPROC host;      /* 104 */
} KVCBLOCK;

/* Sent with KVCM_CLICK. x and y are pixel * 65535 / (size - 1), truncated
 * (0 for a one-pixel-wide or -high image). */
typedef struct KVCCLICK {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t right;   /* 1: right button */
    int32_t preview; /* 1: click in the dialog's instant preview */
} KVCCLICK;

/* An icon: the bytes of a BMP file (24-bit or 32-bit, about 24 x 24). */
typedef struct KVCICONDATA {
    uint32_t size;
    const unsigned char* bmp;
} KVCICONDATA;

#if defined(__cplusplus)
static_assert(sizeof(void*) == 8, "kvc.h describes the 64-bit layout");
static_assert(sizeof(KVCBLOCK) == 112 && offsetof(KVCBLOCK, costab) == 56 &&
                  offsetof(KVCBLOCK, tantab) == 96 && offsetof(KVCBLOCK, host) == 104,
              "KVCBLOCK layout");
static_assert(sizeof(KVCCLICK) == 24 && sizeof(KVCIMAGE) == 16, "KVCCLICK layout");
#else
_Static_assert(sizeof(void*) == 8, "kvc.h describes the 64-bit layout");
_Static_assert(sizeof(KVCBLOCK) == 112 && offsetof(KVCBLOCK, costab) == 56 &&
                   offsetof(KVCBLOCK, tantab) == 96 && offsetof(KVCBLOCK, host) == 104,
               "KVCBLOCK layout");
_Static_assert(sizeof(KVCCLICK) == 24 && sizeof(KVCIMAGE) == 16, "KVCCLICK layout");
#endif

/* Sends a message to the host. */
static inline intptr_t KVCSend(const KVCBLOCK* b, uint32_t message, uint32_t wparam,
                               intptr_t lparam) {
    return b->host ? b->host(b->window, message, wparam, lparam) : 0;
}

/* ---- Export macros ----------------------------------------------------
 *   KVC_DESCRIPTION("Ver=1.5\rName=Invert\r")
 *   KVC_PROCESS(data, message) { ...; return 0; }
 *   KVC_ICON(Invert, bytes)   with "Icon=Invert" in the description */
#define KVC_DESCRIPTION(text) KVC_EXPORT const char* const KVCDESC = (text)
#define KVC_PROCESS(data, message)                                                                 \
    KVC_EXPORT const int32_t KVCABI = KVC_ABI;                                                     \
    KVC_EXPORT int32_t KVCPROCESS(void* data, uint32_t message)
#define KVC_ICON(name, bytes)                                                                      \
    KVC_EXPORT const KVCICONDATA KVCICON_##name = {(uint32_t)sizeof(bytes), (bytes)}

#endif /* KVC_H */
