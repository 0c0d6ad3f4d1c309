// "&Info...": colour counts against a plain set, on both counting paths,
// with marks in the top bytes and the brush's transparency; and counting
// keeps the undo of the last action.
#include "harness.h"

#include "files/colorcount.h"
#include "files/infoform.h"
#include "mainform.h"
#include "paint/brush.h"
#include "paint/painting.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <unordered_set>

using kvtest::KvTest;

namespace {

std::int64_t Reference(const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip) {
    std::unordered_set<pixkit::Pixel> seen;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (!skip || *b.At(x, y) != *skip) seen.insert(*b.At(x, y) & 0xFFFFFF);
    return static_cast<std::int64_t>(seen.size());
}

TEST(ColorCount, MatchesASetOnBothPathsWhateverTheTopBytes) {
    struct Case {
        int W, H;
        std::function<pixkit::Pixel(int x, int y)> Colour;
        std::int64_t Expected;
    };
    const Case cases[] = {
        // 4n < 0x200000: the 32-pass method; every pixel differs, with
        // colours spread over all low-five-bit classes.
        {300, 300, [](int x, int y) { return pixkit::Pixel(y * 300 + x) * 97u & 0xFFFFFF; }, 90000},
        // 4n = 0x200000: one pass over the large map.
        {1024, 512,
         [](int x, int y) { return pixkit::Pixel((x + y) % 3 == 0 ? 0xFFFFFF : (x + y) % 3); }, 3},
        {1200, 1000, [](int x, int y) { return pixkit::Pixel(y * 1200 + x) & 0xFFFFFF; }, 1200000},
    };
    for (const Case& c : cases)
        for (pixkit::Pixel top : {0x00000000u, 0xFF000000u, 0x01000000u}) {
            pixkit::Buffer b;
            b.Alloc({c.W, c.H});
            for (int y = 0; y < c.H; ++y)
                for (int x = 0; x < c.W; ++x)
                    *b.At(x, y) =
                        c.Colour(x, y) | (top & pixkit::Pixel((x * 7 + y) % 5 == 0 ? ~0u : 0));
            EXPECT_EQ(kv::CountColors(b), c.Expected) << c.W << "x" << c.H << " top " << top;
            EXPECT_EQ(kv::CountColors(b), Reference(b, std::nullopt));
        }
    // A brush: its transparency marker is no colour, black beside it is.
    pixkit::Buffer brush;
    brush.Alloc({4, 3});
    brush.Box(brush.Area, kv::kBrushTransparent);
    *brush.At(1, 1) = 0x000000;
    *brush.At(2, 1) = 0x00FF00;
    EXPECT_EQ(kv::CountColors(brush, kv::kBrushTransparent), 2);
    EXPECT_EQ(kv::CountColors(brush, kv::kBrushTransparent),
              Reference(brush, kv::kBrushTransparent));
}

TEST_F(KvTest, InfoBoxShowsSizesCountsOnRequestAndKeepsTheUndo) {
    Run({}, [](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        // Large enough for the count over the large map.
        image.Alloc({1024, 600});
        image.Box(image.Area, 0x000000);
        form.TakeSnapshot();
        image.Box({5, 5, 9, 9}, 0x123456); // the last action
        image.Box({20, 5, 22, 7}, 0x654321);
        ++image.Changed;
        pixkit::Buffer& brush = form.Paintbox().Brush.Brush;
        brush.Alloc({3, 2});
        brush.Box(brush.Area, kv::kBrushTransparent);
        *brush.At(0, 0) = 0xFF0000;

        std::map<std::string, std::string> before, after;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<kv::TInfoForm*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (const char* l : {"NameLab", "ImgSize", "BrshSize", "ImgColCnt", "BrshColCnt"})
                before[l] = box->findChild<QLabel*>(l)->text().toStdString();
            box->findChild<QPushButton*>("ImgColCntBtn")->click();
            box->findChild<QPushButton*>("BrshColCntBtn")->click();
            for (const char* l : {"ImgColCnt", "BrshColCnt"})
                after[l] = box->findChild<QLabel*>(l)->text().toStdString();
            box->accept();
        });
        form.MenuCommand("Info1")->trigger();
        EXPECT_EQ(before["NameLab"], form.Docs().DocumentLabel());
        EXPECT_EQ(before["ImgSize"],
                  std::to_string(image.Width()) + " x " + std::to_string(image.Height()));
        EXPECT_EQ(before["BrshSize"], "3 x 2");
        EXPECT_EQ(before["ImgColCnt"], "(not counted)");
        EXPECT_EQ(after["ImgColCnt"], "3");
        EXPECT_EQ(after["BrshColCnt"], "1");
        form.UndoLastAction();
        EXPECT_EQ(*form.Docs().CurrentImage().At(6, 6), 0u) << "the stroke is undone";
        EXPECT_EQ(*form.Docs().CurrentImage().At(21, 6), 0u);
    });
}

} // namespace
