// Image > Filter Factory on the real main window: a typing error shows the
// channel's "!" whose click selects from the error on, a slider moves the
// instant preview, Enter in a memo starts a new line, OK applies and Undo
// restores, Cancel and Escape leave the image, a stopped run changes
// nothing, .afs files load and save through the dialog, and Make writes a
// component that joins the Effects menu and gives the dialog's pixels.
#include "harness.h"

#include "effects/component.h"
#include "effects/components.h"
#include "effects/ffactform.h"
#include "effects/fffilter.h"
#include "effects/ffmake.h"
#include "effects/ffpayload.h"
#include "effects/kvcrunner.h"
#include "keys.h"
#include "tools/framework.h"
#include "undo.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <fstream>
#include <random>

namespace fs = std::filesystem;
using kv::TFFactForm;
using kvtest::KvTest;
using pixkit::Pixel;

namespace {

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

class FilterFactoryGui : public KvTest {
  protected:
    static constexpr int kW = 90, kH = 200;

    void PrepareImage(kv::TMainForm& form) {
        ASSERT_TRUE(form.Docs().AllocBlack(0, kW, kH));
        kv::UDBuffer& image = form.Docs().CurrentImage();
        std::mt19937 rng(7);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *image.At(x, y) = rng() & 0xFFFFFF;
        image.Changed = 0;
        form.RefreshView();
        original_ = PixelsOf(image);
    }
    // Opens the dialog through the menu; the tool is then the current one.
    TFFactForm* Open(kv::TMainForm& form) {
        form.MenuCommand("FilterFactory1")->trigger();
        tool_ = dynamic_cast<kv::P_FF_filter*>(form.ToolFw().Current);
        EXPECT_NE(tool_, nullptr);
        if (tool_ == nullptr) return nullptr;
        // Every band is followed by an input poll.
        tool_->Clock = [t = std::int64_t(0)]() mutable { return t += 100; };
        EXPECT_TRUE(tool_->Form()->isVisible());
        return tool_->Form();
    }
    static QPushButton* Btn(TFFactForm* d, const char* name) {
        return d->findChild<QPushButton*>(name);
    }
    static void SetText(TFFactForm* d, int channel, const QString& text) {
        d->Memo(channel)->setPlainText(text);
    }
    // The original filtered with what the dialog shows now.
    std::vector<Pixel> Filtered(TFFactForm* d) const {
        std::vector<std::uint32_t> out(original_.size());
        kv::ff::Filter(d->Programs(), d->SliderValues(), original_.data(), kW, kW, kH,
                       {out.data(), kW});
        return out;
    }

    kv::P_FF_filter* tool_ = nullptr;
    std::vector<Pixel> original_;
};

// Make needs the template beside the program and a runner for the new
// component; the program's "Comps" exists, so the save dialog opens there.
class FilterFactoryMake : public FilterFactoryGui {
  protected:
    void SetUp() override {
        FilterFactoryGui::SetUp();
        comps_ = fs::path(programDir_) / "Comps";
        fs::create_directories(comps_ / "tests");
        fs::copy_file(fs::path(VM_BIN_DIR) / kv::ff::kTemplateName,
                      fs::path(programDir_) / kv::ff::kTemplateName);
        kv::RunnerProgramOverride() = VM_BIN_DIR "/kvcrun";
    }
    // The dialog on the prepared image; every Save of it answers next and
    // is counted.
    TFFactForm* OpenAnsweringSaves(kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        if (d != nullptr)
            d->Dialogs.Save = [this](const kv::SaveRequest& r) {
                asked_.push_back(r);
                return std::optional<kv::SaveChoice>(kv::SaveChoice{next_.string(), 1});
            };
        return d;
    }
    static const kv::ComponentRecord* Find(kv::TMainForm& form, const std::string& name,
                                           int* index = nullptr) {
        const auto& all = form.Components().Comps.Components;
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].Desc.Name == name) {
                if (index) *index = int(i);
                return &all[i];
            }
        return nullptr;
    }

    fs::path comps_, next_;
    std::vector<kv::SaveRequest> asked_;
};

TEST_F(FilterFactoryGui, EditPreviewApplyUndoAndLeave) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        ASSERT_NE(d, nullptr);
        d->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        const QSize preview(d->PreviewResult().Width(), d->PreviewResult().Height());
        EXPECT_EQ(preview, QSize(40, 90)) << "90 x 200 scaled by 90 / 200";

        // A typing error shows the marker; its click selects from there on.
        QPlainTextEdit* red = d->Memo(0);
        red->setFocus();
        red->selectAll();
        QTest::keyClicks(red, "r + = 1");
        EXPECT_TRUE(d->Marker(0)->isVisible());
        EXPECT_FALSE(d->Marker(1)->isVisible());
        EXPECT_EQ(d->ErrorPos(0), 4);
        QTest::mouseClick(d->Marker(0), Qt::LeftButton);
        EXPECT_EQ(red->textCursor().selectedText(), "= 1");
        QTest::keyClicks(red, "- 7");
        EXPECT_FALSE(d->Marker(0)->isVisible()) << red->toPlainText().toStdString();

        // Enter in a memo starts a new line; the dialog stays.
        QPlainTextEdit* green = d->Memo(1);
        green->setFocus();
        green->moveCursor(QTextCursor::End);
        QTest::keyClick(green, Qt::Key_Return);
        QTest::keyClicks(green, "/ 2");
        EXPECT_EQ(green->toPlainText(), "g\n/ 2");
        EXPECT_TRUE(d->isVisible());

        // A slider move changes the preview and its value label.
        SetText(d, 2, "ctl(3)");
        EXPECT_EQ(*d->PreviewResult().At(5, 5) & 0xFF, 0u);
        d->Slider(3)->setValue(200);
        EXPECT_EQ(*d->PreviewResult().At(5, 5) & 0xFF, 200u);
        EXPECT_EQ(d->findChild<QLabel*>("Value3")->text(), "200");

        // Enter outside the memos is OK: one change, undone by Undo.
        const std::vector<Pixel> expected = Filtered(d);
        QTest::keyClick(d->findChild<QLineEdit*>("Title"), Qt::Key_Return);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), expected);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        EXPECT_NE(form.ToolFw().Current, tool_);
        form.UndoLastAction();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);

        // Escape after a Preview, and Cancel, leave the image as it was;
        // the definition is kept for the next opening.
        form.Docs().CurrentImage().Changed = 0;
        d = Open(form);
        EXPECT_EQ(d->Memo(0)->toPlainText(), "r + - 7");
        EXPECT_EQ(d->Slider(3)->value(), 200);
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), expected);
        QTest::keyClick(d->Memo(0), Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        d = Open(form);
        Btn(d, "CancelBtn")->click();
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
    });
}

// Stop during OK puts the image back and keeps the dialog; without memory
// for the snapshot the dialog does not open.
TEST_F(FilterFactoryGui, StoppedRunChangesNothing) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        ASSERT_NE(d, nullptr);
        SetText(d, 0, "255-c");
        QTimer::singleShot(0, d, [d] { Btn(d, "PreviewBtn")->click(); });
        Btn(d, "OkBtn")->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(tool_->Running());
        EXPECT_EQ(Btn(d, "PreviewBtn")->text(), "&Preview");
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
        Btn(d, "OkBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(d));
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);

        form.Undo().FailNextSnapshot();
        form.MenuCommand("FilterFactory1")->trigger();
        EXPECT_FALSE(d->isVisible());
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, key::NoMem);
    });
}

TEST_F(FilterFactoryGui, LoadAndSaveFiles) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        ASSERT_NE(d, nullptr);
        fs::path next;
        d->Dialogs.Open = [&next](const kv::OpenRequest&) {
            return std::optional<kv::OpenChoice>(kv::OpenChoice{next.string(), 1, 1});
        };
        d->Dialogs.Save = [&next](const kv::SaveRequest&) {
            return std::optional<kv::SaveChoice>(kv::SaveChoice{next.string(), 1});
        };
        kv::ff::Definition def;
        def.Expressions = {"b", "g", "r", "a"};
        def.Sliders = {1, 2, 3, 4, 5, 6, 7, 8};
        def.Captions[0] = "Amount";
        def.Category = "Tests", def.Title = "Swap", def.Author = "Me", def.Copyright = "None";
        d->SetDefinition(def);
        EXPECT_EQ(d->Definition(), def);

        next = root_ / "swap";
        Btn(d, "SaveBtn")->click();
        std::ifstream in(root_ / "swap.afs", std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(text, kv::ff::EncodeAfs(def));

        // Refused files change nothing and say why.
        d->SetDefinition(kv::ff::Definition{});
        std::ofstream(root_ / "bad.afs") << "%RGB-1.0\n1\n2\n3\n4\n5\n6\n7\n8 \n";
        for (const auto& [name, message] : {std::pair{"bad.afs", key::NotValidFF},
                                            std::pair{"missing.afs", key::CantOpenFilter}}) {
            shown_.clear();
            next = root_ / name;
            Btn(d, "LoadBtn")->click();
            ASSERT_EQ(shown_.size(), 1u) << name;
            EXPECT_EQ(shown_[0].Text, message);
            EXPECT_EQ(d->Definition(), kv::ff::Definition{}) << name;
        }
        shown_.clear();
        next = root_ / "swap.afs";
        Btn(d, "LoadBtn")->click();
        EXPECT_TRUE(shown_.empty());
        EXPECT_EQ(d->Definition(), def);
        EXPECT_EQ(d->Folder(), root_.string());
        EXPECT_EQ(*d->PreviewResult().At(3, 7) & 0xFF, *d->PreviewSource().At(3, 7) >> 16 & 0xFF)
            << "the preview follows the loaded definition";

        next = root_ / "swap.afs" / "inside.afs";
        Btn(d, "SaveBtn")->click();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, key::CantSaveFilter);
        Btn(d, "CancelBtn")->click();
    });
}

// The made file is a component the scan lists with the dialog's title,
// author and captioned sliders; it joins the Effects menu at once; run in
// the runner with other slider values it gives what OK gives with them:
// rnd from seed 0, the cells, src, d, m and the uncaptioned sliders.
TEST_F(FilterFactoryMake, MadeComponentIsListedAndGivesTheDialogsPixels) {
    Run({}, [this](kv::TMainForm& form) {
        TFFactForm* d = OpenAnsweringSaves(form);
        ASSERT_NE(d, nullptr);
        kv::ff::Definition def;
        def.Expressions = {"255 - c + ctl(2)", "src(x+ctl(0)-128,y,z)*3/4+(i>>2)",
                           "put(rnd(0, ctl(1)), x & 3),\n(d + m) * ctl(5) / 64 + 128 ^ get(x & 3)",
                           ""};
        def.Sliders = {140, 77, 30, 0, 0, 200, 0, 9};
        def.Captions[0] = "Shift";
        def.Captions[5] = "Depth, strong";
        def.Captions[6] = "  ";
        def.Title = "Made Filter", def.Author = "Tester", def.Copyright = "(c) Nobody";
        d->SetDefinition(def);
        next_ = comps_ / "tests" / "made";
        Btn(d, "MakeBtn")->click();
        EXPECT_TRUE(shown_.empty()) << shown_[0].Text;
        ASSERT_EQ(asked_.size(), 1u);
        EXPECT_EQ(asked_[0].Directory, comps_.string());
        EXPECT_EQ(asked_[0].FileName, "Made Filter.kvc");

        const kv::ScanResult scan =
            kv::ScanComponents({comps_.string()}, [](const std::string&) {});
        ASSERT_EQ(scan.Components.size(), 1u);
        const kv::ComponentDesc& desc = scan.Components[0].Desc;
        EXPECT_EQ(scan.Components[0].File, (comps_ / "tests" / "made.kvc").string());
        EXPECT_EQ(desc.Name, "Made Filter");
        EXPECT_EQ(desc.Contact, "Tester");
        EXPECT_EQ(desc.Copyright, "(c) Nobody");
        EXPECT_TRUE(desc.InstantPreview() && desc.PreviewButton());
        EXPECT_EQ(desc.Params[0].Label, "Shift");
        EXPECT_EQ(desc.Params[1].Label, "Depth; strong");
        EXPECT_EQ(desc.Params[2].Kind, 0) << "a blank caption makes no parameter";
        for (int k : {0, 1}) {
            EXPECT_EQ(desc.Params[std::size_t(k)].Kind, 5);
            EXPECT_EQ(desc.Params[std::size_t(k)].Max, 255);
        }
        EXPECT_EQ(desc.Defaults[0].Int, 140);
        EXPECT_EQ(desc.Defaults[1].Int, 200);

        int index = -1;
        const kv::ComponentRecord* rec = Find(form, "Made Filter", &index);
        ASSERT_NE(rec, nullptr) << "the new component is in the menu at once";
        auto* item = form.findChild<QAction*>(QString("Component%1").arg(index));
        ASSERT_NE(item, nullptr);
        auto* folder = qobject_cast<QMenu*>(item->parent());
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->title(), "&Tests");

        // The component with its sliders moved, and OK with the same values.
        kv::ComponentRecord moved = *rec;
        moved.Values[0].Int = 90;
        moved.Values[1].Int = 17;
        d->Slider(0)->setValue(90);
        d->Slider(5)->setValue(17);
        pixkit::Buffer made;
        std::string error;
        ASSERT_TRUE(kv::RunComponentOnPicture(moved, form.Docs().CurrentImage(), made, error))
            << error;
        kv::ff::RandomSeed() = 0;
        Btn(d, "OkBtn")->click();
        ASSERT_FALSE(d->isVisible());
        ASSERT_NE(PixelsOf(form.Docs().CurrentImage()), original_);
        EXPECT_EQ(PixelsOf(made), PixelsOf(form.Docs().CurrentImage()));

        // Made again under another title: the same entry, renamed.
        const std::size_t count = form.Components().Comps.Components.size();
        d = Open(form);
        d->findChild<QLineEdit*>("Title")->setText("Remade");
        Btn(d, "MakeBtn")->click();
        EXPECT_EQ(form.Components().Comps.Components.size(), count);
        EXPECT_NE(Find(form, "Remade"), nullptr);
        EXPECT_EQ(Find(form, "Made Filter"), nullptr);
        Btn(d, "CancelBtn")->click();
    });
}

// Refused definitions and files leave no file behind and the old one as it
// was; the save dialog is not asked when the definition cannot be made.
// Without the program's Comps, Make uses the user's component folder.
TEST_F(FilterFactoryMake, RefusalsLeaveNoFileAndTheUserFolderServes) {
    std::ofstream(comps_ / "old.kvc") << "old";
    fs::create_directories(comps_ / "dir.kvc");
    Run({}, [this](kv::TMainForm& form) {
        TFFactForm* d = OpenAnsweringSaves(form);
        ASSERT_NE(d, nullptr);
        // As long as the dialog allows: longest captions and fields, and
        // formulas of many short lines.
        kv::ff::Definition huge;
        std::string sum = "r";
        for (int i = 0; i < 300; ++i) sum += "\n+0";
        huge.Expressions = {sum, sum, sum, ""};
        for (std::string& c : huge.Captions) c.assign(1020, 'c');
        for (std::string* f : {&huge.Category, &huge.Title, &huge.Author, &huge.Copyright})
            f->assign(1023, 'f');
        ASSERT_GT(kv::ff::EncodeAfs(huge).size(), kv::ff::kPayloadBytes);
        kv::ff::Definition syntax;
        syntax.Expressions[1] = "g +";
        const fs::path old = comps_ / "old.kvc";
        const fs::path tmpl = fs::path(programDir_) / kv::ff::kTemplateName;
        struct Case {
            const char* What;
            kv::ff::Definition Def;
            fs::path Target;
            const char* Message;
            bool Asks;
        } cases[] = {
            {"syntax error", syntax, old, key::CantMakeSyntax, false},
            {"too long", huge, old, key::CantMakeTooBig, false},
            {"folder is a file", {}, old / "made.kvc", key::CantSaveComp, true},
            {"no such folder", {}, comps_ / "none" / "made.kvc", key::CantSaveComp, true},
            {"target is a folder", {}, comps_ / "dir.kvc", key::CantSaveComp, true},
            {"no template", {}, old, key::CantSaveComp, true},
        };
        const std::size_t components = form.Components().Comps.Components.size();
        for (const Case& c : cases) {
            if (std::string(c.What) == "no template") fs::remove(tmpl);
            shown_.clear();
            asked_.clear();
            d->SetDefinition(c.Def);
            next_ = c.Target;
            Btn(d, "MakeBtn")->click();
            ASSERT_EQ(shown_.size(), 1u) << c.What;
            EXPECT_EQ(shown_[0].Text, c.Message) << c.What;
            EXPECT_EQ(asked_.size(), c.Asks ? 1u : 0u) << c.What;
            std::ifstream in(old);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old") << c.What;
            std::vector<std::string> files;
            for (const auto& e : fs::recursive_directory_iterator(comps_))
                files.push_back(e.path().lexically_relative(comps_).string());
            std::sort(files.begin(), files.end());
            EXPECT_EQ(files, (std::vector<std::string>{"dir.kvc", "old.kvc", "tests"})) << c.What;
            EXPECT_EQ(form.Components().Comps.Components.size(), components) << c.What;
        }

        // Without the program's Comps the dialog opens in the user's
        // component folder, made for it; what is made there is in the menu.
        fs::copy_file(fs::path(VM_BIN_DIR) / kv::ff::kTemplateName, tmpl);
        fs::remove_all(comps_);
        const fs::path user = root_ / "data" / "vellumatic" / "Comps";
        asked_.clear();
        d->SetDefinition(kv::ff::Definition{});
        next_ = user / "plain.kvc";
        Btn(d, "MakeBtn")->click();
        ASSERT_EQ(asked_.size(), 1u);
        EXPECT_EQ(asked_[0].Directory, user.string());
        EXPECT_EQ(asked_[0].FileName, "") << "no title";
        const kv::ComponentRecord* plain = Find(form, "plain");
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(plain->Folder, -1);
        Btn(d, "CancelBtn")->click();
    });
}

} // namespace
