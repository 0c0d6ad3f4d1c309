// The library configuration: profile, configuration file, font directory.
#include <pixkit/buffer.h>
#include <pixkit/config.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace pixkit;
namespace fs = std::filesystem;

namespace {

struct ConfigTest : ::testing::Test {
    fs::path dir;
    int savedX = Buffer::default_x, savedY = Buffer::default_y;
    void SetUp() override {
        dir =
            fs::temp_directory_path() /
            ("pixkit-config-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::remove_all(dir);
        Buffer::default_x = savedX;
        Buffer::default_y = savedY;
    }
    void Write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
};

} // namespace

TEST_F(ConfigTest, SetupSectionSetsDefaultSizeAndFontDirGetsASlash) {
    const fs::path config = dir / "qvx.cfg";
    Write(dir / "profile.ini",
          "[Other]\nconfig=nothing\n[QVX]\nconfig = " + config.string() + "\n");
    Write(config, "[config]\nsetup=Studio\n[studio.setup]\nwidth=640\nheight=480\n[dirs]\n"
                  "fonts=/opt/fonts\n");
    ReadLibraryConfig((dir / "profile.ini").string());
    EXPECT_EQ(std::string(Buffer::GetConfigFile()), config.string());
    EXPECT_EQ(Buffer::GetDefaultX(), 640);
    EXPECT_EQ(Buffer::GetDefaultY(), 480);
    EXPECT_EQ(LibraryFontDir(), "/opt/fonts/");
}

TEST_F(ConfigTest, MissingValuesKeepDefaultsAndFontsLiveBesideTheLibrary) {
    const fs::path config = dir / "qvx.cfg";
    Write(dir / "profile.ini", "[QVX]\nconfig=" + config.string() + "\n");
    Write(config, "[config]\nsetup=a\n[a.setup]\nwidth=800\nheight=oops\n");
    Buffer::default_x = 256;
    Buffer::default_y = 192;
    ReadLibraryConfig((dir / "profile.ini").string());
    EXPECT_EQ(Buffer::GetDefaultX(), 800);
    EXPECT_EQ(Buffer::GetDefaultY(), 192);
    EXPECT_EQ(LibraryFontDir(), LibraryDir() + "fonts/");
    EXPECT_FALSE(LibraryDir().empty());

    ReadLibraryConfig((dir / "missing.ini").string());
    EXPECT_STREQ(Buffer::GetConfigFile(), "");
    EXPECT_EQ(LibraryFontDir(), LibraryDir() + "fonts/");
}
