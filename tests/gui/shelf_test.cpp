// The brush shelf: cut brushes arrive newest first, a click makes one the
// current brush exactly as it was cut, pinned brushes stay, and the shelf
// is read back at the next start, leaving damaged files out.
#include "paintgui.h"

#include "bars/shelfdock.h"
#include "paint/painttools.h"
#include "paint/shelf.h"
#include "progdir.h"

#include <QListWidget>

#include <fstream>

using kvtest::PaintGui;

namespace {

struct Shot {
    int W = 0, H = 0, Handle = 0;
    pixkit::Pixel Background = 0;
    std::vector<pixkit::Pixel> Pixels;
    friend bool operator==(const Shot&, const Shot&) = default;
};

Shot ShotOf(const pixkit::Buffer& b, int handle, pixkit::Pixel background) {
    Shot s{b.Width(), b.Height(), handle, background, {}};
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) s.Pixels.push_back(*b.At(x, y));
    return s;
}

std::vector<Shot> Shelved(kv::TMainForm& form) {
    std::vector<Shot> v;
    for (const auto& e : form.Shelved().Entries())
        v.push_back(ShotOf(e->Brush, e->Handle, e->Background));
    return v;
}

} // namespace

TEST_F(PaintGui, ShelfKeepsCutBrushesPinsAndRestarts) {
    std::vector<Shot> kept;
    RunPainting([&](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        kv::Painting& paint = form.Paintbox();
        // Cut n: a (6 + n) x 5 rectangle of its own colour with one pixel of
        // the back colour, which the cut makes transparent.
        std::vector<Shot> cuts;
        const auto cut = [&](int n, int handle) {
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 6 + n; ++x) *image.At(x, y) = 0x010203u * pixkit::Pixel(n + 1);
            *image.At(1, 1) = kvtest::kBack;
            paint.Brush.Settings.Handle = handle;
            Select(form, kv::CutBoxTool());
            Click(form, {0, 0});
            Click(form, {5 + n, 4});
            cuts.insert(cuts.begin(), ShotOf(paint.Brush.Brush, handle, kvtest::kBack));
        };
        cut(0, kv::bhCentre);
        cut(1, kv::bhRightBottom);
        cut(2, kv::bhLeftTop);
        ASSERT_EQ(Shelved(form), cuts);
        EXPECT_EQ(cuts[1].Pixels[7 + 1], kv::kBrushTransparent);

        // A click on the middle thumbnail brings that brush back.
        form.MenuCommand("ShelfVisible1")->trigger();
        EXPECT_TRUE(form.ShelfDock()->isVisible());
        paint.Brush.MakePixelBrush(kvtest::kDraw);
        QListWidget* list = form.ShelfDock()->List();
        ASSERT_EQ(list->count(), 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        EXPECT_EQ(
            ShotOf(paint.Brush.Brush, paint.Brush.Settings.Handle, paint.Brush.Settings.Background),
            cuts[1]);
        EXPECT_TRUE(paint.Brush.Settings.UserBrush);
        EXPECT_EQ(form.ToolFw().CurrentTechnique, kv::tqPaint);
        EXPECT_EQ(ShotOf(paint.Brush.Painting, cuts[1].Handle, cuts[1].Background), cuts[1]);
        // Using a brush from the shelf does not shelve it again.
        EXPECT_EQ(form.Shelved().Entries().size(), 3u);

        // The oldest, pinned, outlasts twelve newer cuts; the others go.
        form.Shelved().SetPinned(2, true);
        const Shot pinned = cuts[2];
        for (int n = 3; n < 15; ++n) cut(n, kv::bhCentre);
        kept = Shelved(form);
        ASSERT_EQ(kept.size(), 12u);
        EXPECT_EQ(kept.back(), pinned);
        EXPECT_TRUE(form.Shelved().Entries().back()->Pinned);
        EXPECT_EQ(std::vector<Shot>(kept.begin(), kept.end() - 1),
                  std::vector<Shot>(cuts.begin(), cuts.begin() + 11));
    });

    // The next start reads the same shelf.
    Run({}, [&](kv::TMainForm& form) {
        EXPECT_EQ(Shelved(form), kept);
        EXPECT_TRUE(form.Shelved().Entries().back()->Pinned);
    });

    // A truncated file and one that is not a brush are left out and logged.
    const std::filesystem::path dir = kv::ShelfDir();
    std::vector<std::filesystem::path> files;
    for (const auto& f : std::filesystem::directory_iterator(dir)) files.push_back(f.path());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 12u);
    std::filesystem::resize_file(files[5], std::filesystem::file_size(files[5]) - 3);
    std::ofstream(dir / "b000000000000000999.frm") << "FRM\4 not a brush";
    Run({"-l"}, [&](kv::TMainForm& form) {
        EXPECT_EQ(form.Shelved().Entries().size(), 11u);
        EXPECT_EQ(form.ShelfDock()->List()->count(), 11);
    });
    int logged = 0;
    for (const std::string& line : LogLines()) logged += line.find("damaged") != std::string::npos;
    EXPECT_EQ(logged, 2);
}
