// Brush > Open and Save on the real main window with real files: the
// brush's pixels, transparency and handle survive a round trip through the
// frame format, a format without a hot spot gives the centre handle, saving
// leaves the brush alone, and a file too large for a brush is refused. PNG
// stores the transparency itself.
#include "harness.h"

#include "files/filecommands.h"
#include "paint/brush.h"
#include "paint/painting.h"
#include "tools/framework.h"

#include <pixkit/gfxfile.h>

#include <QAction>

#include <fstream>
#include <vector>

namespace fs = std::filesystem;
using kvtest::KvTest;
using pixkit::Pair;
using pixkit::Pixel;

namespace {

constexpr Pixel kTransparentColour = 0x00ABCDEF;

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

// A 5 x 4 user brush with a transparent column and corner, handle at the
// right bottom corner.
void MakeUserBrush(kv::BrushState& b) {
    b.Brush.Alloc(Pair<int>{5, 4});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) *b.Brush.At(x, y) = Pixel(0x102030 + 0x010101 * (x + 5 * y));
    b.Brush.Line({2, 0}, {2, 3}, kv::kBrushTransparent);
    b.Brush.PutPixel({0, 0}, kv::kBrushTransparent);
    b.Settings.UserBrush = true;
    b.Settings.Background = kTransparentColour;
    b.Settings.Handle = kv::bhRightBottom;
    b.Settings.Technique = kv::btPaint;
}

class BrushFilesTest : public KvTest {
  protected:
    void UseTestDialogs(kv::TMainForm& form) {
        kv::FileDialogs& d = form.Files().Dialogs;
        d.Open = [this](const kv::OpenRequest& r) {
            titles_.push_back(r.Title);
            return std::optional<kv::OpenChoice>(kv::OpenChoice{next_.string(), 1, 1});
        };
        d.Save = [this](const kv::SaveRequest& r) {
            titles_.push_back(r.Title);
            return std::optional<kv::SaveChoice>(kv::SaveChoice{next_.string(), 1});
        };
    }
    void Trigger(kv::TMainForm& form, const char* command, const fs::path& file) {
        next_ = file;
        form.MenuCommand(command)->trigger();
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const kvtest::Shown& s : shown_) texts.push_back(s.Text);
        return texts;
    }

    fs::path next_;
    std::vector<std::string> titles_;
};

TEST_F(BrushFilesTest, FrameFileKeepsPixelsTransparencyAndHandle) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::BrushState& brush = form.Paintbox().Brush;
        MakeUserBrush(brush);
        const std::vector<Pixel> original = PixelsOf(brush.Brush);

        const fs::path file = root_ / "brush.frm";
        Trigger(form, "SaveBrush1", file);
        ASSERT_TRUE(fs::exists(file));
        EXPECT_EQ(form.PanelText(4).toStdString(), "Img saved");
        // Saving works on a copy: the marker is still in the brush.
        EXPECT_EQ(PixelsOf(brush.Brush), original);
        EXPECT_EQ(brush.Settings.Background, kTransparentColour);
        // The file holds the transparent colour where the marker was, and
        // the record the hot spot and that colour.
        pixkit::Buffer stored;
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        pixkit::GFXFile::Load(stored, file.string(), &extra);
        EXPECT_EQ(*stored.At(2, 1), kTransparentColour);
        EXPECT_EQ(*stored.At(1, 1), original[6]);
        EXPECT_EQ(extra.HotX, 4);
        EXPECT_EQ(extra.HotY, 3);
        EXPECT_EQ(extra.Back, kTransparentColour);

        brush.MakePixelBrush(0x00FF0000);
        form.ToolFw().UserBrushInUse = false;
        form.ToolFw().CurrentTechnique = kv::tqColor;
        Trigger(form, "LoadBrush1", file);
        EXPECT_EQ(PixelsOf(brush.Brush), original);
        EXPECT_EQ(brush.Settings.Handle, kv::bhRightBottom);
        EXPECT_EQ(brush.Settings.Background, kTransparentColour);
        EXPECT_TRUE(brush.Settings.UserBrush);
        // It paints in its own colours at once.
        EXPECT_EQ(form.ToolFw().CurrentTechnique, kv::tqPaint);
        EXPECT_TRUE(form.ToolFw().UserBrushInUse);
        EXPECT_EQ(PixelsOf(brush.Painting), original);
        EXPECT_EQ(brush.HandleOffset(), (Pair<int>{4, 3}));

        // A format without a hot spot or transparent colour: the colour
        // stays opaque and the handle is the centre.
        const fs::path bmp = root_ / "brush.bmp";
        Trigger(form, "SaveBrush1", bmp);
        ASSERT_TRUE(fs::exists(bmp));
        Trigger(form, "LoadBrush1", bmp);
        EXPECT_EQ(brush.Settings.Handle, kv::bhCentre);
        EXPECT_EQ(*brush.Brush.At(2, 1), kTransparentColour);
        EXPECT_EQ(*brush.Brush.At(1, 1), original[6]);

        EXPECT_EQ(titles_, (std::vector<std::string>{"Save Brush", "Open Brush", "Save Brush",
                                                     "Open Brush"}));
        EXPECT_TRUE(shown_.empty()) << shown_.front().Text;
    });
}

TEST_F(BrushFilesTest, PngKeepsTheBrushTransparencyAndImagesShowTheBackground) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::BrushState& brush = form.Paintbox().Brush;
        MakeUserBrush(brush);
        const std::vector<Pixel> original = PixelsOf(brush.Brush);
        const fs::path file = root_ / "brush.png";
        Trigger(form, "SaveBrush1", file);
        ASSERT_TRUE(fs::exists(file));
        EXPECT_EQ(PixelsOf(brush.Brush), original);

        brush.MakePixelBrush(0x00FF0000);
        Trigger(form, "LoadBrush1", file);
        EXPECT_EQ(PixelsOf(brush.Brush), original);
        EXPECT_TRUE(brush.Settings.UserBrush);

        // Opened as an image, the transparent pixels show the background colour.
        form.SetBackColor(0x336699);
        Trigger(form, "Open1", file);
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        ASSERT_EQ(image.Width(), 5);
        EXPECT_EQ(*image.At(2, 1), 0x336699u);
        EXPECT_EQ(*image.At(0, 0), 0x336699u);
        EXPECT_EQ(*image.At(1, 1), original[6]);
        EXPECT_TRUE(shown_.empty()) << shown_.front().Text;
    });
}

TEST_F(BrushFilesTest, TooLargeOrDamagedFilesLeaveTheBrush) {
    Run({}, [this](kv::TMainForm& form) {
        UseTestDialogs(form);
        kv::BrushState& brush = form.Paintbox().Brush;
        MakeUserBrush(brush);
        const std::vector<Pixel> original = PixelsOf(brush.Brush);

        pixkit::Buffer wide;
        wide.Alloc(Pair<int>{kv::kMaxBrushSide + 1, 1});
        wide.Box(wide.Area, 0x00112233);
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        const fs::path big = root_ / "wide.frm";
        pixkit::Buffer work;
        pixkit::GFXFile::Save(wide, big.string(), &extra, &work);
        Trigger(form, "LoadBrush1", big);
        EXPECT_EQ(Messages(), std::vector<std::string>{"BrTooBig"});

        const fs::path bad = root_ / "bad.frm";
        std::ofstream(bad) << "not an image";
        Trigger(form, "LoadBrush1", bad);
        EXPECT_EQ(shown_.size(), 2u);

        EXPECT_EQ(PixelsOf(brush.Brush), original);
        EXPECT_EQ(brush.Settings.Handle, kv::bhRightBottom);
        EXPECT_EQ(brush.Settings.Background, kTransparentColour);
    });
}

} // namespace
