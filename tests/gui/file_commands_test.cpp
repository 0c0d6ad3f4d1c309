// The File menu on the real main window with real files: round trips in
// every format that saves, dialog filters, backups, the unsaved-changes
// question and the exit walk, update mode, recent files, damaged input and
// unwritable targets. No language is loaded, so messages read as their keys.
#include "exif_segment.h"
#include "harness.h"

#include "files/filecommands.h"
#include "files/filenames.h"
#include "files/newform.h"
#include "platform/settings.h"
#include "preferences.h"

#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

std::string ReadAll(const fs::path& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A picture of a few flat colours (so palette and lossy formats keep it).
void PaintPattern(pixkit::Buffer& b, int w, int h) {
    b.Alloc({w, h});
    const pixkit::Pixel colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = colours[(x / 4 + y / 4) % 6];
}

// The largest and the mean channel difference.
std::pair<int, double> Difference(const pixkit::Buffer& a, const pixkit::Buffer& b) {
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = std::abs(int((*a.At(x, y) >> shift) & 0xFF) -
                                       int((*b.At(x, y) >> shift) & 0xFF));
                worst = std::max(worst, d);
                sum += d;
            }
    return {worst, sum / (3.0 * a.Width() * a.Height())};
}

// While one exists, file permissions bind this thread even when it runs as
// root (the overriding capabilities are off in its effective set).
class PermissionsBind {
  public:
    PermissionsBind() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~PermissionsBind() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionsBind(const PermissionsBind&) = delete;
    PermissionsBind& operator=(const PermissionsBind&) = delete;

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool active_ = false;
};

class FileCommandsTest : public KvTest {
  protected:
    // The dialogs answer from these; a dialog with no answer is cancelled.
    void UseTestDialogs(kv::TMainForm& form) {
        kv::FileDialogs& d = form.Files().Dialogs;
        d.Open = [this](const kv::OpenRequest& r) {
            openRequests_.push_back(r);
            auto answer = openAnswer_;
            openAnswer_.reset();
            return answer;
        };
        d.Save = [this](const kv::SaveRequest& r) {
            saveRequests_.push_back(r);
            auto answer = saveAnswer_;
            saveAnswer_.reset();
            return answer;
        };
        d.NewSize = [this](pixkit::Pair<int> offered) {
            offeredSizes_.push_back(offered);
            auto answer = newAnswer_;
            newAnswer_.reset();
            return answer;
        };
    }
    void OpenFile(kv::TMainForm& form, const fs::path& name, int filterIndex = 1, int image = 1) {
        openAnswer_ = kv::OpenChoice{name.string(), filterIndex, image};
        form.MenuCommand("Open1")->trigger();
    }
    // The save dialog's entry a user picks for name: its format's.
    static int SaveIndexOf(const fs::path& name) {
        return kv::FilterIndexFromName(kv::BuildFilter(kv::FilterKind::Save, "All").Text,
                                       name.string());
    }
    void SaveAs(kv::TMainForm& form, const fs::path& name) {
        saveAnswer_ = kv::SaveChoice{name.string(), SaveIndexOf(name)};
        form.MenuCommand("SaveAs1")->trigger();
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const kvtest::Shown& s : shown_) texts.push_back(s.Text);
        return texts;
    }
    void WriteSettings(const std::string& name, bool value) {
        kv::SettingsStore store(settingsPath_);
        store.WriteBool(kv::kPreferencesKey, name, value);
        store.Flush();
    }

    std::optional<kv::OpenChoice> openAnswer_;
    std::optional<kv::SaveChoice> saveAnswer_;
    std::optional<pixkit::Pair<int>> newAnswer_;
    std::vector<kv::OpenRequest> openRequests_;
    std::vector<kv::SaveRequest> saveRequests_;
    std::vector<pixkit::Pair<int>> offeredSizes_;
};

TEST_F(FileCommandsTest, EverySavingFormatRoundTripsThroughSaveAsAndOpen) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        int formats = 0;
        for (pixkit::GFXFile* f = pixkit::GFXFile::Formats(); f != nullptr; f = f->Next) {
            if (!f->CanSave) continue;
            ++formats;
            const std::string ext = kv::NameForType("x", f->Mask).substr(1);
            SCOPED_TRACE(f->Desc);
            kv::UDBuffer& doc = form.Docs().CurrentImage();
            PaintPattern(doc, 21, 13);
            pixkit::Buffer original;
            PaintPattern(original, 21, 13);
            doc.Changed = 3;
            const fs::path file = root_ / ("round" + ext);
            SaveAs(form, file);
            ASSERT_TRUE(fs::exists(file));
            EXPECT_EQ(doc.FileName, file.string());
            EXPECT_EQ(doc.Changed, 0);
            EXPECT_EQ(doc.FileState, 0);
            EXPECT_EQ(form.PanelText(4).toStdString(), "Img saved");

            doc.Box(doc.Area, 0x123456);
            OpenFile(form, file);
            kv::UDBuffer& loaded = form.Docs().CurrentImage();
            ASSERT_EQ(loaded.Width(), 21);
            ASSERT_EQ(loaded.Height(), 13);
            const auto [worst, mean] = Difference(loaded, original);
            if (ext == ".jpg") {
                EXPECT_LE(mean, 12.0); // sharp edges in a small picture
            } else {
                EXPECT_EQ(worst, 0);
            }
            EXPECT_EQ(loaded.FileName, file.string());
        }
        EXPECT_GE(formats, 3);
        EXPECT_TRUE(shown_.empty()) << shown_.front().Text;
    });
}

TEST_F(FileCommandsTest, OpenStartsAtAllAndRemembersTheFilterAndDirectory) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        form.MenuCommand("Open1")->trigger(); // cancelled
        ASSERT_EQ(openRequests_.size(), 1u);
        const kv::DialogFilter open = kv::BuildFilter(kv::FilterKind::Open, "All");
        EXPECT_EQ(openRequests_[0].Filter, open.Text);
        EXPECT_EQ(openRequests_[0].FilterIndex, open.Count);
        EXPECT_EQ(openRequests_[0].Title, "Open Image");

        // Save a BMP somewhere, open it with the second filter entry.
        fs::create_directories(root_ / "pics");
        PaintPattern(form.Docs().CurrentImage(), 4, 4);
        SaveAs(form, root_ / "pics" / "a.bmp");
        OpenFile(form, root_ / "pics" / "a.bmp", 2);
        form.MenuCommand("Open1")->trigger();
        ASSERT_EQ(openRequests_.size(), 3u);
        EXPECT_EQ(openRequests_[2].FilterIndex, 2);
        EXPECT_EQ(openRequests_[2].Directory, (root_ / "pics").string());

        // Save as starts at the entry of the document's extension.
        form.MenuCommand("SaveAs1")->trigger();
        ASSERT_EQ(saveRequests_.size(), 2u);
        const kv::SaveRequest& r = saveRequests_[1];
        EXPECT_EQ(r.Title, "Save Image");
        EXPECT_EQ(r.FileName, (root_ / "pics" / "a.bmp").string());
        ASSERT_GT(r.FilterIndex, 0);
        const auto masks =
            kv::SplitFilter(r.Filter)[static_cast<std::size_t>(r.FilterIndex - 1)].Masks;
        EXPECT_NE(std::find(masks.begin(), masks.end(), "*.BMP"), masks.end());
    });
}

TEST_F(FileCommandsTest, SaveWithBackupsKeepsTheOldFileAsUnderscoreName) {
    WriteSettings("BackupFiles", true);
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        PaintPattern(doc, 8, 8);
        const fs::path file = root_ / "pic.bmp";
        SaveAs(form, file);
        EXPECT_FALSE(fs::exists(root_ / "pic._bm")) << "nothing to keep the first time";
        const std::string first = ReadAll(file);
        doc.Box(doc.Area, 0xFFFFFF);
        doc.Changed = 1;
        form.MenuCommand("Save1")->trigger(); // named: no dialog
        EXPECT_EQ(saveRequests_.size(), 1u);
        EXPECT_EQ(ReadAll(root_ / "pic._bm"), first);
        EXPECT_NE(ReadAll(file), first);
        EXPECT_EQ(doc.Changed, 0);
    });
}

TEST_F(FileCommandsTest, NewFormOffersTheLastSizeAndMakesAnUntitledImage) {
    Run({}, [this](kv::TMainForm& form) {
        // The real dialog, answered once it is up.
        std::vector<std::pair<int, int>> offered;
        auto answer = [&](int w, int h, bool accept) {
            QTimer::singleShot(0, [&offered, w, h, accept] {
                auto* dialog = qobject_cast<kv::TNewForm*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                auto* x = dialog->findChild<QSpinBox*>("SizeX");
                auto* y = dialog->findChild<QSpinBox*>("SizeY");
                offered.emplace_back(x->value(), y->value());
                EXPECT_EQ(x->maximum(), 16384);
                EXPECT_EQ(y->minimum(), 1);
                x->setValue(w);
                y->setValue(h);
                accept ? dialog->accept() : dialog->reject();
            });
            form.MenuCommand("New1")->trigger();
        };
        form.SetBackColor(0x336699);
        answer(30, 20, true);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        EXPECT_EQ(doc.Width(), 30);
        EXPECT_EQ(doc.Height(), 20);
        EXPECT_EQ(*doc.At(29, 19) & 0xFFFFFF, 0x336699u);
        EXPECT_TRUE(doc.FileName.empty());
        EXPECT_EQ(doc.FileState, 1);
        EXPECT_EQ(doc.Changed, 0);
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Untitled");
        answer(5, 5, false);
        ASSERT_EQ(offered.size(), 2u);
        EXPECT_EQ(offered[0], std::make_pair(pixkit::Buffer::default_x, pixkit::Buffer::default_y));
        EXPECT_EQ(offered[1], std::make_pair(30, 20));
        EXPECT_EQ(form.Docs().CurrentImage().Width(), 30) << "a cancelled dialog changes nothing";
        // "Save" of an untitled image asks for a name; cancelling saves nothing.
        UseTestDialogs(form);
        form.MenuCommand("Save1")->trigger();
        EXPECT_EQ(saveRequests_.size(), 1u);
    });
}

TEST_F(FileCommandsTest, UnsavedQuestionNamesTheImageAndItsAnswersWork) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        doc.Changed = 2;
        answers_ = {kv::MsgResult::Cancel};
        newAnswer_ = pixkit::Pair<int>{3, 3};
        form.MenuCommand("New1")->trigger();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, "Untitled [1] Changed");
        EXPECT_EQ(shown_[0].Caption, "Warn");
        EXPECT_TRUE(offeredSizes_.empty()) << "Cancel stops the command";
        EXPECT_EQ(doc.Changed, 2);

        // Yes with a cancelled save stops too.
        answers_ = {kv::MsgResult::Yes};
        form.MenuCommand("New1")->trigger();
        EXPECT_EQ(saveRequests_.size(), 1u);
        EXPECT_TRUE(offeredSizes_.empty());
        // Yes with a save goes on.
        answers_ = {kv::MsgResult::Yes};
        saveAnswer_ = kv::SaveChoice{(root_ / "kept.bmp").string(), SaveIndexOf("kept.bmp")};
        form.MenuCommand("New1")->trigger();
        EXPECT_TRUE(fs::exists(root_ / "kept.bmp"));
        EXPECT_EQ(offeredSizes_.size(), 1u);
        EXPECT_EQ(form.Docs().CurrentImage().Width(), 3);
    });
}

TEST_F(FileCommandsTest, TheChosenTypeWinsAndTheUserSeesTheNameItGives) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        const int bmp = SaveIndexOf("x.bmp");
        const fs::path typed = root_ / "out.png", shown = root_ / "out.png.bmp";
        // "out.png" with BMP chosen: the dialog comes back with the final
        // name; cancelled there, nothing is written.
        saveAnswer_ = kv::SaveChoice{typed.string(), bmp};
        form.MenuCommand("SaveAs1")->trigger();
        ASSERT_EQ(saveRequests_.size(), 2u);
        EXPECT_EQ(saveRequests_[1].FileName, shown.string());
        EXPECT_EQ(saveRequests_[1].FilterIndex, bmp);
        EXPECT_FALSE(fs::exists(typed));
        EXPECT_FALSE(fs::exists(shown));
        // Confirmed, a BMP file is written under the name shown.
        kv::FileDialogs& d = form.Files().Dialogs;
        d.Save = [&](const kv::SaveRequest& r) {
            saveRequests_.push_back(r);
            return std::optional<kv::SaveChoice>(
                kv::SaveChoice{saveRequests_.size() == 3 ? typed.string() : r.FileName, bmp});
        };
        form.MenuCommand("SaveAs1")->trigger();
        ASSERT_TRUE(fs::exists(shown));
        pixkit::TFileStream in(shown.string(), pixkit::TFileStream::Mode::OpenRead);
        pixkit::GFXFileDesc desc;
        const pixkit::GFXFile* format = pixkit::GFXFile::GetFormat(&in, &desc);
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format, pixkit::GFXFile::GetDefaultFormat("x.bmp"));
        EXPECT_EQ(form.Docs().CurrentImage().FileName, shown.string());
        const std::string filter =
            "A (*.FRM)|*.FRM|B (*.BMP;*.DIB)|*.BMP;*.DIB|All|*.FRM;*.BMP;*.DIB|";
        EXPECT_EQ(kv::NameForChosenType(filter, 2, "p.DIB"), "p.DIB");
        EXPECT_EQ(kv::NameForChosenType(filter, 2, "p.frm"), "p.frm.bmp");
        EXPECT_EQ(kv::NameForChosenType(filter, 3, "p.png"), "p.png") << "All";
    });
}

TEST_F(FileCommandsTest, ExitWalkCancelledAtSlotFourKeepsRunningWithSlotFourCurrent) {
    Run({}, [this](kv::TMainForm& form) {
        for (kv::UDBuffer& slot : form.Docs().Slots) slot.Changed = 1;
        answers_ = {kv::MsgResult::No, kv::MsgResult::No, kv::MsgResult::No, kv::MsgResult::Cancel};
        EXPECT_FALSE(form.close());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.Docs().Current, 3);
        EXPECT_EQ(form.PanelText(0).toStdString(), "[4] Untitled");
        ASSERT_EQ(shown_.size(), 4u);
        EXPECT_EQ(shown_[3].Text, "Untitled [4] Changed");
        for (int i = 0; i < 3; ++i) EXPECT_EQ(form.Docs().Slots[std::size_t(i)].Changed, 0) << i;
        EXPECT_EQ(form.Docs().Slots[3].Changed, 1);
        EXPECT_EQ(form.Docs().Slots[9].Changed, 1);
        // The harness closes next and the rest are answered No.
    });
    EXPECT_EQ(shown_.size(), 4u + 7u);
}

TEST_F(FileCommandsTest, UpdateModeAsksBeforeExitAndWritesTheImageBack) {
    const fs::path target = root_ / "edit.bmp";
    Run({"-SPortrait", "8", "6", target.string()}, [&](kv::TMainForm& form) {
        kv::UDBuffer& doc = form.Docs().Slots[0];
        *doc.At(2, 3) = 0x00FF00;
        doc.Changed = 1;
        answers_ = {kv::MsgResult::Cancel};
        EXPECT_FALSE(form.close());
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, "Update");
        EXPECT_FALSE(fs::exists(target));
        answers_ = {kv::MsgResult::Yes};
        EXPECT_TRUE(form.close());
    });
    pixkit::Buffer written;
    pixkit::GFXFile::Load(written, target.string(), nullptr);
    ASSERT_EQ(written.Width(), 8);
    ASSERT_EQ(written.Height(), 6);
    EXPECT_EQ(*written.At(2, 3) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(*written.At(0, 0) & 0xFFFFFF, 0u);

    // "&Update && Exit" writes back without asking and ends the program.
    shown_.clear();
    Run({"-SPortrait", "8", "6", target.string()}, [&](kv::TMainForm& form) {
        EXPECT_TRUE(form.MenuCommand("UpdateExit1")->isVisible());
        kv::UDBuffer& doc = form.Docs().Slots[0];
        *doc.At(7, 5) = 0x0000FF;
        doc.Changed = 1;
        form.MenuCommand("UpdateExit1")->trigger();
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_TRUE(shown_.empty());
    pixkit::GFXFile::Load(written, target.string(), nullptr);
    EXPECT_EQ(*written.At(7, 5) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(*written.At(2, 3) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(FileCommandsTest, RecentEntryOfImageThreeOfAGifReopensImageThree) {
    const fs::path gif = root_ / "four.gif";
    const std::string make =
        "convert -size 3x2 xc:red xc:lime xc:blue xc:yellow '" + gif.string() + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "ImageMagick is not available";
    ASSERT_EQ(pixkit::GFXFile::GetImgCount(gif.string()), 4);
    Run({}, [&](kv::TMainForm& form) {
        UseTestDialogs(form);
        OpenFile(form, gif, 1, 3);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        EXPECT_EQ(doc.ImageNo, 3);
        EXPECT_EQ(*doc.At(0, 0) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(form.Docs().DocumentLabel(), "[1] " + gif.string() + ": 3");
        // Image 1 of another file, then the entry brings image 3 back.
        PaintPattern(doc, 4, 4);
        SaveAs(form, root_ / "other.bmp");
        auto* reopen = form.findChild<QMenu*>("Reopen1");
        ASSERT_NE(reopen, nullptr);
        ASSERT_GE(reopen->actions().size(), 2);
        EXPECT_EQ(reopen->actions()[0]->text().toStdString(), (root_ / "other.bmp").string());
        EXPECT_EQ(reopen->actions()[1]->text().toStdString(), gif.string() + ": 3");
        reopen->actions()[1]->trigger();
        kv::UDBuffer& again = form.Docs().CurrentImage();
        EXPECT_EQ(again.ImageNo, 3);
        EXPECT_EQ(again.Width(), 3);
        EXPECT_EQ(*again.At(2, 1) & 0xFFFFFF, 0x0000FFu);
        // Saving it over the four-image file would lose the other three:
        // "&Save" asks for a name instead.
        again.Changed = 1;
        form.MenuCommand("Save1")->trigger();
        EXPECT_EQ(saveRequests_.size(), 2u);
        EXPECT_EQ(pixkit::GFXFile::GetImgCount(gif.string()), 4);
    });
    // The list outlives the run.
    Run({}, [&](kv::TMainForm& form) {
        auto* reopen = form.findChild<QMenu*>("Reopen1");
        ASSERT_GE(reopen->actions().size(), 2);
        EXPECT_TRUE(reopen->isEnabled());
        EXPECT_EQ(reopen->actions()[0]->text().toStdString(), gif.string() + ": 3");
    });
}

// A camera photo stored sideways with an EXIF Orientation tag opens upright.
TEST_F(FileCommandsTest, APhotoTurnedByItsExifTagOpensUpright) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        pixkit::Buffer stored;
        PaintPattern(stored, 48, 32);
        const fs::path plain = root_ / "plain.jpg", photo = root_ / "photo.jpg";
        pixkit::GFXFile::Save(stored, plain.string(), nullptr, nullptr);
        std::ifstream in(plain, std::ios::binary);
        const std::string jpeg(std::istreambuf_iterator<char>(in), {});
        std::ofstream(photo, std::ios::binary)
            << jpeg.substr(0, 2) + testref::ExifSegment(6) + jpeg.substr(2);
        pixkit::Buffer expected;
        pixkit::GFXFile::Load(expected, plain.string(), nullptr);
        pixkit::ApplyOrientation(expected, 6);

        OpenFile(form, photo);
        const kv::UDBuffer& doc = form.Docs().CurrentImage();
        ASSERT_EQ(doc.Width(), 32);
        ASSERT_EQ(doc.Height(), 48);
        EXPECT_EQ(Difference(doc, expected).first, 0);
    });
}

TEST_F(FileCommandsTest, DamagedUnknownAndMissingFilesLeaveTheImageAlone) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        PaintPattern(doc, 40, 30);
        SaveAs(form, root_ / "whole.bmp");
        fs::copy_file(root_ / "whole.bmp", root_ / "cut.bmp");
        fs::resize_file(root_ / "cut.bmp", fs::file_size(root_ / "cut.bmp") / 2);
        std::ofstream(root_ / "junk.gif") << "GIF89a but nothing after";
        std::ofstream(root_ / "text.bmp") << "plain text";
        PaintPattern(doc, 9, 7);
        doc.FileName = "mine";
        const pixkit::Pixel* before = doc.Data;
        shown_.clear();

        answers_ = {kv::MsgResult::No};
        OpenFile(form, root_ / "cut.bmp");
        OpenFile(form, root_ / "junk.gif");
        OpenFile(form, root_ / "text.bmp");
        OpenFile(form, root_ / "missing.bmp");
        OpenFile(form, root_ / "odd name ' \" $x.bmp");
        fs::permissions(root_ / "whole.bmp", fs::perms::none);
        {
            PermissionsBind bind;
            OpenFile(form, root_ / "whole.bmp"); // unreadable
        }
        fs::permissions(root_ / "whole.bmp", fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(Messages(), (std::vector<std::string>{"ErrLoadImg", "FormNotSup", "FormNotSup",
                                                        "ErrOpenImg", "ErrOpenImg", "ErrOpenImg"}));
        EXPECT_EQ(doc.Data, before);
        EXPECT_EQ(doc.Width(), 9);
        EXPECT_EQ(doc.FileName, "mine");

        // Yes keeps the part that was read.
        answers_ = {kv::MsgResult::Yes};
        OpenFile(form, root_ / "cut.bmp");
        EXPECT_EQ(form.Docs().CurrentImage().Width(), 40);
        EXPECT_EQ(form.Docs().CurrentImage().FileName, (root_ / "cut.bmp").string());

        // A name with odd characters saves and opens like any other.
        const fs::path odd = root_ / "odd name ' \" $x.bmp";
        SaveAs(form, odd);
        OpenFile(form, odd);
        EXPECT_EQ(form.Docs().CurrentImage().FileName, odd.string());
    });
}

TEST_F(FileCommandsTest, FailedSavesKeepTheOldFileNameAndChangedState) {
    WriteSettings("BackupFiles", true);
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        PaintPattern(doc, 64, 64);
        const fs::path dir = root_ / "locked";
        fs::create_directories(dir);
        SaveAs(form, dir / "pic.bmp");
        const std::string old = ReadAll(dir / "pic.bmp");
        doc.Box(doc.Area, 0xABCDEF);
        doc.Changed = 5;
        shown_.clear();

        // A read-only directory.
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        {
            PermissionsBind bind;
            form.MenuCommand("Save1")->trigger();
        }
        fs::permissions(dir, fs::perms::owner_all);
        EXPECT_EQ(ReadAll(dir / "pic.bmp"), old);
        EXPECT_EQ(doc.Changed, 5);
        EXPECT_EQ(doc.FileName, (dir / "pic.bmp").string());
        EXPECT_EQ(Messages(), std::vector<std::string>{"ErrSaveImg"});
        shown_.clear();
        // A full disk: writes beyond 1 KiB fail.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old_limit{};
        ::getrlimit(RLIMIT_FSIZE, &old_limit);
        rlimit small = old_limit;
        small.rlim_cur = 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        form.MenuCommand("Save1")->trigger();
        ::setrlimit(RLIMIT_FSIZE, &old_limit);
        EXPECT_EQ(ReadAll(dir / "pic.bmp"), old);
        EXPECT_EQ(ReadAll(dir / "pic._bm"), old);
        EXPECT_EQ(doc.Changed, 5);
        EXPECT_EQ(doc.FileName, (dir / "pic.bmp").string());
        EXPECT_EQ(Messages(), std::vector<std::string>{"ErrSaveImg"});
        // A format that cannot save: its own message, the name stays.
        shown_.clear();
        SaveAs(form, root_ / "pic.ico");
        EXPECT_EQ(Messages(), std::vector<std::string>{"ErrSaveImgForm"});
        EXPECT_EQ(doc.FileName, (dir / "pic.bmp").string());
        EXPECT_FALSE(fs::exists(root_ / "pic.ico"));
        // A directory that is not there.
        shown_.clear();
        SaveAs(form, root_ / "nowhere" / "pic.bmp");
        EXPECT_EQ(Messages(), std::vector<std::string>{"ErrSaveImg"});
        EXPECT_EQ(doc.Changed, 5);
    });
}

} // namespace

namespace {

TEST_F(FileCommandsTest, RecentListLengthComesFromThePreferencesAndChangesAtOnce) {
    {
        kv::SettingsStore store(settingsPath_);
        store.WriteInteger(kv::kPreferencesKey, "MRUFiles", 2);
        store.Flush();
    }
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        auto* reopen = form.findChild<QMenu*>("Reopen1");
        EXPECT_FALSE(reopen->isEnabled()) << "no recent files yet";
        PaintPattern(form.Docs().CurrentImage(), 4, 4);
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) SaveAs(form, root_ / name);
        ASSERT_EQ(reopen->actions().size(), 2);
        EXPECT_EQ(reopen->actions()[0]->text().toStdString(), (root_ / "c.bmp").string());
        Q_EMIT form.RecentLengthChanged(1);
        ASSERT_EQ(reopen->actions().size(), 1);
        Q_EMIT form.RecentLengthChanged(0);
        EXPECT_FALSE(reopen->isEnabled());
    });
}

} // namespace
