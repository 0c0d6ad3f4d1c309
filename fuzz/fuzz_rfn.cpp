// A raster font file, from the directory scan to drawing every character.
#include <pixkit/buffer.h>
#include <pixkit/rfont.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir =
        (std::filesystem::temp_directory_path() / ("pixkit-fuzz-rfn-" + std::to_string(getpid())))
            .string() +
        "/";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir + "fonts.bin");
    std::ofstream(dir + "f.rfn", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    pixkit::RFont::UseDirectory(dir);
    pixkit::RFont::InitReg();
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    pixkit::Buffer b;
    b.Alloc({96, 64});
    for (int i = 0; i < pixkit::RFont::GetCount(); ++i) {
        pixkit::RFont f;
        f.SetName(pixkit::RFont::GetReg()[i].Family);
        f.SetSize(pixkit::RFont::GetReg()[i].Height);
        for (int mode : {1, 0, -1}) {
            f.Mode = mode;
            b.OutText(f, {-5, -2}, all, 1);
            b.GetTextExtent(f, all);
        }
    }
    pixkit::RFont::UseDirectory("");
    return 0;
}
