// Start-up and shutdown of the real main window: the log, the command line,
// update mode, opening a named image, stored preferences and toolbars.
#include "harness.h"

#include "aboutpanel.h"
#include "keys.h"
#include "preferences.h"
#include "resources.h"

#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QToolBar>

#include <fstream>
#include <regex>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

// A format only these tests know: "KVTEST" followed by width and height
// bytes; the pixels are x + 16 * y.
class TestFormat : public pixkit::GFXFile {
  public:
    TestFormat() : GFXFile("Test image", "*.KVTEST", false) {}
    std::int8_t Test(pixkit::TStream* s, pixkit::GFXFileDesc*) override {
        return GuardedTest(s, [&]() -> std::int8_t {
            char magic[6];
            s->ReadBuffer(magic, 6);
            return std::string(magic, 6) == "KVTEST" ? 1 : 0;
        });
    }
    void Load(pixkit::Buffer& b, pixkit::TStream* s, pixkit::GFXtra32*) override {
        std::uint8_t head[8];
        s->ReadBuffer(head, 8);
        pixkit::AllocImage(b, head[6], head[7]);
        for (int y = 0; y < head[7]; ++y)
            for (int x = 0; x < head[6]; ++x) *b.At(x, y) = pixkit::Pixel(x + 16 * y);
    }
    int GetImgCount(pixkit::TStream*) override { return 1; }
};
TestFormat gTestFormat;

void WriteTestImage(const fs::path& path, int w, int h) {
    std::ofstream(path, std::ios::binary) << "KVTEST" << char(w) << char(h);
}

bool AllBlack(const pixkit::Buffer& b) {
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            if (*b.At(x, y) != 0) return false;
    return true;
}

TEST_F(KvTest, LogHoldsTheStartAndEndLinesInOrder) {
    Run({"-l"});
    const std::vector<std::string> expected = {"Program started.",
                                               "MainForm created, loading resources.",
                                               "Resources loaded.",
                                               "Toolbar initialization started.",
                                               "Toolbar initialization finished.",
                                               "Creating About panel.",
                                               "Misc initialization started.",
                                               "Font set and buffers initialized.",
                                               "Registry entries loaded.",
                                               "Language resources loaded.",
                                               "Icons initialized.",
                                               "Scanning for components started.",
                                               "Scanning for components finished.",
                                               "Drawing mode initialized.",
                                               "Twain driver initialized.",
                                               "Language resources searched.",
                                               "Initialization finished. INTERACTIVE MODE STARTED.",
                                               "Registry entries saved.",
                                               "Application closed."};
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), expected.size());
    const std::regex stamp(R"(\[(\d{3}\.\d{2})\] (.*))");
    double last = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, stamp)) << lines[i];
        EXPECT_EQ(m[2].str(), expected[i]);
        const double t = std::stod(m[1].str());
        EXPECT_GE(t, last);
        last = t;
    }
}

TEST_F(KvTest, SecondRunStartsAFreshLogAndRunsWithoutSwitchWriteNothing) {
    Run({"-L", "picture.bmp"});
    const std::size_t first = LogLines().size();
    Run({"-l"});
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(lines.size(), first);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.find("Program started.") != std::string::npos;
                            }),
              1);
    // The switch, not the file, decides: nothing was opened.
    for (const std::string& l : lines) EXPECT_EQ(l.find("Image"), std::string::npos) << l;
    Run({});
    EXPECT_EQ(LogLines().size(), first);
}

TEST_F(KvTest, InvalidSwitchIsReportedAndStartUpGoesOn) {
    Run({"-x", "ignored.bmp"}, [](kv::TMainForm& form) {
        const kv::UDBuffer& slot = form.Docs().Slots[0];
        EXPECT_EQ(slot.Width(), pixkit::Buffer::default_x);
        EXPECT_EQ(slot.Height(), pixkit::Buffer::default_y);
        EXPECT_TRUE(AllBlack(slot));
        EXPECT_EQ(slot.FileState, 1);
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Untitled");
    });
    EXPECT_TRUE(reachedInteractive_);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "InvSwitch");
    EXPECT_EQ(shown_[0].Caption, "Err");
}

TEST_F(KvTest, UpdateModeWithAMissingFileMakesABlackImage) {
    const std::string missing = (root_ / "no such.bmp").string();
    Run({"-SPortrait", "320", "200", missing}, [](kv::TMainForm& form) {
        const kv::UDBuffer& slot = form.Docs().Slots[0];
        EXPECT_EQ(slot.Width(), 320);
        EXPECT_EQ(slot.Height(), 200);
        EXPECT_TRUE(AllBlack(slot));
        EXPECT_EQ(form.Docs().Current, 0);
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Portrait");
        EXPECT_FALSE(form.MenuCommand("Save1")->isVisible());
        EXPECT_FALSE(form.MenuCommand("SaveAs1")->isVisible());
        EXPECT_TRUE(form.MenuCommand("UpdateExit1")->isVisible());
        EXPECT_EQ(form.MenuCommand("UpdateExit1")->text().toStdString(), "&Update && Exit");
    });
    EXPECT_TRUE(reachedInteractive_);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(KvTest, UpdateModeWithAnExistingFileOpensIt) {
    const fs::path file = root_ / "edit me.kvtest";
    WriteTestImage(file, 5, 3);
    Run({"-sLetter", "320", "200", "\"" + (root_ / "edit").string(), "me.kvtest\""},
        [&](kv::TMainForm& form) {
            const kv::UDBuffer& slot = form.Docs().Slots[0];
            EXPECT_EQ(slot.Width(), 5);
            EXPECT_EQ(slot.FileName, file.string());
            EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Letter");
        });
    EXPECT_TRUE(shown_.empty());
}

TEST_F(KvTest, UpdateModeWithAnImpossibleSizeReportsImgBigAndCloses) {
    Run({"-SHuge", "100000", "100000", (root_ / "missing.bmp").string()});
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "ImgBig");
    EXPECT_EQ(shown_[0].Caption, "Err");
}

TEST_F(KvTest, QuotedNamesWithBlanksOpenSplitOrNot) {
    const fs::path file = root_ / "my holiday picture.kvtest";
    WriteTestImage(file, 4, 2);
    const std::string quoted = "\"" + file.string() + "\"";
    const std::string dir = root_.string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{quoted},
          std::vector<std::string>{"\"" + dir + "/my", "holiday", "picture.kvtest\""}}) {
        Run(args, [&](kv::TMainForm& form) {
            const kv::UDBuffer& slot = form.Docs().Slots[0];
            ASSERT_EQ(slot.Width(), 4);
            ASSERT_EQ(slot.Height(), 2);
            EXPECT_EQ(*slot.At(3, 1), 3u + 16u);
            EXPECT_EQ(slot.FileName, file.string());
            EXPECT_EQ(slot.FileState, 0);
            EXPECT_EQ(form.PanelText(0).toStdString().rfind("[1] ", 0), 0u);
            // The load went through the progress display of the status bar
            // (its panel 4 shows the first tool's status text by now): only
            // a started progress display carries the processing text.
            const auto* progress = form.findChild<QProgressBar*>();
            ASSERT_NE(progress, nullptr);
            EXPECT_EQ(progress->format().toStdString(), kv::Translate(key::Processing));
        });
    }
    EXPECT_TRUE(shown_.empty());
}

TEST_F(KvTest, SeveralFilesAndUrisOpenInFreeSlots) {
    WriteTestImage(root_ / "a.kvtest", 2, 2);
    WriteTestImage(root_ / "b c.kvtest", 3, 1);
    const std::string missing = (root_ / "gone.kvtest").string();
    Run({(root_ / "a.kvtest").string(), missing, "file://" + root_.string() + "/b%20c.kvtest"},
        [&](kv::TMainForm& form) {
            const auto& slots = form.Docs().Slots;
            EXPECT_EQ(slots[0].FileName, (root_ / "a.kvtest").string());
            EXPECT_EQ(slots[1].FileName, (root_ / "b c.kvtest").string())
                << "a file that fails leaves its slot free for the next";
            EXPECT_EQ(slots[1].Width(), 3);
            EXPECT_TRUE(slots[2].FileName.empty());
            EXPECT_EQ(form.Docs().Current, 0);
        });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "ErrOpenImg");
}

TEST_F(KvTest, ImageThatCannotBeOpenedIsReported) {
    std::ofstream(root_ / "junk.kvtest") << "not an image";
    const std::string missing = (root_ / "gone.kvtest").string();
    Run({missing}, [](kv::TMainForm& form) {
        EXPECT_TRUE(form.Docs().Slots[0].FileName.empty());
        EXPECT_EQ(form.Docs().Slots[0].Width(), pixkit::Buffer::default_x);
    });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "ErrOpenImg");
    Run({(root_ / "junk.kvtest").string()});
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].Text, "FormNotSup");
}

TEST_F(KvTest, PreferencesAndToolbarsAreStoredAtShutdown) {
    {
        kv::SettingsStore store(settingsPath_);
        store.WriteInteger(kv::kPreferencesKey, "MRUFiles", 9);
        store.WriteBool(kv::kPreferencesKey, "Clipping", true);
        store.Flush();
    }
    Run({}, [](kv::TMainForm& form) {
        EXPECT_EQ(form.Prefs().MRUFiles, 9);
        EXPECT_TRUE(form.Prefs().Clipping);
        EXPECT_EQ(form.Prefs().Palette, 0);
        EXPECT_TRUE(form.MenuCommand("ToolbarVisible1")->isChecked());
        EXPECT_TRUE(form.MenuCommand("PaletteVisible1")->isChecked());
        auto* palette = form.findChild<QToolBar*>("PaletteBar");
        form.addToolBar(Qt::RightToolBarArea, palette);
        form.MenuCommand("ToolbarVisible1")->trigger();
        EXPECT_FALSE(form.findChild<QToolBar*>("ToolBar")->isVisibleTo(&form));
        EXPECT_FALSE(form.findChild<QToolBar*>("Toolbar97")->isVisibleTo(&form));
        EXPECT_FALSE(form.findChild<QToolBar*>("GridBar")->isVisibleTo(&form));
    });
    {
        kv::SettingsStore store(settingsPath_);
        EXPECT_TRUE(store.ValueExists(kv::kToolbarsKey, "State"));
        EXPECT_EQ(store.ReadInteger(kv::kPreferencesKey, "Palette"), 0);
        EXPECT_EQ(store.ReadInteger(kv::kPreferencesKey, "Level"), 0);
        EXPECT_FALSE(store.ValueExists(kv::kPreferencesKey, "Language"));
    }
    Run({}, [](kv::TMainForm& form) {
        auto* palette = form.findChild<QToolBar*>("PaletteBar");
        EXPECT_EQ(form.toolBarArea(palette), Qt::RightToolBarArea);
        EXPECT_FALSE(form.MenuCommand("ToolbarVisible1")->isChecked());
        EXPECT_TRUE(form.MenuCommand("PaletteVisible1")->isChecked());
    });
}

TEST_F(KvTest, MenusHaveTheirCaptionsAndShortcutsAndUnbuiltCommandsAreDisabled) {
    Run({}, [](kv::TMainForm& form) {
        auto check = [&](const char* name, const char* caption, const char* shortcut) {
            QAction* a = form.MenuCommand(name);
            ASSERT_NE(a, nullptr) << name;
            EXPECT_EQ(a->text().toStdString(), caption);
            EXPECT_EQ(a->shortcut().toString().toStdString(), shortcut) << name;
        };
        check("New1", "&New...", "Ctrl+N");
        check("Save1", "&Save", "Ctrl+S");
        check("Crop1", "&Crop", "Ctrl+P");
        check("Both1", "&Both", "Ctrl+H");
        check("Outline1", "&Outline", "Ctrl+Shift+O");
        check("Paint1", "&Paint", "F2");
        check("Replace1", "&Replace", "F4");
        check("Preferences1", "Preferences...", "");
        check("Image10Item", "1&0 Untitled", "Alt+0");
        check("Image1Item", "  &1 Untitled", "Alt+1");
        check("NextImage1", "Next Image", "Alt+]");
        EXPECT_TRUE(form.MenuCommand("New1")->isEnabled());
        EXPECT_TRUE(form.MenuCommand("Print1")->isEnabled());
        EXPECT_TRUE(form.MenuCommand("Preferences1")->isEnabled());
        EXPECT_TRUE(form.MenuCommand("Exit1")->isEnabled());
        EXPECT_TRUE(form.MenuCommand("Image1Item")->isChecked());
        QStringList menus;
        for (QAction* a : form.menuBar()->actions()) menus << a->text();
        EXPECT_EQ(menus.join(',').toStdString(),
                  "&File,&Brush,&Image,Effe&cts,&Techniques,&Options,&Window,&Help");
        EXPECT_EQ(form.windowTitle().toStdString(), "Vellumatic");
        EXPECT_FALSE(kv::CursorById(kv::crPipette).pixmap().isNull());
        EXPECT_EQ(kv::CursorById(kv::crPipette).hotSpot(), QPoint(2, 30));
        EXPECT_EQ(kv::Glyph("PARENTF").size(), QSize(32, 28));
        // The splash was centred on the screen and is closed again.
        auto* about = form.findChild<kv::TAboutPanel*>("AboutPanel");
        ASSERT_NE(about, nullptr);
        EXPECT_FALSE(about->isVisible());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(about->x(), (screen.width() - about->width()) / 2);
        EXPECT_EQ(about->y(), (screen.height() - about->height()) / 2);
    });
}

} // namespace
