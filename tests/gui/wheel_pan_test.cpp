// Wheel, touchpad and pinch zoom at the pointer, wheel scrolling, and
// panning by middle-drag and Space-drag on the real main window.
#include "paintgui.h"

#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>

using kvtest::PaintGui;

namespace {

void Ready(kv::TMainForm& form) {
    form.resize(800, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(form.Docs().AllocBlack(0, 1200, 900));
    form.RefreshView();
}

// The image pixel under a point of the container's client area.
pixkit::Pair<int> Under(kv::TMainForm& form, QPoint client) {
    return form.ViewToImage(client - form.ShowBuf()->pos());
}

// A wheel event over the view at client point at (pixel or angle delta).
void Wheel(kv::TMainForm& form, QPoint at, QPoint pixels, QPoint angle,
           Qt::KeyboardModifiers mods) {
    kv::TBuffer* view = form.ShowBuf();
    const QPoint local = at - view->pos();
    QWheelEvent e(local, view->mapToGlobal(local), pixels, angle, Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &e);
}

void Pinch(kv::TMainForm& form, QPoint at, Qt::NativeGestureType type, double value) {
    kv::TBuffer* view = form.ShowBuf();
    const QPoint local = at - view->pos();
    QNativeGestureEvent e(type, QPointingDevice::primaryPointingDevice(), 2, local, local,
                          view->mapToGlobal(local), value, {}, 0);
    QCoreApplication::sendEvent(view, &e);
}

// A mouse event at a screen position (the view moves while it pans).
void MouseAt(kv::TMainForm& form, QEvent::Type type, QPoint global, Qt::MouseButton button,
             Qt::MouseButtons held) {
    kv::TBuffer* view = form.ShowBuf();
    QMouseEvent e(type, view->mapFromGlobal(global), global, button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &e);
}

} // namespace

TEST_F(PaintGui, CtrlWheelAndPinchZoomAtThePointer) {
    RunPainting([](kv::TMainForm& form) {
        Ready(form);
        form.MaxSize()->SetPosition(2);
        form.ApplyZoom();
        form.MaxSize()->ScrollTo(700, 500);
        const QPoint at(310, 170);
        const pixkit::Pair<int> pixel = Under(form, at);
        // Three notches in, one out: the pixel stays under the pointer.
        for (int want : {3, 4, 5, 4}) {
            Wheel(form, at, {}, {0, want > form.MaxSize()->Position() ? 120 : -120},
                  Qt::ControlModifier);
            ASSERT_EQ(form.MaxSize()->Position(), want);
            EXPECT_EQ(Under(form, at), pixel) << "at zoom " << want;
        }
        // A touchpad's pixels and a fine wheel's eighths add up to one step.
        for (int i = 0; i < 2; ++i) Wheel(form, at, {0, 25}, {0, 30}, Qt::ControlModifier);
        EXPECT_EQ(form.MaxSize()->Position(), 4);
        Wheel(form, at, {0, 25}, {0, 30}, Qt::ControlModifier);
        EXPECT_EQ(form.MaxSize()->Position(), 5);
        for (int i = 0; i < 3; ++i) Wheel(form, at, {}, {0, -40}, Qt::ControlModifier);
        EXPECT_EQ(form.MaxSize()->Position(), 4);
        EXPECT_EQ(Under(form, at), pixel);
        // A pinch heads for the factor its scale asks for.
        Pinch(form, at, Qt::BeginNativeGesture, 0);
        Pinch(form, at, Qt::ZoomNativeGesture, 0.3);
        Pinch(form, at, Qt::ZoomNativeGesture, 0.3);
        EXPECT_EQ(form.MaxSize()->Position(), 6); // 4 * 1.3 * 1.3 = 6.76
        EXPECT_EQ(Under(form, at), pixel);
        Pinch(form, at, Qt::EndNativeGesture, 0);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
    });
}

TEST_F(PaintGui, WheelScrollsDownAndShiftWheelSideways) {
    RunPainting([](kv::TMainForm& form) {
        Ready(form);
        form.MaxSize()->SetPosition(2);
        form.ApplyZoom();
        kv::TMaxSize* box = form.MaxSize();
        box->ScrollTo(300, 300);
        const QPoint at(200, 200);
        Wheel(form, at, {}, {0, -120}, Qt::NoModifier);
        EXPECT_EQ(box->ScrollPos(), QPoint(300, 348));
        Wheel(form, at, {}, {0, 120}, Qt::ShiftModifier);
        EXPECT_EQ(box->ScrollPos(), QPoint(252, 348));
        // Fifteen eighths of a degree are six pixels; the rest carries over.
        for (int i = 0; i < 4; ++i) Wheel(form, at, {}, {0, -15}, Qt::NoModifier);
        EXPECT_EQ(box->ScrollPos(), QPoint(252, 372));
        Wheel(form, at, {-7, 11}, {0, 0}, Qt::NoModifier);
        EXPECT_EQ(box->ScrollPos(), QPoint(259, 361));
    });
}

// Middle-drag and Space-drag scroll with the pointer and reach no tool: no
// stroke, no undo snapshot, no click state.
TEST_F(PaintGui, MiddleDragAndSpaceDragPanWithoutPainting) {
    RunPainting([](kv::TMainForm& form) {
        Ready(form);
        form.MaxSize()->SetPosition(2);
        form.ApplyZoom();
        // The pen's preview stamp goes before pixels are compared.
        const auto image = [&form] {
            form.ToolFw().HideFeedback();
            return Pixels(form);
        };
        const auto before = image();
        for (bool space : {false, true}) {
            SCOPED_TRACE(space ? "space" : "middle");
            const Qt::MouseButton button = space ? Qt::LeftButton : Qt::MiddleButton;
            form.MaxSize()->ScrollTo(600, 500);
            kv::TBuffer* view = form.ShowBuf();
            if (space) QTest::keyPress(&form, Qt::Key_Space);
            QPoint g = view->mapToGlobal(QPoint(700, 600));
            MouseAt(form, QEvent::MouseMove, g, Qt::NoButton, Qt::NoButton);
            MouseAt(form, QEvent::MouseButtonPress, g, button, button);
            for (int i = 0; i < 5; ++i) {
                g += QPoint(-10, -6);
                MouseAt(form, QEvent::MouseMove, g, Qt::NoButton, button);
            }
            EXPECT_TRUE(view->Panning());
            QTest::qWait(kvtest::kHold);
            MouseAt(form, QEvent::MouseButtonRelease, g, button, Qt::NoButton);
            if (space) QTest::keyRelease(&form, Qt::Key_Space);
            EXPECT_FALSE(view->Panning());
            EXPECT_EQ(form.MaxSize()->ScrollPos(), QPoint(650, 530));
            EXPECT_EQ(form.ToolFw().State, kv::csIdle);
            EXPECT_FALSE(form.ToolFw().MouseDown);
            EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
            EXPECT_TRUE(image() == before) << "the pan painted";
        }
        // Without Space the left button paints again.
        Click(form, {300, 300});
        EXPECT_EQ(Painted(form), kvtest::Points({{300, 300}}));
    });
}
