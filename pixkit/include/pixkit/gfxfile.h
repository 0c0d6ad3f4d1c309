// The graphics file registry: one object per file format, found by extension
// and then by content, and what the codecs share (records, buffered reading,
// pixel conversions).
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/stream.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pixkit {

// A file's description, filled by a format's Test.
struct GFXFileDesc {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint8_t Color = 0;   // 1 colour, 0 greyscale
    std::uint8_t WithPal = 0; // 1 when the file stores a palette
    std::uint8_t BPP = 0;     // bits per pixel as stored
    std::uint8_t BPCC = 0;    // bits per colour component
    std::int32_t Image = 1;   // set by the caller: which image to describe, from 1
    // How a photo is to be turned to stand upright (the EXIF Orientation
    // tag, 1..8); 1 when the file says nothing. Load never applies it.
    std::uint8_t Orientation = 1;
};

// Turns or mirrors b as EXIF orientation o (1..8) asks, so that an image
// decoded as stored stands upright: 2 mirrors left-right, 3 turns by 180
// degrees, 4 mirrors top-bottom, 5 mirrors along the main diagonal, 6 turns
// clockwise, 7 mirrors along the other diagonal, 8 turns anticlockwise.
// Other values leave b alone. Raises EInvalidImage when no memory is left
// for the turned copy (b is unchanged then).
void ApplyOrientation(Buffer& b, int o);

// Extra data carried with an image or a brush.
struct GFXtra32 {
    std::int16_t HotX;
    std::int16_t HotY;
    std::uint32_t Fore;
    std::uint32_t Back;
    std::int32_t Image; // set by the caller before Load: which image, from 1
};
static_assert(sizeof(GFXtra32) == 16, "GFXtra32 is a 16-byte record");
static_assert(offsetof(GFXtra32, HotY) == 2 && offsetof(GFXtra32, Fore) == 4 &&
                  offsetof(GFXtra32, Back) == 8 && offsetof(GFXtra32, Image) == 12,
              "GFXtra32 field layout");

using ProgStartFunc = void (*)();
using ProgStepFunc = bool (*)(int percent);
using ProgEndFunc = void (*)();

class GFXFile {
  public:
    GFXFile* Next = nullptr; // the next registered format
    std::string Desc;        // "Windows Bitmap"
    std::string Mask;        // "*.JPG;*.JPEG;*.JFIF"
    bool CanSave = false;
    // The format stores transparency: Save writes pixels equal to
    // TransparentMarker as transparent when the extra record's Back is the
    // marker, and Load gives the marker for transparent pixels when Back is
    // the marker on entry.
    bool KeepsTransparency = false;
    // True for the metafile formats, whose Load plays drawing records and
    // lists those it could not draw (LastSkippedRecords).
    bool PlaysRecords = false;

    // Stores the texts, appends this object to the registry and clears the
    // progress callbacks.
    GFXFile(const char* desc, const char* mask, bool canSave);
    virtual ~GFXFile() = default;
    GFXFile(const GFXFile&) = delete;
    GFXFile& operator=(const GFXFile&) = delete;

    // 0: not this format; 1: this format, loadable; -1: this format in a
    // variant the codec cannot load. Fills d when recognised and d is not
    // null. Always restores the stream position; a short stream gives 0.
    virtual std::int8_t Test(TStream* s, GFXFileDesc* d) = 0;
    // Reads the image into b: allocated to the image size when b is empty,
    // otherwise placed at (0, 0) of b's pixels and clipped to them.
    virtual void Load(Buffer& b, TStream* s, GFXtra32* x) = 0;
    // Writes all of b's Area. Only palette formats use work.
    virtual void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work);
    virtual int GetImgCount(TStream* s) = 0;
    // Reads image x->Image into an empty b, at a reduced size where the
    // format can decode one cheaply: the smallest of 1/2, 1/4 and 1/8 whose
    // width and height are both still at least atLeast's (the full size when
    // none is). fullSize receives the image's size as stored, also when the
    // decode fails after b was allocated. This one decodes at full size.
    virtual void LoadReduced(Buffer& b, TStream* s, GFXtra32* x, Pair<int> atLeast,
                             Pair<int>* fullSize);

    // The registry, in registration order.
    static GFXFile* Formats();
    static GFXFile* GetFormat(TStream* s, GFXFileDesc* d);
    static GFXFile* GetDefaultFormat(const std::string& name);
    static bool Test(const std::string& name, GFXFileDesc* d);
    static void Load(Buffer& b, const std::string& name, GFXtra32* x);
    // Loads name into an empty b as the format's LoadReduced does (thumbnails
    // and previews). Only regular files are read: anything else (a FIFO, a
    // device) raises EFOpenError without being waited for.
    static void LoadReduced(Buffer& b, const std::string& name, GFXtra32* x, Pair<int> atLeast,
                            Pair<int>* fullSize);
    // Writes to a temporary file beside name and renames it over name only
    // when the whole image was written, so a failed save keeps the old file.
    // An empty b is refused (EInvalidImage) and writes nothing.
    static void Save(Buffer& b, std::string name, GFXtra32* x, Buffer* work);
    static int GetImgCount(const std::string& name);
    static void SetProgFunc(ProgStartFunc start, ProgStepFunc progress, ProgEndFunc end);

    // For codecs: reports rows done of total as a percentage.
    static void ReportRows(std::int64_t done, std::int64_t total);
    static void ReportPercent(int percent);

  protected:
    // Runs fn (returning 0, 1 or -1) with the stream position restored
    // afterwards and a short stream (EReadError) counted as 0.
    template <typename Fn> static std::int8_t GuardedTest(TStream* s, Fn fn) {
        const std::int64_t pos = s->Position();
        std::int8_t result = 0;
        try {
            result = fn();
        } catch (const EReadError&) {
            result = 0;
        }
        s->SetPosition(pos);
        return result;
    }
};

// Records of a metafile that the last Load on this thread left out of the
// picture because the player cannot draw them, by record name in the order
// first met, with how often each occurred. Every Load starts a new list, so
// it is empty after loading any other file.
struct SkippedRecord {
    std::string Name;
    int Count = 0;
};
const std::vector<SkippedRecord>& LastSkippedRecords();
// The list as one line, "ROUNDRECT x2, SETROP2 x1", or "none".
std::string SkippedRecordsText();

// While one exists on a thread, GFXFile::ReportRows and ReportPercent
// report nothing there: a codec decoding images nested in its own file
// (the bitmaps of a metafile) keeps the progress of the file it reads.
class QuietProgress {
  public:
    QuietProgress();
    ~QuietProgress();
    QuietProgress(const QuietProgress&) = delete;
    QuietProgress& operator=(const QuietProgress&) = delete;
};

// For the record players: start a new list of skipped records, and count
// one record of the given name as skipped.
void ClearSkippedRecords();
void NoteSkippedRecord(const std::string& name);

// Allocates b to w x h for a decoder when b is empty; leaves a non-empty b
// as it is (the decoder clips into it). Raises EInvalidImage for sizes below
// 1, sizes whose byte count overflows or exceeds the machine's memory, and a
// failed allocation.
void AllocImage(Buffer& b, std::int64_t w, std::int64_t h);
// The same for uncompressed data of storedBytes bytes from the stream's
// position: when b is empty, an image of more than kLargeImagePixels whose
// data is not all in the stream is refused (EInvalidImage) before
// allocating, so a short file cannot make the decoder allocate and clear
// gigabytes. Smaller truncated images still decode as far as they go.
inline constexpr std::int64_t kLargeImagePixels = std::int64_t(1) << 24;
void AllocImage(Buffer& b, std::int64_t w, std::int64_t h, TStream* s, std::int64_t storedBytes);

// Buffered reading from a stream for the codecs. Reads raise EReadError at
// the end of the stream.
class StreamBuf {
  public:
    TStream* Stream;
    int Capacity;
    int Count = 0; // valid bytes in Buf
    int Pos = 0;   // read position in Buf
    std::unique_ptr<std::uint8_t[]> Buf;

    StreamBuf(TStream* s, int capacity);
    StreamBuf(const StreamBuf&) = delete;
    StreamBuf& operator=(const StreamBuf&) = delete;

    // Refills from the stream and returns the first byte, leaving the
    // position after it.
    std::uint8_t PreLoad();
    void Skip(std::int64_t n);
    void Read(void* p, std::int64_t n);
    std::uint8_t Get() { return Pos < Count ? Buf[Pos++] : PreLoad(); }
    std::uint16_t GetLE16() {
        const unsigned lo = Get();
        return static_cast<std::uint16_t>(lo | (unsigned(Get()) << 8));
    }
    std::uint32_t GetLE32() {
        const std::uint32_t lo = GetLE16();
        return lo | (std::uint32_t(GetLE16()) << 16);
    }
    std::uint16_t GetBE16() {
        const unsigned hi = Get();
        return static_cast<std::uint16_t>((hi << 8) | Get());
    }
    std::uint32_t GetBE32() {
        const std::uint32_t hi = GetBE16();
        return (hi << 16) | GetBE16();
    }
};

// Pixel format conversions.
struct Colconv {
    static std::uint32_t BSwap(std::uint32_t v);
    // A word whose memory bytes are red, green, blue to a pixel.
    static std::uint32_t BGR24RGB32(std::uint32_t v);
    // 3-byte groups red, green, blue to pixels.
    static void BGR24RGB32s(const std::uint8_t* src, std::uint32_t* dst, int n);
    // 3-byte groups blue, green, red (DIB order) to pixels.
    static void RGB24RGB32s(const std::uint8_t* src, std::uint32_t* dst, int n);
    // 4-byte groups red, green, blue, ignored to pixels; src may equal dst.
    static void BGR32RGB32s(const std::uint32_t* src, std::uint32_t* dst, int n);
    // Pixels to 3-byte groups blue, green, red; the top byte is dropped.
    static void RGB32RGB24s(const std::uint32_t* src, std::uint8_t* dst, int n);
};

} // namespace pixkit
