// The language table: loading packed files, the message rules and the
// window sections as text, the temporary file and the language search.
#include "lang.h"
#include "lngcodec.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Shown {
    std::string Text, Caption;
};

class LangTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvlang_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        previous_ = kv::SetMessageBoxHandler(
            [this](const std::string& text, const std::string& caption, kv::MsgFlags) {
                shown_.push_back({text, caption});
                return kv::MsgResult::Ok;
            });
    }
    void TearDown() override {
        kv::SetMessageBoxHandler(previous_);
        fs::remove_all(dir_);
    }
    void WriteLanguage(const std::string& file, const std::string& text) {
        const auto packed = lng::Pack(text);
        std::ofstream(dir_ / file, std::ios::binary)
            .write(reinterpret_cast<const char*>(packed.data()), std::streamsize(packed.size()));
    }
    std::string Dir() const { return dir_.string() + "/"; }

    fs::path dir_;
    std::vector<Shown> shown_;
    kv::MessageBoxHandler previous_;
};

TEST_F(LangTest, NoLanguageGivesTheKeys) {
    kv::TLang lang(Dir());
    EXPECT_EQ(lang.Translate("Untitled"), "Untitled");
    EXPECT_TRUE(lang.TempFileName.empty());
}

TEST_F(LangTest, MessageRules) {
    WriteLanguage("Test.lng", "; header comment\n"
                              "[Window]\n"
                              "Untitled=from a window section\n"
                              "  [messages]  \n"
                              "Untitled=Unbenannt\n"
                              "Sec=@s\n"
                              ";Hidden=comment\n"
                              "\n"
                              "   Spaced = padded   \n"
                              "Twice=first\n"
                              "Twice=second\n"
                              "Eq=a=b\n"
                              "Both=@@\r\n"
                              "[Later]\n"
                              "Late=found after another section\n");
    kv::TLang lang(Dir());
    ASSERT_TRUE(lang.LoadLanguage("Test"));
    EXPECT_EQ(lang.Translate("Untitled"), "Unbenannt");
    EXPECT_EQ(lang.Translate("Sec"), " s");
    EXPECT_EQ(lang.Translate(";Hidden"), ";Hidden");
    EXPECT_EQ(lang.Translate("Hidden"), "Hidden");
    EXPECT_EQ(lang.Translate("Spaced "), " padded");
    EXPECT_EQ(lang.Translate("Spaced"), "Spaced");
    EXPECT_EQ(lang.Translate("Twice"), "first");
    EXPECT_EQ(lang.Translate("Eq"), "a=b");
    EXPECT_EQ(lang.Translate("Both"), "  ");
    EXPECT_EQ(lang.Translate("Late"), "found after another section");
    EXPECT_EQ(lang.Translate("Missing"), "Missing");
    EXPECT_TRUE(shown_.empty());
}

TEST_F(LangTest, TemporaryTextLivesInTheTempDirectoryAndIsReplaced) {
    WriteLanguage("One.lng", "[Messages]\nK=one\n");
    WriteLanguage("Two.lng", "[Messages]\nK=two\n");
    std::string first;
    {
        kv::TLang lang(Dir());
        ASSERT_TRUE(lang.LoadLanguage("One"));
        first = lang.TempFileName;
        EXPECT_EQ(fs::path(first).parent_path(), fs::temp_directory_path());
        EXPECT_EQ(fs::path(first).filename().string().rfind("KVLNG", 0), 0u);
        EXPECT_TRUE(fs::exists(first));
        ASSERT_TRUE(lang.LoadLanguage("Two"));
        EXPECT_FALSE(fs::exists(first));
        EXPECT_EQ(lang.Translate("K"), "two");
        first = lang.TempFileName;
    }
    EXPECT_FALSE(fs::exists(first));
}

// Texts of killed programs are removed on the next load; a text another
// running program holds (locked), or one just created, stays.
TEST_F(LangTest, AbandonedTemporaryTextsAreRemoved) {
    WriteLanguage("One.lng", "[Messages]\nK=one\n");
    char digits[8];
    std::snprintf(digits, sizeof digits, "%05d", static_cast<int>(::getpid() % 100000));
    const auto tmp = fs::temp_directory_path();
    const fs::path abandoned = tmp / ("KVLNGa" + std::string(digits));
    const fs::path held = tmp / ("KVLNGb" + std::string(digits));
    const fs::path young = tmp / ("KVLNGc" + std::string(digits));
    for (const auto& p : {abandoned, held, young}) std::ofstream(p) << "x";
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    fs::last_write_time(abandoned, old);
    fs::last_write_time(held, old);
    const int lock = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    {
        kv::TLang lang(Dir());
        ASSERT_TRUE(lang.LoadLanguage("One"));
        EXPECT_FALSE(fs::exists(abandoned));
        EXPECT_TRUE(fs::exists(held));
        EXPECT_TRUE(fs::exists(young));
        // A second program's sweep leaves this one's text alone.
        fs::last_write_time(lang.TempFileName, old);
        kv::TLang other(Dir());
        ASSERT_TRUE(other.LoadLanguage("One"));
        EXPECT_TRUE(fs::exists(lang.TempFileName));
        EXPECT_EQ(lang.Translate("K"), "one");
    }
    ::close(lock);
    fs::remove(held);
    fs::remove(young);
}

TEST_F(LangTest, MissingOrDamagedFileIsReportedAndKeepsTheLanguageInUse) {
    WriteLanguage("Good.lng", "[Messages]\nK=good\n");
    const char bad[] = {5, 0, 0, 0, 1, 3, 'a', 'b', 'c'}; // three 1-bit codes
    std::ofstream(dir_ / "Bad.lng", std::ios::binary).write(bad, sizeof bad);
    kv::TLang lang(Dir());
    ASSERT_TRUE(lang.LoadLanguage("Good"));
    EXPECT_FALSE(lang.LoadLanguage("Nowhere"));
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "Can't Load Language File");
    EXPECT_EQ(shown_[0].Caption, "Error");
    EXPECT_EQ(lang.Translate("K"), "good");
    EXPECT_FALSE(lang.LoadLanguage("Bad"));
    EXPECT_EQ(shown_.size(), 2u);
    EXPECT_EQ(lang.Translate("K"), "good");
    // Without any language loaded, the keys are the texts.
    kv::TLang fresh(Dir());
    EXPECT_FALSE(fresh.LoadLanguage("Bad"));
    EXPECT_EQ(fresh.Translate("K"), "K");
}

TEST_F(LangTest, FileNameCaseIsFoundOnACaseSensitiveFileSystem) {
    WriteLanguage("german.lng", "[Messages]\nUntitled=Unbenannt\n");
    kv::TLang lang(Dir());
    lang.SearchLanguages();
    ASSERT_EQ(lang.Languages, std::vector<std::string>{"German"});
    ASSERT_TRUE(lang.LoadLanguage(lang.Languages[0]));
    EXPECT_EQ(lang.Translate("Untitled"), "Unbenannt");
}

TEST_F(LangTest, SearchFindsLanguageFilesOnlyDirectlyInTheDirectory) {
    WriteLanguage("ENGLISH.LNG", "x");
    WriteLanguage("german.lng", "x");
    WriteLanguage("notes.txt", "x");
    fs::create_directories(dir_ / "sub");
    WriteLanguage("sub/French.lng", "x");
    kv::TLang lang(Dir());
    lang.SearchLanguages();
    EXPECT_EQ(lang.Languages, (std::vector<std::string>{"English", "German"}));
}

TEST_F(LangTest, SectionsAsText) {
    WriteLanguage("S.lng", "[Messages]\n"
                           "PalEntries.Items=not a section line\n"
                           "[Preferences]\n"
                           "; comment=1\n"
                           " PalEntries . Items =8|12|16  \t\r\n"
                           "NoEquals\n"
                           ">=MainForm\n"
                           "ZoomLabel.Caption=@Z@\n"
                           "[Other]\n"
                           "X.Caption=no\n");
    kv::TLang lang(Dir());
    ASSERT_TRUE(lang.LoadLanguage("S"));
    const kv::Section s = lang.ReadSection("[Preferences]");
    ASSERT_TRUE(s.Found);
    ASSERT_EQ(s.Lines.size(), 3u);
    EXPECT_EQ(s.Lines[0].Path, (std::vector<std::string>{"PalEntries", "Items"}));
    EXPECT_EQ(s.Lines[0].Value, "8|12|16");
    EXPECT_TRUE(s.Lines[1].SwitchWindow);
    EXPECT_EQ(s.Lines[1].Value, "MainForm");
    EXPECT_EQ(s.Lines[2].Value, "@Z@");
    EXPECT_FALSE(lang.ReadSection("[Missing]").Found);
}

} // namespace
