// A graphics tablet's pen on the view: its pressure sizes the stamps in 16
// steps between the lightest-pressure share and the whole brush, the
// preference turns that off, and the eraser end paints the back colour.
#include "paintgui.h"

#include "paint/painttools.h"
#include "prefs/prefsdialog.h"

#include <QCheckBox>
#include <QPointingDevice>
#include <QTabletEvent>

using kvtest::PaintGui;

namespace {

// A pen touching at image point p with pressure, then lifting.
void Dab(kv::TMainForm& form, const QPointingDevice& pen, pixkit::Pair<int> p, double pressure) {
    kv::TBuffer* view = form.ShowBuf();
    const QPointF at = kvtest::ViewOf(form, p);
    const QPointF global = view->mapToGlobal(at);
    for (auto [type, held] : {std::pair{QEvent::TabletMove, Qt::MouseButtons{}},
                              std::pair{QEvent::TabletPress, Qt::MouseButtons{Qt::LeftButton}},
                              std::pair{QEvent::TabletRelease, Qt::MouseButtons{}}}) {
        QTabletEvent e(type, &pen, at, global, type == QEvent::TabletMove ? 0 : pressure, 0, 0, 0,
                       0, 0, Qt::NoModifier,
                       type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton, held);
        QCoreApplication::sendEvent(view, &e);
    }
}

// The painted pixels' bounding box and their colours.
struct Mark {
    int W = 0, H = 0;
    std::set<pixkit::Pixel> Colours;
};

Mark MarkOf(kv::TMainForm& form) {
    form.ToolFw().HideFeedback();
    const kv::UDBuffer& image = form.Docs().CurrentImage();
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    Mark m;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (const pixkit::Pixel p = *image.At(x, y); p != kvtest::kGround) {
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                y1 = std::max(y1, y);
                m.Colours.insert(p);
            }
    if (x1 >= 0) m.W = x1 - x0 + 1, m.H = y1 - y0 + 1;
    return m;
}

} // namespace

TEST_F(PaintGui, TabletPressureSizesStampsAndTheEraserPaintsTheBackColour) {
    RunPainting([](kv::TMainForm& form) {
        const QPointingDevice pen(
            "pen", 9001, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
            QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 2);
        const QPointingDevice eraser(
            "eraser", 9002, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Eraser,
            QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 2);
        kv::Painting& paint = form.Paintbox();
        kv::UDBuffer& image = form.Docs().CurrentImage();
        paint.Brush.Settings.Radius = 10;
        paint.Brush.MakeRoundBrush(kvtest::kDraw);
        Select(form, kv::PenOneTool());
        // 21 pixels wide at full pressure; 16 steps from 20 % up: pressure
        // 0.2 is step 3 (radius 10 x 0.36 -> 4), 0.6 step 9 (10 x 0.68 -> 7).
        const std::pair<double, int> dabs[] = {{0.2, 9}, {0.6, 15}, {1.0, 21}};
        for (const auto& [pressure, side] : dabs) {
            image.Box(image.Area, kvtest::kGround);
            Dab(form, pen, {100, 80}, pressure);
            const Mark m = MarkOf(form);
            EXPECT_EQ(m.W, side) << "pressure " << pressure;
            EXPECT_EQ(m.H, side) << "pressure " << pressure;
            EXPECT_EQ(m.Colours, std::set<pixkit::Pixel>{kvtest::kDraw});
        }
        // A cut brush shrinks as a whole: 30 x 10 at step 3 is 11 x 4.
        paint.Brush.Settings.Background = kvtest::kBack;
        pixkit::Buffer cut;
        cut.Alloc(pixkit::Pair<int>{30, 10});
        cut.Box(cut.Area, 0x00123456);
        paint.Brush.TakeUserBrush(cut, kvtest::kBack, kv::bhCentre);
        paint.BrushChanged();
        image.Box(image.Area, kvtest::kGround);
        Dab(form, pen, {100, 80}, 0.2);
        const Mark small = MarkOf(form);
        EXPECT_EQ(small.W, 11);
        EXPECT_EQ(small.H, 4);

        // The eraser end paints the brush's shape in the back colour.
        image.Box(image.Area, kvtest::kGround);
        paint.Brush.MakeRoundBrush(kvtest::kDraw);
        Dab(form, eraser, {100, 80}, 1.0);
        const Mark erased = MarkOf(form);
        EXPECT_EQ(erased.W, 21);
        EXPECT_EQ(erased.Colours, std::set<pixkit::Pixel>{kvtest::kBack});

        // With the preference off every dab is the whole brush.
        auto dialog = form.CreatePreferencesDialog();
        dialog->findChild<QCheckBox*>("PressureBox")->setChecked(false);
        form.ApplyPreferences(*dialog, true);
        Select(form, kv::PenOneTool());
        image.Box(image.Area, kvtest::kGround);
        Dab(form, pen, {100, 80}, 0.2);
        EXPECT_EQ(MarkOf(form).W, 21);
    });
}
