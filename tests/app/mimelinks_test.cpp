// File-type links in a temporary XDG configuration and data directory.
#include "platform/mimelinks.h"
#include "platform/settings.h"
#include "prefs/extens.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class MimeLinksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvmime_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "config");
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* v = std::getenv(var);
            saved_.emplace_back(var, v ? std::optional<std::string>(v) : std::nullopt);
        }
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        store_ = std::make_unique<kv::SettingsStore>((dir_ / "kv.conf").string());
        links_ = std::make_unique<kv::FileTypeLinks>(*store_, "/opt/kv dir/kv");
    }
    void TearDown() override {
        for (auto& [var, value] : saved_) {
            if (value)
                ::setenv(var.c_str(), value->c_str(), 1);
            else
                ::unsetenv(var.c_str());
        }
        fs::remove_all(dir_);
    }
    std::string MimeApps() const {
        std::ifstream in(dir_ / "config" / "mimeapps.list");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void WriteMimeApps(const std::string& text) {
        std::ofstream(dir_ / "config" / "mimeapps.list") << text;
    }

    fs::path dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    std::unique_ptr<kv::SettingsStore> store_;
    std::unique_ptr<kv::FileTypeLinks> links_;
};

TEST_F(MimeLinksTest, PathsFollowTheXdgVariables) {
    EXPECT_EQ(kv::FileTypeLinks::MimeAppsPath(), (dir_ / "config" / "mimeapps.list").string());
    EXPECT_EQ(kv::FileTypeLinks::DesktopFilePath(),
              (dir_ / "data" / "applications" / kv::kDesktopFileName).string());
    EXPECT_EQ(kv::FileTypeLinks::MimeTypeOf(".BMP"), "image/bmp");
    EXPECT_EQ(kv::FileTypeLinks::MimeTypeOf(".frm"), "image/x-vellumatic-frm");
}

TEST_F(MimeLinksTest, LinkAndUnlinkGiveThePreviousDefaultBack) {
    WriteMimeApps("[Added Associations]\nimage/png=other.desktop;\n\n"
                  "[Default Applications]\nimage/bmp=viewer.desktop;\ntext/plain=ed.desktop\n");
    EXPECT_FALSE(links_->IsLinked(".bmp"));
    links_->Link(".BMP");
    EXPECT_TRUE(links_->IsLinked(".bmp")) << "upper case names the same extension";
    EXPECT_TRUE(links_->IsLinked(".BMP"));
    EXPECT_NE(MimeApps().find("image/bmp=org.vellumatic.Vellumatic.desktop;"), std::string::npos);
    EXPECT_NE(MimeApps().find("text/plain=ed.desktop"), std::string::npos);
    EXPECT_EQ(store_->ReadString(kv::kLinkStoreKey, ".bmp"), "viewer.desktop;");
    // Linking again keeps the stored previous default.
    links_->Link(".bmp");
    EXPECT_EQ(store_->ReadString(kv::kLinkStoreKey, ".bmp"), "viewer.desktop;");

    std::ifstream desktop(kv::FileTypeLinks::DesktopFilePath());
    std::stringstream d;
    d << desktop.rdbuf();
    EXPECT_NE(d.str().find("Exec=\"/opt/kv dir/kv\" %U"), std::string::npos);
    EXPECT_NE(d.str().find("MimeType=image/bmp;"), std::string::npos);

    links_->Unlink(".bmp");
    EXPECT_FALSE(links_->IsLinked(".bmp"));
    EXPECT_EQ(MimeApps(), "[Added Associations]\nimage/png=other.desktop;\n\n"
                          "[Default Applications]\nimage/bmp=viewer.desktop;\n"
                          "text/plain=ed.desktop\n");
}

TEST_F(MimeLinksTest, WithoutAPreviousDefaultUnlinkingRemovesTheEntry) {
    links_->Link(".pcx");
    links_->Link(".gif");
    EXPECT_TRUE(links_->IsLinked(".pcx"));
    links_->Unlink(".pcx");
    EXPECT_FALSE(links_->IsLinked(".pcx"));
    EXPECT_TRUE(links_->IsLinked(".gif"));
    EXPECT_EQ(MimeApps().find("image/vnd.zbrush.pcx"), std::string::npos);
    EXPECT_EQ(MimeApps().find(kv::FileTypeLinks::MimeTypeOf(".pcx")), std::string::npos);
}

TEST_F(MimeLinksTest, AnInstalledKvLinksToItsInstalledEntry) {
    const fs::path prefix = dir_ / "usr";
    fs::create_directories(prefix / "lib" / "vellumatic");
    fs::create_directories(prefix / "share" / "applications");
    std::ofstream(prefix / "share" / "applications" / kv::kDesktopFileName) << "[Desktop Entry]\n";
    kv::FileTypeLinks installed(*store_, (prefix / "lib" / "vellumatic" / "kv").string());
    installed.Link(".gif");
    EXPECT_TRUE(installed.IsLinked(".gif"));
    EXPECT_NE(MimeApps().find("image/gif=org.vellumatic.Vellumatic.desktop;"), std::string::npos);
    EXPECT_FALSE(fs::exists(kv::FileTypeLinks::DesktopFilePath()))
        << "no user copy shadows the installed entry";
}

TEST_F(MimeLinksTest, UnlinkingAnExtensionOfAnotherProgramLeavesIt) {
    WriteMimeApps("[Default Applications]\nimage/gif=viewer.desktop;\n");
    links_->Unlink(".gif");
    EXPECT_EQ(MimeApps(), "[Default Applications]\nimage/gif=viewer.desktop;\n");
}

TEST_F(MimeLinksTest, FormatStatesFromTheirExtensions) {
    links_->Link(".jpg");
    auto linked = [&](const std::string& e) { return links_->IsLinked(e); };
    EXPECT_EQ(kv::FormatLinkState("*.JPG;*.JPEG", linked), kv::LinkState::All)
        << ".jpg and .jpeg share their type";
    links_->Link(".kva");
    EXPECT_EQ(kv::FormatLinkState("*.KVA;*.KVB", linked), kv::LinkState::Some);
    EXPECT_EQ(kv::FormatLinkState("*.KVC", linked), kv::LinkState::None);
    // Unticking a mixed format unlinks both; greyed changes nothing.
    auto link = [&](const std::string& e) { links_->Link(e); };
    auto unlink = [&](const std::string& e) { links_->Unlink(e); };
    kv::ApplyLinkState("*.KVA;*.KVB", kv::LinkState::Some, kv::LinkState::Some, link, unlink);
    EXPECT_EQ(kv::FormatLinkState("*.KVA;*.KVB", linked), kv::LinkState::Some);
    kv::ApplyLinkState("*.KVA;*.KVB", kv::LinkState::Some, kv::LinkState::None, link, unlink);
    EXPECT_EQ(kv::FormatLinkState("*.KVA;*.KVB", linked), kv::LinkState::None);
    kv::ApplyLinkState("*.KVA;*.KVB", kv::LinkState::None, kv::LinkState::All, link, unlink);
    EXPECT_EQ(kv::FormatLinkState("*.KVA;*.KVB", linked), kv::LinkState::All);
}

TEST(Extens, ExtensionsOfAMask) {
    EXPECT_EQ(kv::ExtensionsOf("*.IFF;*.LBM"), (std::vector<std::string>{".IFF", ".LBM"}));
    EXPECT_EQ(kv::ExtensionsOf("*.A;;*.B"), (std::vector<std::string>{".A"}))
        << "an empty pattern ends the list";
    EXPECT_TRUE(kv::ExtensionsOf("").empty());
}

} // namespace
