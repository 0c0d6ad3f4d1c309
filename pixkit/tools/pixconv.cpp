// pixconv: the graphics file registry from the command line.
//   pixconv info FILE...                  format, description fields, image count;
//                                         for metafiles the records not drawn
//   pixconv convert IN OUT [--image N] [--progress] [--keep-orientation]
//                                         a photo is turned upright as its EXIF
//                                         orientation asks unless kept as stored;
//                                         translucent pixels are put on white
//   pixconv fonts [DIR]                   raster-font families and their sizes
//   pixconv --version
// Errors print the exception's message and give a non-zero exit status.
#include <pixkit/gfxfile.h>
#include <pixkit/rfont.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

using namespace pixkit;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: pixconv info FILE...\n"
                         "       pixconv convert IN OUT [--image N] [--progress] "
                         "[--keep-orientation]\n"
                         "       pixconv fonts [DIR]\n"
                         "       pixconv --version\n");
    return 2;
}

// The format the registry would pick for the file, as GFXFile::Test does:
// the extension's format when it accepts the content, else the first that does.
GFXFile* Detect(const std::string& name, GFXFileDesc* d) {
    TFileStream s(name, TFileStream::Mode::OpenRead);
    GFXFile* f = GFXFile::GetDefaultFormat(name);
    if (f != nullptr && f->Test(&s, d) != 0) return f;
    return GFXFile::GetFormat(&s, d);
}

bool Info(const std::string& name) {
    try {
        GFXFileDesc d;
        GFXFile* f = Detect(name, &d);
        if (f == nullptr) throw EInvalidImage();
        std::printf("%s: %s\n  Width %d, Height %d, Color %d, WithPal %d, BPP %d, BPCC %d, "
                    "Images %d\n",
                    name.c_str(), f->Desc.c_str(), d.Width, d.Height, d.Color, d.WithPal, d.BPP,
                    d.BPCC, GFXFile::GetImgCount(name));
        // A metafile is played to find the records it would be drawn without.
        if (f->PlaysRecords) {
            Buffer b;
            GFXFile::Load(b, name, nullptr);
            std::printf("  skipped records: %s\n", SkippedRecordsText().c_str());
        }
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
        return false;
    }
}

void ProgStart() {
    std::fprintf(stderr, "start\n");
}
bool ProgStep(int percent) {
    std::fprintf(stderr, "%d%%\n", percent);
    return true;
}
void ProgEnd() {
    std::fprintf(stderr, "end\n");
}

int Convert(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    GFXtra32 x{0, 0, 0, 0x00FFFFFF, 1};
    bool upright = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--keep-orientation") {
            upright = false;
        } else if (args[i] == "--progress") {
            GFXFile::SetProgFunc(ProgStart, ProgStep, ProgEnd);
        } else if (args[i] == "--image" && i + 1 < args.size()) {
            char* end = nullptr;
            const long n = std::strtol(args[++i].c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > 0x7FFFFFFF) return Usage();
            x.Image = static_cast<std::int32_t>(n);
        } else if (args[i].rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return Usage();
    try {
        Buffer b, work;
        GFXFile::Load(b, files[0], &x);
        GFXFileDesc d;
        if (upright && Detect(files[0], &d) != nullptr) ApplyOrientation(b, d.Orientation);
        GFXFile::Save(b, files[1], &x, &work);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pixconv: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Lists the raster-font registry of the font directory (or of dir): one line
// per family with its sizes.
int Fonts(const std::vector<std::string>& args) {
    if (args.size() > 1) return Usage();
    if (!args.empty()) RFont::UseDirectory(args[0]);
    RFont::InitReg();
    std::printf("%s\n", RFont::GetPath().c_str());
    const RFontEntry* reg = RFont::GetReg();
    for (int i = 0; i < RFont::GetCount(); i += std::max(reg[i].FamilyCount, 1)) {
        std::printf("%s:", reg[i].Family.c_str());
        for (int k = i; k < i + reg[i].FamilyCount; ++k) std::printf(" %d", reg[k].Height);
        std::printf("\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pixconv %s\n", VM_VERSION);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "fonts") == 0)
        return Fonts(std::vector<std::string>(argv + 2, argv + argc));
    if (argc < 3) return Usage();
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (std::strcmp(argv[1], "info") == 0) {
        bool ok = true;
        for (const std::string& name : args) ok = Info(name) && ok;
        return ok ? 0 : 1;
    }
    if (std::strcmp(argv[1], "convert") == 0) return Convert(args);
    return Usage();
}
