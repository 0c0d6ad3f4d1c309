// Bounds-checked access to the bytes of one metafile record, and the
// helpers both players share (colour references, packed DIBs).
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace pixkit {

// One record's bytes. Every read past its end raises EInvalidImage.
struct RecordView {
    const std::uint8_t* p;
    std::size_t n;

    void Need(std::size_t at, std::size_t bytes) const {
        if (at > n || bytes > n - at) throw EInvalidImage();
    }
    std::uint32_t U8(std::size_t at) const {
        Need(at, 1);
        return p[at];
    }
    std::uint32_t U16(std::size_t at) const {
        Need(at, 2);
        return p[at] | (std::uint32_t(p[at + 1]) << 8);
    }
    std::int32_t S16(std::size_t at) const { return std::int16_t(U16(at)); }
    std::uint32_t U32(std::size_t at) const { return U16(at) | (U16(at + 2) << 16); }
    std::int32_t S32(std::size_t at) const { return std::int32_t(U32(at)); }
    float F32(std::size_t at) const;
    RecordView Sub(std::size_t at, std::size_t bytes) const {
        Need(at, bytes);
        return {p + at, bytes};
    }
};

// A colour reference 0x00BBGGRR to a pixel (palette-relative references
// keep their RGB bits).
inline Pixel FromColorRef(std::uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// A DIB decoded from a record: header block and bits may lie apart (EMF)
// or together (WMF, bits directly behind the colour table).
struct DibSource {
    Buffer pixels;
    bool bottomUp = true;
};
// Decodes the DIB whose header block is info and whose bits are bits.
// palIndices: the colour table holds 16-bit palette indices
// (DIB_PAL_COLORS), which we cannot resolve; the decoder's default table is
// used. Raises EInvalidImage when the header or the bits do not fit.
void DecodeDib(DibSource& out, RecordView info, RecordView bits, bool palIndices);
// The size of a packed DIB's header and colour table (WMF records).
std::size_t DibHeaderBytes(RecordView dib, bool palIndices);

struct MetaBrush;
// A brush of a LOGBRUSH: BS_SOLID 0, BS_NULL 1, BS_HATCHED 2 with a hatch
// style; other styles in such records are hollow.
MetaBrush SolidOrHatchBrush(std::uint32_t style, Pixel colour, std::uint32_t hatch);
// A pattern brush from a DIB; mono: a monochrome brush, drawn in the text
// colour where its bits are 0 and the background colour where they are 1.
// A DIB that does not decode gives a hollow brush.
MetaBrush PatternBrush(RecordView info, RecordView bits, bool palIndices, bool mono);

// Record names ("ROUNDRECT", or the number for one we do not know), and
// whether a record has nothing to draw in our pictures (palettes, colour
// management, comments), so skipping it leaves nothing out.
std::string WmfRecordName(std::uint32_t fn);
std::string EmfRecordName(std::uint32_t type);
bool WmfRecordDrawsNothing(std::uint32_t fn);
bool EmfRecordDrawsNothing(std::uint32_t type);

} // namespace pixkit
