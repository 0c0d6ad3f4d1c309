// The scan-by-scan decoder's coefficients and their way to pixels: every
// block dequantized and transformed into planes of samples, which the
// single-scan decoder's upsampling and colour conversion turn into pixels.
// Usually that happens after the last scan. When the scan that completes
// every coefficient starts, a helper thread can follow it instead, making
// each band of rows as soon as the scan has finished the blocks it needs.
// A progressive file in memory is first planned scan by scan, so that
// scans of different coefficients can be decoded side by side
// (jpeg_scan_order.cpp).
#pragma once

#include "jpeg.h"
#include "kept_memory.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace pixkit::jpeg {

// A component's quantized coefficients. The DC terms are kept apart from
// the AC terms: a DC scan then reads and writes 2 bytes a block, not a
// cache line, and can run on one thread while another decodes an AC scan.
struct CompCoefs {
    int BlocksW = 0, BlocksH = 0; // allocated: whole MCUs
    int UsedW = 0, UsedH = 0;     // blocks with image data (non-interleaved scans)
    KeptBlock Coef;               // 64 std::int16_t per block, natural order, [0] unused
    KeptBlock DcTerms;            // one std::int16_t per block
    std::size_t Index(int bx, int by) const {
        return std::size_t(by) * std::size_t(BlocksW) + std::size_t(bx);
    }
    std::int16_t* Block(int bx, int by) const {
        return Coef.As<std::int16_t>() + Index(bx, by) * 64;
    }
    std::int16_t& Dc(int bx, int by) const { return DcTerms.As<std::int16_t>()[Index(bx, by)]; }
};

// One scan of a file whose data is all in memory, found by walking its
// markers before any scan is decoded. Scans that share no coefficient of
// any component can then be decoded at the same time.
struct PlannedScan {
    Scan S;
    Frame F;                         // its components' table numbers
    std::shared_ptr<const Tables> T; // the tables as they stand for it
    int Start = 0;                   // where its data begins
    int End = 0;                     // just past the marker after its data
    std::uint8_t Marker = 0;         // that marker
    std::vector<int> After;          // the earlier scans it must wait for
};

// Where the entropy-coded data from start ends: the first marker in it
// other than a restart marker, its code and the position just past it.
// restarts: restart markers belong to the data (the scan has a restart
// interval); otherwise one, like the end of the data, coming first gives
// false.
bool FindDataEnd(const std::uint8_t* data, int size, int start, bool restarts, std::uint8_t& marker,
                 int& end);
// Fills each scan's After: the earlier scans that share a component and a
// coefficient with it.
void OrderScans(std::vector<PlannedScan>& plan);
// Calls decode(i) for each planned scan, on the calling thread and a
// helper (when work, in ForRows' units, is large enough for two): each
// scan once those it waits for are done, otherwise in file order. decode
// returns false when its scan failed; then no further scan starts and the
// result is false. A thread with no scan left to start while the last one
// still runs calls idle, which returns once that scan is over. Neither may
// throw.
bool DecodeScansInOrder(const std::vector<PlannedScan>& plan, std::int64_t work,
                        const std::function<bool(int)>& decode, const std::function<void()>& idle);
// The work of decoding the frame's scans, in ForRows' units.
std::int64_t ScansWork(const Frame& f);
// Test hooks: how many files had their scans decoded that way; with
// latest true, of the scans free to start the last is started rather than
// the first, so that a scan started before one it must wait for shows.
int ScansDecodedTogether();
void CountScansDecodedTogether();
void StartLatestFreeScan(bool latest);

// A component's samples in kept memory, left as it is (every byte is
// written).
class Plane {
  public:
    explicit Plane(std::size_t n = 0) {
        if (n != 0) bytes_ = KeptBlock(n);
    }
    std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t operator[](std::size_t i) const { return bytes_.data()[i]; }

  private:
    KeptBlock bytes_;
};

// Progress of bands that may finish in any order on any thread: the
// calling thread reports the rows done so far whenever it finishes a band.
class BandProgress {
  public:
    explicit BandProgress(int total, int done = 0) : total_(total), done_(done) {}
    void Done(int rows);

  private:
    const int total_;
    std::atomic<int> done_;
    const std::thread::id caller_ = std::this_thread::get_id();
};

// How far the scan being decoded has come, for the thread that follows it:
// Ready[i] block rows of component i are final.
struct ScanProgress {
    std::atomic<int> Ready[4] = {};
    std::atomic<unsigned> Events{0}; // moves on with every change
    std::atomic<bool> Stop{false};   // the scan is over: follow no further
    // The follower: the Events it found no band ready at, and whether it
    // has returned.
    std::atomic<unsigned> Idle{~0u};
    std::atomic<bool> Started{false}, Done{false};

    void Publish(int comp, int rows) { Ready[comp].store(rows, std::memory_order_release); }
    void Bump() {
        Events.fetch_add(1);
        Events.notify_all();
    }
    void Halt() {
        Stop.store(true);
        Bump();
    }
    // Tests: waits until a follower has started and made every band the
    // rows published so far allow, unless the following was stopped; after
    // a second without, no more.
    void AwaitFollower();
    bool GaveUp = false;
};

// Test hooks: with keep true, the scan that completes the coefficients
// waits after each row it publishes until the follower caught up, so that
// small pictures do go through it; the bands followers made so far.
void KeepPaceWithFollower(bool keep);
bool KeepingPace();
int FollowedBands();

// Pixels from the coefficients of every component, into b. Made with the
// quantization tables as they stand; the coefficients may still change
// until Finish, but only in rows a follower has not reached.
class CoefOutput {
  public:
    CoefOutput(const Frame& f, const Tables& t, const CompCoefs* comp, int mcusX, int hMax,
               int vMax, Buffer& b);

    // Whether Follow can make bands before the last scan is over: the
    // sampling goes to the smooth upsampling as it is, and every
    // quantization table is defined.
    bool CanFollow() const;
    // The work of the whole output, in ForRows' units.
    std::int64_t Work() const;
    // On a helper thread: transforms and outputs band after band, each as
    // soon as p shows every block row it reads final, until all are done or
    // p.Stop is set. Allocates nothing and never throws.
    void Follow(ScanProgress& p);
    // Whether t holds the quantization tables this was made with.
    bool SameTables(const Tables& t) const;
    // Everything Follow has not done, on every thread. Raises
    // EInvalidImage when a component's quantization table is undefined.
    void Finish();

  private:
    bool Defined() const;
    void TransformRows(int i, int first, int last);
    void TransformRest(int i);
    void OutputBands(int first, int last, std::uint8_t* scratch, std::int16_t* sums);
    int Needed(int i, int band) const;
    bool BandReady(const ScanProgress& p, int band) const;

    const Frame f_;
    Frame g_; // the frame as output: at a reduced scale, every plane full size
    const CompCoefs* comp_;
    Buffer& b_;
    int mcusX_, hMax_, vMax_;
    bool smooth_ = false, twoByTwo_ = false;
    int mcuH_ = 8, bands_ = 0;
    std::array<std::array<std::uint16_t, 64>, 4> quant_{};
    bool defined_[4] = {};
    Plane planes_[4];
    int w_[4] = {}, h_[4] = {}, strides_[4] = {};
    // Block rows transformed and bands output so far: written by Follow,
    // read after the thread that ran it was joined.
    int transformed_[4] = {};
    int bandsDone_ = 0;
    std::vector<std::uint8_t> scratch_; // Follow's
    std::vector<std::int16_t> sums_;
    BandProgress progress_;
};

} // namespace pixkit::jpeg
