// The command line, the log line format and where the log goes.
#include "cmdline.h"
#include "files/imageio.h"
#include "log.h"
#include "progdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using Kind = kv::CommandLine::Kind;

namespace {

kv::CommandLine Interpret(std::vector<std::string> args, bool exists = false) {
    return kv::InterpretCommandLine(args, [exists](const std::string&) { return exists; });
}

TEST(CommandLine, FirstArgumentDecides) {
    EXPECT_EQ(Interpret({}).What, Kind::None);
    EXPECT_EQ(Interpret({"-L", "picture.bmp"}).What, Kind::LogSwitch);
    EXPECT_EQ(Interpret({"-L", "picture.bmp"}).FirstArg, -1);
    EXPECT_EQ(Interpret({"-log"}).What, Kind::LogSwitch) << "text after the letter is ignored";
    EXPECT_EQ(Interpret({"-x"}).What, Kind::InvalidSwitch);
    EXPECT_EQ(Interpret({"-"}).What, Kind::InvalidSwitch);
    const kv::CommandLine open = Interpret({"picture.bmp", "-x"});
    EXPECT_EQ(open.What, Kind::OpenImage);
    EXPECT_EQ(open.FirstArg, 1);
    EXPECT_TRUE(kv::IsLogSwitch({"-l"}));
    EXPECT_FALSE(kv::IsLogSwitch({"-log"})) << "only exactly -l or -L switches the log on";
    EXPECT_FALSE(kv::IsLogSwitch({"x", "-l"}));
}

TEST(CommandLine, UpdateMode) {
    const kv::CommandLine missing = Interpret({"-SPortrait", "320", "200", "a", "b.bmp"});
    EXPECT_EQ(missing.What, Kind::Update);
    EXPECT_EQ(missing.Title, "Portrait");
    EXPECT_EQ(missing.Width, 320);
    EXPECT_EQ(missing.Height, 200);
    EXPECT_EQ(missing.TargetFile, "a b.bmp");
    EXPECT_EQ(missing.FirstArg, -1);
    const kv::CommandLine existing = Interpret({"-sMy Title", "1", "2", "\"x.bmp\""}, true);
    EXPECT_EQ(existing.Title, "My Title");
    EXPECT_EQ(existing.TargetFile, "x.bmp");
    EXPECT_EQ(existing.FirstArg, 4);
    const kv::CommandLine bad = Interpret({"-S", "wide", "200"});
    EXPECT_EQ(bad.Title, "");
    EXPECT_EQ(bad.Width, 0) << "not a number";
    EXPECT_EQ(bad.TargetFile, "");
}

TEST(CommandLine, FileNameJoinsArgumentsAndDropsQuotes) {
    EXPECT_EQ(kv::FileNameFromArgs({"\"/tmp/my", "holiday", "pic.bmp\""}, 1),
              "/tmp/my holiday pic.bmp");
    EXPECT_EQ(kv::FileNameFromArgs({"\"/tmp/my holiday pic.bmp\""}, 1), "/tmp/my holiday pic.bmp");
    EXPECT_EQ(kv::FileNameFromArgs({"-S", "1", "2", "a", "b"}, 4), "a b");
    EXPECT_EQ(kv::FileNameFromArgs({"a"}, 2), "");
}

TEST(CommandLine, ImageNamesFromALauncherOrAnOldCaller) {
    using Names = std::vector<std::string>;
    const auto none = [](const std::string&) { return false; };
    const auto onlyJoined = [](const std::string& n) { return n == "/tmp/my pic.bmp"; };
    EXPECT_EQ(kv::ImageNamesFromArgs({"file:///tmp/my%20pic.bmp", "/tmp/b.gif"}, 1, none),
              (Names{"/tmp/my pic.bmp", "/tmp/b.gif"}));
    EXPECT_EQ(kv::ImageNamesFromArgs({"/tmp/my", "pic.bmp"}, 1, onlyJoined),
              (Names{"/tmp/my pic.bmp"}))
        << "a name split at its blank is one file";
    EXPECT_EQ(kv::ImageNamesFromArgs({"\"/tmp/x", "y.bmp\""}, 1, none), (Names{"/tmp/x y.bmp"}));
    EXPECT_EQ(kv::ImageNamesFromArgs({"-S", "1", "2", "a"}, 5, none), Names{});

    EXPECT_EQ(kv::LocalPathOf("FILE://localhost/a%2fb%41%zz%4"), "/a/bA%zz%4");
    EXPECT_EQ(kv::LocalPathOf("file:///a%23b?x#y"), "/a#b");
    for (const std::string kept :
         {"file://server/share/a.bmp", "http://host/a.bmp", "file:", "relative%20name.bmp"})
        EXPECT_EQ(kv::LocalPathOf(kept), kept);
}

TEST(Log, LineFormat) {
    EXPECT_EQ(kv::FormatLogLine(3.25, "x"), "[003.25] x\n");
    EXPECT_EQ(kv::FormatLogLine(75.5, "Image successfully open."),
              "[075.50] Image successfully open.\n");
    EXPECT_EQ(kv::FormatLogLine(1000, "late"), "[1000.00] late\n");
}

TEST(Log, FallsBackToTheStateDirectoryAndDropsLinesQuietly) {
    const fs::path state = fs::temp_directory_path() / ("kvstate_" + std::to_string(::getpid()));
    fs::remove_all(state);
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    EXPECT_EQ(kv::LogDir("/nonexistent/program/"), state.string() + "/vellumatic/");
    EXPECT_TRUE(fs::is_directory(state / "vellumatic"));
    const fs::path writable = state / "bin";
    fs::create_directories(writable);
    EXPECT_EQ(kv::LogDir(writable.string() + "/"), writable.string() + "/");

    kv::StartLog((state / "missing" / "KV.LOG").string());
    kv::LogLine("nowhere to go");
    EXPECT_FALSE(fs::exists(state / "missing"));
    kv::StopLog();
    fs::remove_all(state);
}

// A metafile drawn without some of its records says which in the log.
TEST(Log, LoadingAMetafileLogsTheRecordsItIsDrawnWithout) {
    const fs::path dir = fs::temp_directory_path() / ("kvskip_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // A plain WMF: header, window extent 8 x 8, one SETLAYOUT, the end.
    const std::uint16_t words[] = {1, 9, 0x300,  22, 0, 0, 5, 0, 0, // header
                                   5, 0, 0x020C, 8,  8,             // SETWINDOWEXT
                                   5, 0, 0x014C, 1,  0,             // SETLAYOUT
                                   3, 0, 0};                        // end
    std::ofstream(dir / "skips.wmf", std::ios::binary)
        .write(reinterpret_cast<const char*>(words), sizeof words);
    kv::StartLog((dir / "KV.LOG").string());
    pixkit::Buffer b;
    pixkit::GFXtra32 extra{};
    extra.Image = 1;
    EXPECT_TRUE(kv::LoadImageFile(b, (dir / "skips.wmf").string(), extra, kv::LoadReport::Quiet));
    kv::StopLog();
    std::ifstream in(dir / "KV.LOG");
    const std::string log((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(log.find("skips.wmf: skipped records: SETLAYOUT x1"), std::string::npos) << log;
    fs::remove_all(dir);
}

} // namespace
