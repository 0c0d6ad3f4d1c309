// The scanner on Linux: SANE, loaded at run time (libsane.so.1), so kv runs
// where it is not installed. Available means the library loads, initialises
// and lists at least one device. An acquired image is one frame (colour,
// grey or line art) delivered as a DIB in memory, which the caller decodes
// like a clipboard DIB.
#pragma once

#include "scanframe.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class QObject;

namespace kv {

struct ScanCancelled : std::runtime_error {
    ScanCancelled() : std::runtime_error("scan cancelled") {}
};

struct ScanDevice {
    std::string Name; // what sane_open takes, e.g. "test:0"
    std::string Vendor, Model, Type;
    // "Vendor Model (name)" for lists shown to the user.
    std::string Label() const;
};

class Scanner {
  public:
    explicit Scanner(std::string library = "libsane.so.1");
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // Loads and initialises the library and lists the devices; true when
    // there is at least one. Blocks while backends look for devices.
    bool Probe();
    // Runs Probe on a thread of its own and then calls done(available) on
    // context's thread (not at all when context is gone by then).
    void ProbeAsync(QObject* context, std::function<void(bool)> done);
    bool Available() const { return available_; }
    // True once the answer of ProbeAsync was delivered.
    bool Probed() const { return probed_; }

    // The devices as the library lists them now (empty when unavailable).
    std::vector<ScanDevice> Devices();
    // The device Acquire uses; empty: the first one listed.
    std::string Source;

    // Reads one image from the source. progress, when given, gets the
    // percentage read after every chunk and returns false to cancel; a
    // cancelled scan raises ScanCancelled. Raises std::runtime_error on
    // failure.
    std::vector<std::uint8_t> AcquireDib(const std::function<bool(int)>& progress = {});

  private:
    struct Api;
    void WaitForProbe();
    std::vector<ScanDevice> ListDevices();
    std::string library_;
    std::unique_ptr<Api> api_;
    std::thread probe_;
    bool available_ = false;
    bool probed_ = false;
    bool initialised_ = false;
};

} // namespace kv
