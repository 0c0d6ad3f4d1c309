// The scan-by-scan decoder's coefficients and their way to pixels: every
// block dequantized and transformed into planes of samples, which the
// single-scan decoder's upsampling and colour conversion turn into pixels.
// Usually that happens after the last scan. When the scan that completes
// every coefficient starts, a helper thread can follow it instead, making
// each band of rows as soon as the scan has finished the blocks it needs.
#pragma once

#include "jpeg.h"
#include "kept_memory.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace pixkit::jpeg {

struct CompCoefs {
    int BlocksW = 0, BlocksH = 0; // allocated: whole MCUs
    int UsedW = 0, UsedH = 0;     // blocks with image data (non-interleaved scans)
    KeptBlock Coef;               // 64 std::int16_t per block, natural order, quantized
    int Pred = 0;
    std::int16_t* Block(int bx, int by) const {
        return Coef.As<std::int16_t>() +
               (std::size_t(by) * std::size_t(BlocksW) + std::size_t(bx)) * 64;
    }
};

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
    std::atomic<bool> Done{false};

    void Publish(int comp, int rows) { Ready[comp].store(rows, std::memory_order_release); }
    void Bump() {
        Events.fetch_add(1);
        Events.notify_all();
    }
    void Halt() {
        Stop.store(true);
        Bump();
    }
    // Tests: waits until the follower has made every band the rows
    // published so far allow; after a second without, no more.
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
