// The settings store and the stored preferences.
#include "platform/settings.h"
#include "preferences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvsettings_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        path_ = (dir_ / "kv.conf").string();
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    fs::path dir_;
    std::string path_;
};

TEST_F(SettingsTest, EmptyStoreGivesTheDefaults) {
    kv::SettingsStore store(path_);
    const kv::Preferences p = kv::ReadPreferences(store);
    EXPECT_FALSE(p.Clipping);
    EXPECT_FALSE(p.OptimBrush);
    EXPECT_FALSE(p.AntiAlias);
    EXPECT_FALSE(p.BackupFiles);
    EXPECT_FALSE(p.CacheThumbs);
    EXPECT_EQ(p.Language, "");
    EXPECT_EQ(p.Level, 0);
    EXPECT_EQ(p.Palette, 0);
    EXPECT_EQ(p.MRUFiles, 6);
}

TEST_F(SettingsTest, WrittenValuesReadBackAndLanguageIsSeparate) {
    kv::Preferences p;
    p.Clipping = p.AntiAlias = p.CacheThumbs = true;
    p.Level = 1;
    p.Palette = 4;
    p.MRUFiles = 0;
    p.Language = "German";
    {
        kv::SettingsStore store(path_);
        ASSERT_TRUE(kv::WritePreferences(store, p));
    }
    kv::SettingsStore store(path_);
    kv::Preferences back = kv::ReadPreferences(store);
    EXPECT_TRUE(back.Clipping);
    EXPECT_FALSE(back.OptimBrush);
    EXPECT_TRUE(back.AntiAlias);
    EXPECT_FALSE(back.BackupFiles);
    EXPECT_TRUE(back.CacheThumbs);
    EXPECT_EQ(back.Level, 1);
    EXPECT_EQ(back.Palette, 4);
    EXPECT_EQ(back.MRUFiles, 0);
    EXPECT_EQ(back.Language, "") << "Language is written only when the user picks one";
    ASSERT_TRUE(kv::WriteLanguage(store, "German"));
    EXPECT_EQ(kv::ReadPreferences(kv::SettingsStore(path_)).Language, "German");
}

TEST_F(SettingsTest, KeysAreKeptAsWrittenAndValuesTyped) {
    {
        kv::SettingsStore store(path_);
        ASSERT_TRUE(store.WriteBinary("Software\\KV\\Toolbars", "State", {0, 1, 255}));
        ASSERT_TRUE(store.WriteInteger("Software\\KV\\TPreferences", "Level", 1));
        ASSERT_TRUE(store.Flush());
    }
    kv::SettingsStore store(path_);
    EXPECT_EQ(store.ReadBinary("Software\\KV\\Toolbars", "State"),
              (std::vector<std::uint8_t>{0, 1, 255}));
    EXPECT_FALSE(store.ValueExists("Software\\KV\\Toolbars", "Level"));
    EXPECT_EQ(store.ReadInteger("Software\\KV\\TPreferences", "Level"), 1);
    // A value that is not a number reads as absent, so the default stays.
    std::ofstream(path_, std::ios::app) << "[Other]\nx=1\n";
    std::ofstream(path_, std::ios::trunc) << "[Software]\nKV\\TPreferences\\MRUFiles=many\n";
    EXPECT_EQ(kv::ReadPreferences(kv::SettingsStore(path_)).MRUFiles, 6);
}

TEST_F(SettingsTest, ReadOnlyStoreStopsAtTheFirstWrite) {
    std::ofstream(path_) << "[Software]\nKV\\TPreferences\\Level=1\n";
    fs::permissions(path_, fs::perms::owner_read, fs::perm_options::replace);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    if (::access(path_.c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with write access to everything";
    kv::SettingsStore store(path_);
    kv::Preferences p;
    p.Level = 0;
    EXPECT_FALSE(kv::WritePreferences(store, p));
    EXPECT_EQ(kv::ReadPreferences(kv::SettingsStore(path_)).Level, 1);
}

} // namespace
