// The enhanced metafile player: header layout and record playback.
#pragma once

#include "metafile_dc.h"
#include "metafile_records.h"

#include <cstdint>
#include <vector>

namespace pixkit {

struct EmfInfo {
    std::size_t objects = 0;
    std::int64_t pixelsW = 0, pixelsH = 0;  // natural size at 96 dpi
    Pair<double> mmPerDevice{0, 0};         // reference device
    Pair<double> scale{1, 1}, offset{0, 0}; // reference device to output
};

// Reads the header record; false when data is not an enhanced metafile.
// Sizes are 0 when the picture has no usable frame or is beyond
// kMaxMetaSide.
bool ReadEmfInfo(const std::vector<std::uint8_t>& data, EmfInfo& info);
// Plays the records after the header onto dc, up to the end record.
void PlayEmfRecords(MetaDC& dc, const std::vector<std::uint8_t>& data);
// Plays one record; r covers the whole record, its 8-byte type and size
// included (offsets inside records count from there).
void PlayEmfRecord(MetaDC& dc, std::uint32_t type, RecordView r);
// The bitmap and gradient records, and the region and clip records; false
// for other types.
bool PlayEmfBitmapRecord(MetaDC& dc, std::uint32_t type, RecordView r);
bool PlayEmfRegionRecord(MetaDC& dc, std::uint32_t type, RecordView r);

} // namespace pixkit
