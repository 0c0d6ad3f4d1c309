// Shared pieces of the baseline JPEG codec (ITU-T T.81, JFIF): the format
// class, the marker codes, the tables of Annex K, the frame and table records
// the decoder fills, and the transforms. Each concern lives in its own
// jpeg_*.cpp.
#pragma once

#include <pixkit/gfxfile.h>

#include <array>
#include <cstdint>

namespace pixkit {

class JpegFormat : public GFXFile {
  public:
    JpegFormat() : GFXFile("JPEG", "*.JPG;*.JPEG;*.JFIF", true) {}
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    // Decodes at 1/2, 1/4 or 1/8 of the size through a scaled inverse
    // transform, chroma included (no upsampling at those sizes).
    void LoadReduced(Buffer& b, TStream* s, GFXtra32* x, Pair<int> atLeast,
                     Pair<int>* fullSize) override;
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream*) override { return 1; }

  private:
    static std::int8_t TestMarkers(TStream* s, GFXFileDesc* d);
    // Load, at the largest reduction still at least atLeast when given.
    static void Decode(Buffer& b, TStream* s, const Pair<int>* atLeast, Pair<int>* fullSize);
};

namespace jpeg {

// Marker codes (the byte after FF), T.81 table B.1.
enum Marker : std::uint8_t {
    SOF0 = 0xC0, // baseline
    SOF1 = 0xC1, // extended sequential, Huffman
    SOF2 = 0xC2, // progressive, Huffman
    DHT = 0xC4,
    SOF9 = 0xC9,  // extended sequential, arithmetic
    SOF10 = 0xCA, // progressive, arithmetic
    JPG = 0xC8,
    DAC = 0xCC,
    RST0 = 0xD0,
    RST7 = 0xD7,
    SOI = 0xD8,
    EOI = 0xD9,
    SOS = 0xDA,
    DQT = 0xDB,
    DNL = 0xDC,
    DRI = 0xDD,
    DHP = 0xDE, // hierarchical progression
    EXP = 0xDF,
    APP0 = 0xE0,
    APP1 = 0xE1, // Exif
    APP14 = 0xEE,
    COM = 0xFE,
};

// Position of the k-th coefficient in zig-zag order within the 8 x 8 block.
extern const std::uint8_t kZigZag[64];
// The positions of the non-zero coefficients in zig-zag order (bit k for
// position k), from those in natural order (bit r * 8 + c for (r, c)): one
// table per row of the block, indexed by the row's eight bits.
struct ZigZagBits {
    std::uint64_t Row[8][256];
    ZigZagBits();
    std::uint64_t operator()(std::uint64_t natural) const {
        std::uint64_t m = 0;
        for (int r = 0; r < 8; ++r) m |= Row[r][(natural >> (8 * r)) & 255];
        return m;
    }
};
extern const ZigZagBits kZigZagBits;
// Annex K.1 example quantization tables in natural (row by row) order.
extern const std::uint8_t kStdLumaQuant[64];
extern const std::uint8_t kStdChromaQuant[64];
// Annex K.3 example Huffman tables: 16 code counts then the symbols.
struct StdHuffman {
    std::uint8_t Counts[16];
    const std::uint8_t* Symbols;
    int SymbolCount;
};
extern const StdHuffman kStdDcLuma, kStdAcLuma, kStdDcChroma, kStdAcChroma;

struct Component {
    int Id = 0;
    int H = 1, V = 1; // sampling factors
    int Quant = 0;    // quantization table number
    int DcTable = 0, AcTable = 0;
};

// Whether a frame marker starts a frame this codec decodes: sequential or
// progressive, Huffman or arithmetic coded (not lossless, not hierarchical).
inline bool DecodableFrame(std::uint8_t m) {
    return m == SOF0 || m == SOF1 || m == SOF2 || m == SOF9 || m == SOF10;
}

// The frame header as far as the codec accepts it.
struct Frame {
    int Width = 0, Height = 0;
    int Precision = 0; // 8, or 12 (reduced to 8 bits after the transform)
    int Count = 0;     // components: 1, 3 or 4 (CMYK or YCCK)
    Component Comp[4];
    // Three components that hold R, G and B themselves (an Adobe APP14
    // segment with colour transform 0) rather than Y, Cb and Cr.
    bool Rgb = false;
    bool Progressive = false;   // SOF2 or SOF10
    bool Arithmetic = false;    // SOF9 or SOF10
    bool Complete = false;      // every component read, table numbers valid
    int Adobe = -1;             // the Adobe APP14 colour transform, -1 without one
    std::int64_t DataBytes = 0; // bytes in the stream after the frame header
    // Decoded at 1 / Scale of the size (1, 2, 4 or 8): each component's
    // blocks give fewer samples, as many as make it full resolution at that
    // size (see BlockSamples), so no component needs upsampling.
    int Scale = 1;
};

// The samples across (horizontal) or down one block of component c gives:
// 8, or at a reduced scale 8 / Scale times the component's subsampling.
int BlockSamples(const Frame& f, int c, bool horizontal);
// The largest of the scales 8, 4 and 2 at which the frame's picture is
// still at least atLeast in both directions (1 when none is) and every
// component's blocks hold at most 8 x 8 samples.
int ChooseScale(const Frame& f, Pair<int> atLeast);
// The picture's size at the frame's scale (rounded up).
inline int ScaledSize(int size, int scale) {
    return (size + scale - 1) / scale;
}

// Sets the coding process of a frame from its marker.
void SetFrameType(Frame& f, std::uint8_t marker);
// Reads one frame header after its marker (length included). Returns
// whether the single-scan decoder can decode it; the frame is filled either
// way as far as it fits (all components when the length is right).
bool ReadFrame(StreamBuf& in, Frame& f);
// A frame height of 0 is given by a DNL segment after the first scan:
// looks ahead in the stream for it and sets the frame's height, keeping the
// read position.
void HeightFromDnl(StreamBuf& in, Frame& f);
// The bytes left in the stream from the read position on.
std::int64_t BytesLeft(const StreamBuf& in);
// Whether decoding the frame into a new picture (newPicture) or into an
// existing buffer stays within what a file of its size may cost. Up to
// 64 MB of picture, coefficients and samples are always granted (truncated files
// still load what they hold); beyond that the data after the frame header
// must be able to hold every block (a Huffman-coded block costs at least
// 2 bits, 1 in a progressive file's first scan), and the cost is at most
// 256 bytes per byte of data, with 256 MB granted to any file. Arithmetic
// coding can hold a block in almost nothing: it gets 16 MB free.
bool WithinBudget(const Frame& f, bool newPicture, bool multiScan);
// Whether the scan-by-scan decoder takes a frame ReadFrame filled: 8-bit
// samples (or 12-bit outside baseline frames), 1, 3 or 4 components with sampling factors 1..4, at
// most 10 blocks in an interleaved MCU.
bool MultiScanAccepted(const Frame& f);
// The identifiers (or an Adobe transform 0) say the three components are
// R, G and B.
bool RgbComponents(const Frame& f, int adobeTransform);

// A scan header: which frame components it codes, in order, and its
// spectral selection and successive approximation.
struct Scan {
    int Count = 0;
    int Comp[4] = {};
    int Ss = 0, Se = 63, Ah = 0, Al = 0;
};
// Reads a scan header after SOS and sets the components' Huffman tables.
void ReadScan(StreamBuf& in, Frame& f, Scan& s);
// Whether a scan codes every component of the frame, in frame order, with
// the full spectrum: the single-scan decoder's kind.
bool WholeInOneScan(const Frame& f, const Scan& s);

// Returns the next marker code: skips bytes up to an FF, fill bytes FF and
// stuffed FF 00 pairs.
std::uint8_t NextMarker(StreamBuf& in);
// Skips a segment by its 16-bit length.
void SkipSegment(StreamBuf& in);
// Reads an APP14 segment; returns the colour transform of an Adobe segment
// (0 none, 1 YCbCr, 2 YCCK), -1 for other APP14 data.
int ReadAdobeTransform(StreamBuf& in);
// Reads an APP1 segment; returns the orientation of an Exif segment's first
// image (1..8), 0 when it has none or the segment is something else.
int ReadExifOrientation(StreamBuf& in);

// Decoding Huffman table: a 9-bit look-up for short codes and the canonical
// code limits for the longer ones (T.81 F.2.2.3).
struct HuffDecoder {
    static constexpr int kFastBits = 11;
    std::uint16_t Fast[1 << kFastBits]; // (length << 8) | symbol, 0 = longer code
    std::int32_t MaxCode[17];           // largest code of each length, -1 if none
    std::int32_t ValOffset[17];         // symbol index minus code for each length
    std::uint8_t Symbols[256];
    // For AC tables: a run/size code and its value bits that fit in the
    // look-up together, decoded in one step: (value << 16) | (run << 8) |
    // bits used; the end-of-block code as kFastEob | bits used; 0 for the
    // others.
    static constexpr std::int32_t kFastEob = 0x1000;
    std::int32_t FastAc[1 << kFastBits];
    bool Defined = false;
};
// Builds a table from counts and symbols; raises EInvalidImage when the
// counts overflow the code space.
void BuildHuffDecoder(HuffDecoder& t, const std::uint8_t counts[16], const std::uint8_t* symbols);

// Encoding Huffman table: code and length of each symbol.
struct HuffEncoder {
    std::uint16_t Code[256];
    std::uint8_t Size[256];
};
void BuildHuffEncoder(HuffEncoder& t, const StdHuffman& table);

// Tables and settings collected before the scan.
struct Tables {
    std::array<std::array<std::uint16_t, 64>, 4> Quant{}; // natural order
    bool QuantDefined[4] = {};
    HuffDecoder Dc[4], Ac[4];
    int RestartInterval = 0;
    // Arithmetic conditioning (DAC): the DC difference bounds L and U and
    // the AC band limit Kx of each table, with their default values.
    std::uint8_t DcLower[4] = {0, 0, 0, 0}, DcUpper[4] = {1, 1, 1, 1};
    std::uint8_t AcLimit[4] = {5, 5, 5, 5};
};
void ReadDQT(StreamBuf& in, Tables& t);
void ReadDHT(StreamBuf& in, Tables& t);
void ReadDRI(StreamBuf& in, Tables& t);
void ReadDAC(StreamBuf& in, Tables& t);
// The scan-by-scan decoder from the first scan on (its header read): every
// scan into the coefficients, up to EOI, then the pixels into b (allocated
// when empty). Data that ends early or is damaged still gives the pixels
// decoded so far; then the error is raised. inMemory: in holds the rest
// of the file, and scans may be decoded on two threads.
void DecodeMultiScan(StreamBuf& in, Frame& f, Tables& t, const Scan& first, Buffer& b,
                     bool inMemory);
// Whether the rest of a multi-scan file (bytes) is to be read into memory
// for DecodeMultiScan: a progressive file large enough for two threads.
bool MultiScanInMemory(const Frame& f, std::int64_t bytes);
// Motion-JPEG frames leave out their Huffman tables and mean those of
// Annex K: tables 0 (luminance) and 1 (chrominance) that no DHT defined.
void UseStandardHuffmanWhereMissing(Tables& t);

// One MCU row of decoded samples, ready for upsampling and colour
// conversion into the target buffer.
struct McuRows {
    const std::uint8_t* Plane[3]; // first sample row of each component
    int Stride[3];
    // For 2 x 2 luminance sampling: the chroma rows just above and below
    // this MCU row (the row itself at the image's top and bottom edge).
    const std::uint8_t* Above[3];
    const std::uint8_t* Below[3];
    int Top;  // image row of the first row
    int Rows; // image rows in this MCU row
};
// Converts rows to pixels and stores those inside b's Area. scratch holds
// at least 2 x (frame width + 16) bytes, sums frame width / 2 + 16 values.
void OutputRows(const Frame& f, const McuRows& m, Buffer& b, std::uint8_t* scratch,
                std::int16_t* sums);

// Inverse DCT of one block of dequantized coefficients (natural order,
// each within +-2048) to 8 x 8 samples with the level shift and clamping.
void InverseDCT(const std::int32_t* coef, std::uint8_t* out, int stride);
// InverseDCT's code for the vector level in force now: decoders look it up
// once rather than dispatching on every block.
using InverseDCTCode = void (*)(const std::int32_t* coef, std::uint8_t* out, int stride);
InverseDCTCode ChosenInverseDCT();
// The same for 12-bit samples (coefficients within +-32768), each sample
// rounded to 8 bits.
void InverseDCT12(const std::int32_t* coef, std::uint8_t* out, int stride);
// Inverse DCT to w x h samples (each 1, 2, 4, 8 or 16): every sample is
// the mean of the 8 / w x 8 / h samples of the full transform it stands for
// (16: the transform's value halfway between two of them);
// 12-bit samples (precision 12) are rounded to 8 bits.
void ScaledIDCT(const std::int32_t* coef, std::uint8_t* out, int stride, int w, int h,
                int precision);
// Forward DCT of 8 x 8 level-shifted samples; the results are 8 times the
// T.81 coefficients (natural order).
void ForwardDCT(const std::int32_t* in, std::int32_t* out);

} // namespace jpeg
} // namespace pixkit
