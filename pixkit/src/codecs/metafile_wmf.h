// The Windows metafile player: header layout and record playback.
#pragma once

#include "metafile_dc.h"
#include "metafile_records.h"

#include <cstdint>
#include <vector>

namespace pixkit {

// What the headers say: where the records start, the object table size,
// the picture's logical frame and its natural size in pixels (96 dpi).
struct WmfInfo {
    bool placeable = false;
    std::size_t recordsAt = 0;
    std::size_t objects = 0;
    double left = 0, top = 0, width = 0, height = 0; // logical frame
    std::int64_t pixelsW = 0, pixelsH = 0;
};

// Reads the headers; false when data is not a metafile. A metafile whose
// natural size cannot be found or is beyond kMaxMetaSide gives sizes of 0.
bool ReadWmfInfo(const std::vector<std::uint8_t>& data, WmfInfo& info);
// Plays the records onto dc; stops at the end record.
void PlayWmfRecords(MetaDC& dc, const std::vector<std::uint8_t>& data, std::size_t at);
// Plays one record (function fn, parameters r) onto dc.
void PlayWmfRecord(MetaDC& dc, std::uint32_t fn, RecordView r);
// The bitmap records, and the region and clip records; false for other
// functions.
bool PlayWmfBitmapRecord(MetaDC& dc, std::uint32_t fn, RecordView r);
bool PlayWmfRegionRecord(MetaDC& dc, std::uint32_t fn, RecordView r);

} // namespace pixkit
