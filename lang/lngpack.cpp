// lngpack: writes a compressed language file (.lng) from a language text.
//   lngpack <text file> <output .lng>
#include "lngcodec.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lngpack <text file> <output .lng>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "lngpack: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        const std::vector<std::uint8_t> packed = lng::Pack(text);
        const std::string temp = std::string(argv[2]) + ".tmp";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(packed.data()),
                      static_cast<std::streamsize>(packed.size()));
            if (!out) {
                std::fprintf(stderr, "lngpack: cannot write %s\n", temp.c_str());
                return 1;
            }
        }
        if (std::rename(temp.c_str(), argv[2]) != 0) {
            std::fprintf(stderr, "lngpack: cannot write %s\n", argv[2]);
            return 1;
        }
    } catch (const lng::LngError& e) {
        std::fprintf(stderr, "lngpack: %s\n", e.what());
        return 1;
    }
    return 0;
}
