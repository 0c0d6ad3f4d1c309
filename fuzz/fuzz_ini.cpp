// The INI reader behind the library configuration, on arbitrary file text.
#include <pixkit/buffer.h>
#include <pixkit/config.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/pixkit-fuzz-ini-" + std::to_string(getpid()) + ".ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // The profile names itself as the configuration file, so one input
    // drives both levels of the lookup.
    std::ofstream(path, std::ios::app) << "\n[QVX]\nconfig=" << path << "\n";
    pixkit::ReadLibraryConfig(path);
    std::remove(path.c_str());
    return 0;
}
