// Components in the real main window: the scan at start-up with its menus,
// icon and message; the message order and values a recording component
// gets; Preview, Stop, OK, Cancel and undo; painting with a component; and
// components that crash, hang, ignore Stop or throw.
#include "browsegui.h"
#include "paintgui.h"

#include "effects/compform.h"
#include "effects/components.h"
#include "effects/kvcrunner.h"
#include "files/thumbnailer.h"
#include "platform/helpwindow.h"
#include "undo.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <random>
#include <set>

namespace fs = std::filesystem;
using kvtest::PaintGui;

namespace {

const std::string kTestComps = VM_BIN_DIR "/../tests/comps/";
const std::string kSamples = VM_BIN_DIR "/Comps/";

class ComponentGui : public PaintGui {
  protected:
    void SetUp() override {
        PaintGui::SetUp();
        kv::RunnerProgramOverride() = VM_BIN_DIR "/kvcrun";
        kv::Timeouts() = kv::RunnerTimeouts{};
        kv::Timeouts().LoadMs = 1500;
        kv::Timeouts().CallMs = 1500;
        kv::Timeouts().StopGraceMs = 500;
        record_ = (root_ / "record.txt").string();
        gate_ = (root_ / "wait").string();
        ::setenv("KVC_RECORD", record_.c_str(), 1);
        ::setenv("KVC_RECORD_WAIT", gate_.c_str(), 1);
    }
    void Install(const std::string& from, const std::string& folder) {
        const fs::path dir = fs::path(programDir_) / "Comps" / folder;
        fs::create_directories(dir);
        fs::copy_file(from, dir / fs::path(from).filename(), fs::copy_options::overwrite_existing);
    }
    std::vector<std::string> Record() const {
        std::ifstream in(record_);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    static int Count(const std::vector<std::string>& lines, const std::string& start) {
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
    }
    // A random image of w x h as the current image.
    static std::vector<pixkit::Pixel> Randomise(kv::TMainForm& form, int w = 60, int h = 40) {
        EXPECT_TRUE(form.Docs().AllocBlack(form.Docs().Current, w, h));
        kv::UDBuffer& image = form.Docs().CurrentImage();
        std::mt19937 rng(3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) *image.At(x, y) = rng() & 0xFFFFFF;
        image.Changed = 0;
        form.RefreshView();
        form.TakeSnapshot();
        return Pixels(form);
    }
    static kv::P_component& Effect(kv::TMainForm& form) { return form.Components().Effect; }
    static void Choose(kv::TMainForm& form, const std::string& name) {
        const auto& comps = form.Components().Comps.Components;
        for (std::size_t i = 0; i < comps.size(); ++i)
            if (comps[i].Desc.Name == name) {
                form.findChild<QAction*>(QString("Component%1").arg(i))->trigger();
                return;
            }
        ADD_FAILURE() << "no component " << name;
    }
    static QPushButton* Button(kv::TMainForm& form, const char* name) {
        return Effect(form).Form()->findChild<QPushButton*>(name);
    }
    std::string record_, gate_;
};

TEST_F(ComponentGui, StartupListsFoldersIconAndRefusedFiles) {
    Install(kSamples + "colour/Invert.kvc", "colour");
    Install(kSamples + "blur/GaussianBlur.kvc", "blur and sharpen");
    for (const char* f : {"CtorCrash", "CtorHang", "NoProcess", "Ver2"})
        Install(kTestComps + f + ".kvc", "broken");
    std::ofstream(fs::path(programDir_) / "Comps" / "broken" / "notes.kvc") << "text";
    RunPainting([&](kv::TMainForm& form) {
        auto* effects = form.findChild<QMenu*>("Effects1");
        ASSERT_NE(effects, nullptr);
        QStringList menus;
        for (QAction* a : effects->actions())
            if (a->menu()) menus << a->text();
        EXPECT_EQ(menus, (QStringList{"&Blur And Sharpen", "&Colour"}));
        // One icon on I whose variants are the components with an icon.
        const auto& icons = form.ToolFw().IconTable();
        const auto icon = std::find_if(icons.begin(), icons.end(),
                                       [](const kv::IconRecord& r) { return r.HotKey == 'I'; });
        ASSERT_NE(icon, icons.end());
        EXPECT_EQ(icon->Count, 2);
        EXPECT_EQ(icon->Columns, 8);
    });
    ASSERT_TRUE(reachedInteractive_);
    ASSERT_EQ(shown_.size(), 1u);
    for (const char* reason : {"CtorCrash.kvc: killed by signal", "CtorHang.kvc: did not load",
                               "NoProcess.kvc: no KVCPROCESS", "Ver2.kvc: Ver=2", "notes.kvc"})
        EXPECT_NE(shown_[0].Text.find(reason), std::string::npos) << reason << "\n"
                                                                  << shown_[0].Text;
}

TEST_F(ComponentGui, NoParameterComponentAppliesAtOnceWithUndo) {
    Install(kSamples + "colour/Invert.kvc", "colour");
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form);
        kv::P_icon* pen = form.ToolFw().Current;
        Choose(form, "Invert");
        EXPECT_EQ(form.ToolFw().Current, pen);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        const auto after = Pixels(form);
        for (std::size_t i = 0; i < before.size(); ++i) ASSERT_EQ(after[i], ~before[i] & 0xFFFFFF);
        ExpectUndoRestores(form, before);
    });
}

TEST_F(ComponentGui, RecordedMessagesValuesClicksAndPreviewRuns) {
    Install(kTestComps + "Record.kvc", "test");
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form, 60, 40);
        Choose(form, "Record");
        ASSERT_EQ(form.ToolFw().Current, &Effect(form));
        auto lines = Record();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], "INIT 60 40");
        // Every kind once; the Novice-hidden integer keeps its 4 bytes (1234).
        EXPECT_EQ(lines[1], "PARAMS 07000000"
                            "0000000000000440"
                            "d2040000"
                            "01000000"
                            "14000000"
                            "02000000"
                            "56341200"
                            "ffffff7f"
                            "03000000" +
                                std::string(80, '0'));
        EXPECT_EQ(lines[2].rfind("PROCESS 0 0", 0), 0u) << lines[2]; // instant preview
        EXPECT_NE(lines[2].find("full=0"), std::string::npos);
        // Preview twice computes once; the image shows the result.
        Button(form, "PreviewBtn")->click();
        Button(form, "PreviewBtn")->click();
        lines = Record();
        EXPECT_EQ(Count(lines, "PROCESS 0 0 59 39 masked=0 full=1"), 1);
        EXPECT_EQ(*form.Docs().CurrentImage().At(5, 5), ~before[5 * 60 + 5] & 0xFFFFFF);
        // A click on the right edge is x = 65535; the right button says so.
        Click(form, {59, 39}, Qt::RightButton);
        EXPECT_EQ(Record().back(), "CLICK 65535 65535 60 40 1 0");
        // Cancel: the image as it was, and CLOSE last.
        Button(form, "CancelBtn")->click();
        EXPECT_EQ(Record().back(), "CLOSE");
        form.ToolFw().HideFeedback(); // the pen's stamp under the pointer
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);

        // A one-pixel-wide image: a click is x = 0, not a division by zero.
        Randomise(form, 1, 30);
        fs::remove(record_);
        Choose(form, "Record");
        Click(form, {0, 29});
        EXPECT_EQ(Record().back(), "CLICK 0 65535 1 30 0 0");
        Button(form, "CancelBtn")->click();
    });
}

// During a run the view shows what the component wrote so far (here its
// first row), while the image itself stays as it was.
TEST_F(ComponentGui, StopThenPreviewComputesAndOkUndoes) {
    Install(kTestComps + "Record.kvc", "test");
    kv::Timeouts().PartialMs = 100;
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form);
        Choose(form, "Record");
        std::ofstream(gate_).flush();
        bool partialSeen = false;
        QTimer::singleShot(400, [&] {
            const pixkit::Buffer* shown = form.ShowBuf()->GetBuffer();
            EXPECT_NE(shown, &form.Docs().CurrentImage());
            if (shown != nullptr && shown != &form.Docs().CurrentImage()) {
                partialSeen = true;
                EXPECT_EQ(*shown->At(3, 0) & 0xFFFFFF, ~before[3] & 0xFFFFFF);
                EXPECT_EQ(*shown->At(3, 1) & 0xFFFFFF, before[60 + 3]);
            }
            EXPECT_TRUE(Pixels(form) == before) << "the image changed during the run";
            Button(form, "PreviewBtn")->click(); // reads "Stop"
        });
        Button(form, "PreviewBtn")->click();
        EXPECT_TRUE(partialSeen);
        EXPECT_FALSE(Effect(form).Running());
        EXPECT_EQ(form.ShowBuf()->GetBuffer(), &form.Docs().CurrentImage());
        EXPECT_TRUE(Pixels(form) == before) << "a stopped run shows nothing";
        fs::remove(gate_);
        Button(form, "OkBtn")->click();
        EXPECT_EQ(Count(Record(), "PROCESS 0 0 59 39 masked=0 full=1"), 2);
        EXPECT_NE(form.ToolFw().Current, &Effect(form));
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        EXPECT_EQ(Pixels(form)[0], ~before[0] & 0xFFFFFF);
        ExpectUndoRestores(form, before);
    });
}

TEST_F(ComponentGui, BrushDabsChangeOnlyPixelsUnderTheBrush) {
    Install(kSamples + "colour/Invert.kvc", "colour");
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form, 80, 60);
        kv::Painting& paint = form.Paintbox();
        paint.Brush.MakePixelBrush(kvtest::kDraw);
        // A 5 x 5 brush with transparent corners.
        pixkit::Buffer brush;
        brush.Alloc({5, 5});
        brush.Box(brush.Area, 0xFFFFFF);
        for (auto [x, y] : {std::pair{0, 0}, {4, 0}, {0, 4}, {4, 4}})
            *brush.At(x, y) = kv::kBrushTransparent;
        paint.Brush.Brush = brush;
        paint.Brush.Settings.Technique = kv::btPaint;
        paint.Brush.Settings.UserBrush = true;
        paint.BrushChanged();
        const auto& comps = form.Components().Comps.Components;
        ASSERT_EQ(comps.size(), 1u);
        form.ToolFw().SelectTool(&form.Components().Brush, true, comps[0].IconTool);
        ASSERT_EQ(form.ToolFw().Current, &form.Components().Brush);
        Click(form, {20, 20});
        const auto after = Pixels(form);
        kvtest::Points changed;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                const auto i = static_cast<std::size_t>(y * 80 + x);
                EXPECT_EQ(after[i] & 0xFF000000, 0u) << "a mark survived";
                if (after[i] != before[i]) {
                    EXPECT_EQ(after[i], ~before[i] & 0xFFFFFF);
                    changed.insert({x, y});
                }
            }
        kvtest::Points want = Box(18, 18, 22, 22);
        for (auto p : {std::pair{18, 18}, {22, 18}, {18, 22}, {22, 22}}) want.erase(p);
        EXPECT_EQ(changed, want);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        form.ToolFw().SelectTool(form.ToolFw().ToolByName("Continuous Freehand"), true, -1);
    });
}

// Each way of failing: the message names the component and the reason, the
// image is byte for byte as before, the previous tool is back and the next
// use starts a fresh runner.
TEST_F(ComponentGui, CrashHangIgnoredStopAndExceptionLeaveTheImage) {
    Install(kTestComps + "Faulty.kvc", "test");
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form);
        kv::P_icon* pen = form.ToolFw().Current;
        const struct {
            int Mode; // list item: 2 crash, 3 hang, 4 throw, 5 ignore Stop
            bool Stop;
            const char* Reason;
        } cases[] = {{2, false, "signal 11"},
                     {3, false, "did not answer"},
                     {4, false, "broken on purpose"},
                     {5, true, "did not stop"}};
        // The values last used are remembered: each case starts from "Fine".
        auto& faulty = form.Components().Comps.Components.at(0);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Reason);
            shown_.clear();
            faulty.Values = faulty.Desc.Defaults;
            Choose(form, "Faulty");
            ASSERT_EQ(form.ToolFw().Current, &Effect(form));
            auto* mode = Effect(form).Form()->findChild<QComboBox*>("Param1");
            ASSERT_NE(mode, nullptr);
            mode->setCurrentIndex(c.Mode - 1); // a hang already fails in the instant preview
            if (form.ToolFw().Current == &Effect(form)) {
                if (c.Stop) QTimer::singleShot(100, [&] { Button(form, "PreviewBtn")->click(); });
                Button(form, "OkBtn")->click();
            }
            EXPECT_EQ(form.ToolFw().Current, pen);
            ASSERT_EQ(shown_.size(), 1u);
            EXPECT_NE(shown_[0].Text.find("Faulty"), std::string::npos) << shown_[0].Text;
            EXPECT_NE(shown_[0].Text.find(c.Reason), std::string::npos) << shown_[0].Text;
            form.ToolFw().HideFeedback();
            EXPECT_TRUE(Pixels(form) == before);
            EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
        }
        // Still working: the fine mode applies.
        shown_.clear();
        faulty.Values = faulty.Desc.Defaults;
        Choose(form, "Faulty");
        Button(form, "OkBtn")->click();
        EXPECT_TRUE(shown_.empty());
        EXPECT_EQ(Pixels(form)[7], ~before[7] & 0xFFFFFF);
    });
}

// Keys in the dialog: digits stay in a number field, Enter commits the typed
// value and is OK, a letter is the main window's hot key (the effect is
// cancelled), Escape is Cancel. F1 shows the component's own help page while
// its dialog is active, and the manual again once it is closed.
TEST_F(ComponentGui, DialogKeysAndComponentHelp) {
    Install(kTestComps + "Record.kvc", "test");
    const fs::path page = fs::path(programDir_) / "Comps" / "test" / "record.md";
    std::ofstream(page) << "# Record\n\nText.\n\n## Values {#7}\n\nMore.\n";
    fs::create_directory_symlink(fs::path(VM_BIN_DIR) / "manual", fs::path(programDir_) / "manual");
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form);
        kv::P_icon* pen = form.ToolFw().Current;
        Choose(form, "Record");
        kv::TCompForm* dialog = Effect(form).Form();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog, Qt::Key_F1);
        ASSERT_NE(form.HelpWindow(), nullptr);
        EXPECT_EQ(form.HelpWindow()->Browser()->source().fileName(), "record.md");
        EXPECT_EQ(form.HelpWindow()->Browser()->source().fragment(), "7");

        auto* number = dialog->findChild<QSpinBox*>("Param1");
        ASSERT_NE(number, nullptr);
        number->setFocus();
        number->selectAll();
        QTest::keyClicks(number, "42");
        EXPECT_EQ(form.ToolFw().Current, &Effect(form));
        QTest::keyClick(number, Qt::Key_Return);
        EXPECT_EQ(form.ToolFw().Current, pen);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        const auto params = Record();
        ASSERT_GE(Count(params, "PARAMS 2a000000"), 1) << "the typed value was not sent";
        const auto after = Pixels(form);

        Choose(form, "Record");
        number = Effect(form).Form()->findChild<QSpinBox*>("Param1");
        number->setFocus();
        QTest::keyClick(number, Qt::Key_L);
        EXPECT_EQ(form.ToolFw().Current, form.ToolFw().ToolByName("Single Line"));
        EXPECT_FALSE(Effect(form).Form()->isVisible());
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == after);

        Choose(form, "Record");
        dialog = Effect(form).Form();
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Escape);
        EXPECT_NE(form.ToolFw().Current, &Effect(form));
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == after);
        EXPECT_FALSE(Pixels(form) == before);

        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.ShowBuf(), Qt::Key_F1);
        EXPECT_NE(form.HelpWindow()->Browser()->source().fileName(), "record.md");
    });
}

// Effects > folder > Browse: the folder's components as items, each
// thumbnail the component run on the image scaled to thumbnail size, a
// crashing or hanging one a placeholder (a log line, no message box), and
// a click that runs the component (Invert has no parameters: it applies at
// once).
TEST_F(ComponentGui, EffectBrowserShowsTheFolderAppliedToTheImage) {
    Install(kSamples + "colour/Invert.kvc", "colour");
    Install(kSamples + "colour/Greyscale.kvc", "colour");
    Install(kTestComps + "Crashing.kvc", "colour");
    Install(kTestComps + "Hanging.kvc", "colour");
    Install(kSamples + "blur/Emboss.kvc", "blur");
    Install(kSamples + "combine/BlendImage.kvc", "combine");
    Run({"-l"}, [&](kv::TMainForm& form) {
        const auto before = Randomise(form, 300, 200);
        pixkit::Buffer scaled;
        scaled.Alloc({120, 80});
        scaled.Scale(form.Docs().CurrentImage(), {120, 80}, {0, 0}, pixkit::NoKey,
                     kv::kThumbScaleMode);
        const auto& comps = form.Components().Comps;
        const auto colour = std::find(comps.Folders.begin(), comps.Folders.end(), "Colour");
        ASSERT_NE(colour, comps.Folders.end());
        QAction* browse = form.findChild<QAction*>(
            QString("BrowseEffects%1").arg(colour - comps.Folders.begin() + 1));
        ASSERT_NE(browse, nullptr);
        EXPECT_TRUE(browse->isEnabled());
        std::set<std::string> names;
        kvtest::WhenBrowserShows([&](kv::TBrowseForm& b) {
            for (const kv::BrowseItem& item : b.Items()) names.insert(item.Name);
            ASSERT_TRUE(kvtest::WaitPlaced(b));
            EXPECT_TRUE(b.windowTitle().startsWith("EffBr")) << b.windowTitle().toStdString();
            int invert = -1;
            for (std::size_t i = 0; i < b.Items().size(); ++i) {
                const std::string& name = b.Items()[i].Name;
                const pixkit::Buffer* thumb = b.PictureOf(static_cast<int>(i))->GetBuffer();
                ASSERT_NE(thumb, nullptr);
                if (name == "Invert") {
                    invert = static_cast<int>(i);
                    ASSERT_EQ(thumb->Width(), 120);
                    ASSERT_EQ(thumb->Height(), 80);
                    for (int y = 0; y < 80; ++y)
                        for (int x = 0; x < 120; ++x)
                            ASSERT_EQ(*thumb->At(x, y), ~*scaled.At(x, y) & 0xFFFFFF)
                                << x << "," << y;
                }
                if (name == "Crashing" || name == "Hanging") {
                    EXPECT_EQ(thumb->Width(), 120);
                    EXPECT_EQ(thumb->Height(), 90);
                    EXPECT_EQ(*thumb->At(60, 10), 0xE0E0E0u) << "not the placeholder";
                }
            }
            ASSERT_GE(invert, 0);
            QTest::mouseClick(b.PictureOf(invert), Qt::LeftButton);
        });
        browse->trigger();
        EXPECT_EQ(names, (std::set<std::string>{"Crashing", "Greyscale", "Hanging", "Invert"}));
        EXPECT_TRUE(shown_.empty());
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        EXPECT_EQ(Pixels(form)[0], ~before[0] & 0xFFFFFF);

        // The thumbnails see the open images: Blend Image mixes image 2 (a
        // 50 x 30 patch) half and half into the top left of the picture.
        pixkit::Buffer& other = form.Docs().Slots[1];
        other.Alloc({50, 30});
        other.Box({0, 0, 49, 29}, 0x204060);
        scaled.Scale(form.Docs().CurrentImage(), {120, 80}, {0, 0}, pixkit::NoKey,
                     kv::kThumbScaleMode);
        const auto combine = std::find(comps.Folders.begin(), comps.Folders.end(), "Combine");
        ASSERT_NE(combine, comps.Folders.end());
        kvtest::WhenBrowserShows([&](kv::TBrowseForm& b) {
            ASSERT_TRUE(kvtest::WaitPlaced(b));
            const pixkit::Buffer* thumb = b.PictureOf(0)->GetBuffer();
            ASSERT_NE(thumb, nullptr);
            const auto mix = [](pixkit::Pixel a, int shift) {
                return std::uint32_t(
                           ((a >> shift & 255) * 50 + (0x204060u >> shift & 255) * 50 + 50) / 100)
                       << shift;
            };
            int wrong = 0;
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 120; ++x) {
                    const pixkit::Pixel s = *scaled.At(x, y);
                    wrong += *thumb->At(x, y) !=
                             (x < 50 && y < 30 ? mix(s, 0) | mix(s, 8) | mix(s, 16) : s);
                }
            EXPECT_EQ(wrong, 0);
            b.close();
        });
        form.findChild<QAction*>(
                QString("BrowseEffects%1").arg(combine - comps.Folders.begin() + 1))
            ->trigger();
    });
    for (const char* file : {"Crashing.kvc", "Hanging.kvc"}) {
        int logged = 0;
        for (const std::string& line : LogLines())
            logged += line.find(std::string(file) + " failed on a thumbnail") != std::string::npos;
        EXPECT_EQ(logged, 1) << file;
    }
}
} // namespace

namespace {

// A component that asks for a new size: the image takes it with the old
// picture inside the border, and Cancel gives back size and pixels; a
// component answering each change with a change stops after eight levels.
TEST_F(ComponentGui, ResizeAndEndlessParameterEchoes) {
    Install(kSamples + "combine/AddBorder.kvc", "combine");
    Install(kTestComps + "Faulty.kvc", "test");
    RunPainting([&](kv::TMainForm& form) {
        const auto before = Randomise(form, 30, 20);
        Choose(form, "Add Border");
        Button(form, "PreviewBtn")->click();
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        ASSERT_EQ(image.Width(), 50);
        ASSERT_EQ(image.Height(), 40);
        EXPECT_EQ(*image.At(0, 0), 0xFFFFFFu);
        EXPECT_EQ(*image.At(10, 10), before[0]);
        EXPECT_EQ(*image.At(39, 29), before[19 * 30 + 29]);
        Button(form, "CancelBtn")->click();
        EXPECT_EQ(image.Width(), 30);
        EXPECT_TRUE(Pixels(form) == before);

        Choose(form, "Faulty");
        Effect(form).Form()->findChild<QComboBox*>("Param1")->setCurrentIndex(5);
        EXPECT_EQ(form.ToolFw().Current, &Effect(form));
        EXPECT_TRUE(shown_.empty());
        Button(form, "CancelBtn")->click();
    });
}

} // namespace
