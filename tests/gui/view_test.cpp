// The zoomable view on the real main window: what is painted at each zoom,
// the size limits, the point kept under the mouse, scrolling, the drawing
// view, the mouse in the status bar and the progress display.
#include "harness.h"

#include "keys.h"
#include "mainform.h"
#include "view/maxsize.h"
#include "view/tbuffer.h"
#include "view/zoom.h"

#include <QBackingStore>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>

#include <random>

using kvtest::KvTest;

namespace {

// Makes slot 1 a w x h image of random pixels (random top bytes too) and
// shows it.
void RandomImage(kv::TMainForm& form, int w, int h, unsigned seed = 7) {
    ASSERT_TRUE(form.Docs().AllocBlack(0, w, h));
    std::mt19937 rng(seed);
    kv::UDBuffer& b = form.Docs().Slots[0];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = rng();
    form.SelectImage(0);
    form.RefreshView();
}

void SetZoom(kv::TMainForm& form, int position) {
    form.MaxSize()->SetPosition(position);
    form.ApplyZoom();
}

// Paint events reach the view once its window is on the (offscreen) screen.
void Ready(kv::TMainForm& form, QSize size = {800, 600}) {
    form.resize(size);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // The first turns of the loop fit the tool icons to the new height and
    // lay the window out again.
    for (int i = 0; i < 4; ++i) QCoreApplication::processEvents();
}

void MoveMouse(QWidget* w, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

QImage Painted(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Every painted pixel is the image pixel v * q / m, top byte ignored.
void ExpectNearestStretch(kv::TMainForm& form, int position) {
    SetZoom(form, position);
    ASSERT_EQ(form.MaxSize()->Position(), position);
    const kv::ZoomRatio r = kv::RatioOfPosition(position);
    const kv::UDBuffer& b = form.Docs().CurrentImage();
    const QImage shown = Painted(form.ShowBuf());
    ASSERT_EQ(shown.width(), kv::ViewExtent(b.Width(), r));
    ASSERT_EQ(shown.height(), kv::ViewExtent(b.Height(), r));
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const pixkit::Pixel want =
                *b.At(kv::ViewToImageCoord(x, r), kv::ViewToImageCoord(y, r)) & 0xFFFFFF;
            ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFF, want)
                << "zoom " << position << " at " << x << "," << y;
        }
}

TEST_F(KvTest, StartShowsTheBlackCurrentImageFitted) {
    Run({}, [](kv::TMainForm& form) {
        kv::TBuffer* view = form.ShowBuf();
        EXPECT_EQ(view->GetBuffer(), &form.Docs().Slots[0]);
        const kv::UDBuffer& b = form.Docs().Slots[0];
        const kv::ZoomRatio r = kv::RatioOfPosition(form.MaxSize()->Position());
        EXPECT_EQ(view->size(), QSize(kv::ViewExtent(b.Width(), r), kv::ViewExtent(b.Height(), r)));
        EXPECT_EQ(form.MaxSize()->Position(), kv::PositionFromFactor(form.MaxSize()->FitFactor()));
        const QImage shown = Painted(view);
        EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFF, 0u);
        EXPECT_EQ(shown.pixel(shown.width() - 1, shown.height() - 1) & 0xFFFFFF, 0u);
        EXPECT_EQ(form.findChild<QLabel*>("ZoomLabel")->text(),
                  QString("Zm %1").arg(form.MaxSize()->Position()));
    });
}

TEST_F(KvTest, KeypadPlusZoomsInFromTheFirstMomentAndAboutShowsTheVersion) {
    Run({}, [](kv::TMainForm& form) {
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QWidget* focus = QApplication::focusWidget();
        EXPECT_EQ(qobject_cast<QSpinBox*>(focus), nullptr) << "a tool bar field has the focus";
        const int before = form.MaxSize()->Position();
        QTest::keyClick(focus != nullptr ? focus : &form, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_EQ(form.MaxSize()->Position(), before + 1);
        EXPECT_TRUE(QRegularExpression("^[0-9]+\\.[0-9]+")
                        .match(QApplication::applicationVersion())
                        .hasMatch())
            << QApplication::applicationVersion().toStdString();
    });
}

TEST_F(KvTest, PaintedPixelsAreTheNearestImagePixelsAtEveryZoom) {
    Run({}, [](kv::TMainForm& form) {
        RandomImage(form, 61, 47);
        for (int position : {3, 1, 2, 7}) ExpectNearestStretch(form, position);
        RandomImage(form, 301, 203, 9);
        for (int position : {-3, 0, -1, -2, -4}) ExpectNearestStretch(form, position);
    });
}

// What the window shows: the offscreen platform paints into an image.
QImage OnScreen(kv::TMainForm& form) {
    return static_cast<QImage*>(form.backingStore()->paintDevice())
        ->convertToFormat(QImage::Format_RGB32);
}

TEST_F(KvTest, OnlyTheUpdateRectanglesArePainted) {
    Run({}, [](kv::TMainForm& form) {
        Ready(form);
        ASSERT_TRUE(form.Docs().AllocBlack(0, 40, 30));
        form.RefreshView();
        SetZoom(form, 3);
        form.ShowBuf()->repaint();
        // New pixels, but only two rectangles of the view repaint.
        kv::UDBuffer& b = form.Docs().CurrentImage();
        std::mt19937 rng(3);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) *b.At(x, y) = rng();
        QRegion region(QRect(5, 7, 20, 11));
        region += QRect(70, 40, 33, 17);
        form.ShowBuf()->repaint(region);
        const QImage screen = OnScreen(form);
        const QPoint origin = form.ShowBuf()->mapTo(&form, QPoint(0, 0));
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x) {
                const std::uint32_t want =
                    region.contains(QPoint(x, y)) ? *b.At(x / 3, y / 3) & 0xFFFFFF : 0;
                ASSERT_EQ(screen.pixel(origin + QPoint(x, y)) & 0xFFFFFF, want) << x << "," << y;
            }
    });
}

TEST_F(KvTest, AViewWithoutPixelsShowsACrossAndRunsThePaintHook) {
    kv::TBuffer view;
    view.resize(21, 11);
    int painted = 0;
    view.OnPaint = [&](QPainter&) { ++painted; };
    const QImage shown = Painted(&view);
    EXPECT_EQ(painted, 1);
    const std::uint32_t white = 0xFFFFFF, black = 0;
    for (QPoint p : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 10), QPoint(20, 10), QPoint(10, 0),
                     QPoint(0, 5), QPoint(10, 5)})
        EXPECT_EQ(shown.pixel(p) & 0xFFFFFF, white) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(10, 2), QPoint(10, 8), QPoint(3, 5), QPoint(17, 5)})
        EXPECT_EQ(shown.pixel(p) & 0xFFFFFF, black) << p.x() << "," << p.y();
    // With painting off nothing is drawn and the hook does not run.
    view.SetPaintEnabled(false);
    view.grab();
    EXPECT_EQ(painted, 1);
    // The zoom is kept reduced.
    view.SetZoom(0x00060004);
    EXPECT_EQ(view.Zoom(), 0x00030002u);
    view.SetZoom(0x00020006);
    EXPECT_EQ(view.Zoom(), 0x00000003u);
    view.SetZoom(0x00060002);
    EXPECT_EQ(view.Zoom(), 0x00030001u);
}

TEST_F(KvTest, ZoomIsLimitedForTinyAndHugeImages) {
    Run({}, [](kv::TMainForm& form) {
        ASSERT_TRUE(form.Docs().AllocBlack(0, 1, 1));
        form.RefreshView();
        SetZoom(form, 0);
        EXPECT_EQ(form.MaxSize()->Position(), 1);
        EXPECT_EQ(form.ShowBuf()->size(), QSize(1, 1));

        ASSERT_TRUE(form.Docs().AllocBlack(0, 16000, 100));
        form.RefreshView();
        SetZoom(form, 4);
        EXPECT_EQ(form.MaxSize()->Position(), 2);
        EXPECT_EQ(form.ShowBuf()->size(), QSize(32000, 200));
        EXPECT_EQ(form.findChild<QSpinBox*>("Zoom")->value(), 2);
        EXPECT_EQ(form.findChild<QLabel*>("ZoomLabel")->text(), "Zm 2");

        // Too long even at 1/4, and only 2 pixels high: shown at 1 rather
        // than vanishing or zooming back and forth for ever.
        ASSERT_TRUE(form.Docs().AllocBlack(0, 200000, 2));
        form.RefreshView();
        SetZoom(form, 3);
        EXPECT_EQ(form.MaxSize()->Position(), 1);
    });
}

TEST_F(KvTest, MouseConversionAndStatusPanel) {
    Run({}, [](kv::TMainForm& form) {
        RandomImage(form, 200, 150);
        SetZoom(form, 0);
        EXPECT_EQ(form.ViewToImage({3, 6}), (pixkit::Pair<int>{4, 8}));
        SetZoom(form, 3);
        EXPECT_EQ(form.ViewToImage({5, -2}), (pixkit::Pair<int>{1, 0}));
        EXPECT_DOUBLE_EQ(form.ZoomFactor(), 3.0);
        EXPECT_TRUE(form.InsideImage({0, 149}));
        EXPECT_FALSE(form.InsideImage({200, 3}));
        EXPECT_FALSE(form.InsideImage({-1, 3}));

        MoveMouse(form.ShowBuf(), QPoint(7, 5));
        EXPECT_TRUE(form.ShowBuf()->MouseOver());
        EXPECT_EQ(form.PanelText(2), "2,1");
        EXPECT_FALSE(form.MouseOutside());
        form.SetPanelText(3, "tool");
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(form.ShowBuf(), &leave);
        EXPECT_FALSE(form.ShowBuf()->MouseOver());
        EXPECT_EQ(form.ShowBuf()->LastMouse(), QPoint(-1, -1));
        EXPECT_EQ(form.MouseImagePos(), (pixkit::Pair<int>{-1, -1}));
        EXPECT_TRUE(form.MouseOutside());
        for (int panel : {2, 3, 4}) EXPECT_EQ(form.PanelText(panel), "") << panel;
    });
}

// The image pixel under a point of the container.
pixkit::Pair<int> UnderContainerPoint(kv::TMainForm& form, QPoint p) {
    return form.ViewToImage(p - form.ShowBuf()->pos());
}

TEST_F(KvTest, ZoomKeepsThePixelUnderTheMouseOrTheCentre) {
    Run({}, [](kv::TMainForm& form) {
        Ready(form);
        RandomImage(form, 900, 700);
        SetZoom(form, 1);
        form.MaxSize()->ScrollTo(200, 150);
        const QPoint mouse(130, 90);
        MoveMouse(form.ShowBuf(), mouse);
        const QPoint at = form.ShowBuf()->pos() + mouse;
        const pixkit::Pair<int> pixel = UnderContainerPoint(form, at);
        for (int step = 0; step < 3; ++step) {
            form.ZoomIn();
            EXPECT_EQ(UnderContainerPoint(form, at), pixel) << "after zoom in " << step;
        }
        EXPECT_EQ(form.MaxSize()->Position(), 4);
        form.ZoomOut();
        EXPECT_EQ(UnderContainerPoint(form, at), pixel);

        // With the mouse elsewhere the centre of the container stays.
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(form.ShowBuf(), &leave);
        const QWidget* port = form.MaxSize()->viewport();
        const QPoint centre(port->width() / 2, port->height() / 2);
        const pixkit::Pair<int> middle = UnderContainerPoint(form, centre);
        form.ZoomIn();
        EXPECT_EQ(UnderContainerPoint(form, centre), middle);
        form.ZoomOut();
        form.ZoomOut();
        const pixkit::Pair<int> after = UnderContainerPoint(form, centre);
        EXPECT_NEAR(after.x, middle.x, 1);
        EXPECT_NEAR(after.y, middle.y, 1);
    });
}

TEST_F(KvTest, FitToggleAndZoomSteps) {
    Run({}, [](kv::TMainForm& form) {
        Ready(form, {700, 500});
        RandomImage(form, 1600, 1200);
        form.FitToWindow();
        const int fit = form.MaxSize()->Position();
        EXPECT_LE(fit, 0);
        const QSize client = form.MaxSize()->maximumViewportSize();
        EXPECT_LE(form.ShowBuf()->width(), client.width());
        EXPECT_LE(form.ShowBuf()->height(), client.height());
        // A view that fits is centred.
        EXPECT_EQ(form.ShowBuf()->x(),
                  (form.MaxSize()->viewport()->width() - form.ShowBuf()->width()) / 2);

        SetZoom(form, 5);
        form.ToggleFit();
        EXPECT_EQ(form.MaxSize()->Position(), fit);
        form.ToggleFit();
        EXPECT_EQ(form.MaxSize()->Position(), 5);

        SetZoom(form, 32);
        // 1600 x 32 is over the limit: the largest allowed position.
        EXPECT_EQ(form.MaxSize()->Position(), 20);
        SetZoom(form, -3);
        form.ZoomOut();
        EXPECT_EQ(form.MaxSize()->Position(), -4);
        form.ZoomOut();
        EXPECT_EQ(form.MaxSize()->Position(), -4);
        EXPECT_EQ(form.findChild<QLabel*>("ZoomLabel")->text(), "Zm 1/4");
        // The "Zoom" control sets the position.
        form.findChild<QSpinBox*>("Zoom")->setValue(-1);
        EXPECT_EQ(form.MaxSize()->Position(), -1);
        EXPECT_EQ(form.ShowBuf()->size(), QSize(1066, 800));
        EXPECT_EQ(form.findChild<QLabel*>("ZoomLabel")->text(), "Zm 2/3");
    });
}

TEST_F(KvTest, ScrollKeysMoveBySixteenAndToTheEnds) {
    Run({}, [](kv::TMainForm& form) {
        RandomImage(form, 2000, 1500);
        SetZoom(form, 2);
        kv::TMaxSize* box = form.MaxSize();
        box->ScrollTo(0, 0);
        EXPECT_TRUE(form.ScrollKey(Qt::Key_Right));
        EXPECT_TRUE(form.ScrollKey(Qt::Key_Down));
        EXPECT_TRUE(form.ScrollKey(Qt::Key_Down));
        EXPECT_EQ(box->ScrollPos(), QPoint(16, 32));
        form.ScrollKey(Qt::Key_Up);
        form.ScrollKey(Qt::Key_Left);
        EXPECT_EQ(box->ScrollPos(), QPoint(0, 16));
        form.ScrollKey(Qt::Key_End);
        form.ScrollKey(Qt::Key_PageDown);
        EXPECT_EQ(box->ScrollPos(), QPoint(box->horizontalScrollBar()->maximum(),
                                           box->verticalScrollBar()->maximum()));
        form.ScrollKey(Qt::Key_Home);
        EXPECT_EQ(box->ScrollPos().x(), 0);
        form.ScrollKey(Qt::Key_PageUp);
        EXPECT_EQ(box->ScrollPos(), QPoint(0, 0));
        EXPECT_FALSE(form.ScrollKey(Qt::Key_A));
        form.ScrollBy(40, 8);
        EXPECT_EQ(box->ScrollPos(), QPoint(40, 8));
    });
}

TEST_F(KvTest, InvalidatedImageRectangleIsRepainted) {
    Run({}, [](kv::TMainForm& form) {
        Ready(form);
        RandomImage(form, 50, 50);
        SetZoom(form, 2);
        QCoreApplication::processEvents();
        QRegion painted;
        const QPoint origin = form.ShowBuf()->mapTo(&form, QPoint(0, 0));
        form.ShowBuf()->OnPaint = [&](QPainter& p) {
            painted += p.paintEngine()->systemClip().translated(-origin);
        };
        form.InvalidateImageRect(20, 12, 10, 5);
        QCoreApplication::processEvents();
        form.ShowBuf()->OnPaint = {};
        EXPECT_EQ(painted.boundingRect(), QRect(QPoint(19, 9), QPoint(40, 24)));
    });
}

TEST_F(KvTest, DrawingViewIsTheWholeImageWithoutClipping) {
    Run({}, [](kv::TMainForm& form) {
        ASSERT_FALSE(form.Prefs().Clipping);
        RandomImage(form, 900, 800);
        SetZoom(form, 3);
        form.MaxSize()->ScrollTo(300, 200);
        pixkit::Buffer& view = form.DrawingView();
        EXPECT_EQ(view.Area, form.Docs().CurrentImage().Area);
        EXPECT_EQ(view.Data, form.Docs().CurrentImage().Data);
    });
}

TEST_F(KvTest, DrawingViewWithClippingFollowsScrollAndZoom) {
    {
        kv::SettingsStore store(settingsPath_);
        store.WriteBool(kv::kPreferencesKey, "Clipping", true);
        store.Flush();
    }
    Run({}, [](kv::TMainForm& form) {
        RandomImage(form, 900, 800);
        int notices = 0;
        QObject::connect(&form, &kv::TMainForm::VisibleAreaChanged, [&] { ++notices; });
        SetZoom(form, 3);
        EXPECT_GT(notices, 0);
        form.MaxSize()->ScrollTo(300, 201);
        const QSize client = form.MaxSize()->viewport()->size();
        const pixkit::Rect want{100, 67, (client.width() + 299) / 3, (client.height() + 200) / 3};
        EXPECT_EQ(form.DrawingView().Area, want);
        EXPECT_EQ(form.DrawingView().Data, form.Docs().CurrentImage().At(100, 67));
        // At a zoom where the whole image shows, the view is the whole image.
        SetZoom(form, -4);
        EXPECT_EQ(form.DrawingView().Area, form.Docs().CurrentImage().Area);
    });
}

TEST_F(KvTest, ProgressBarAndViewRepaintsAreThrottled) {
    Run({}, [](kv::TMainForm& form) {
        Ready(form);
        std::int64_t now = 1000;
        form.ProgressTiming().Clock = [&] { return now; };
        int repaints = 0;
        form.ShowBuf()->OnPaint = [&](QPainter&) { ++repaints; };
        auto* bar = form.findChild<QProgressBar*>("ProgressBar");
        auto* stack = qobject_cast<QStackedWidget*>(bar->parentWidget());
        form.ProgressStart(100);
        EXPECT_EQ(stack->currentWidget(), bar);
        EXPECT_EQ(bar->maximum(), 100);
        now += 50;
        form.ProgressStep(10);
        EXPECT_EQ(bar->value(), 0);
        now += 50;
        form.ProgressStep(20);
        EXPECT_EQ(bar->value(), 20);
        now += 10;
        form.ProgressStep(30);
        EXPECT_EQ(bar->value(), 20);
        EXPECT_EQ(repaints, 0);
        now = 3000;
        form.ProgressStep(90);
        EXPECT_EQ(bar->value(), 90);
        EXPECT_EQ(repaints, 1);
        now = 3500;
        form.ProgressStep(95);
        EXPECT_EQ(repaints, 1);
        now = 4234;
        form.ProgressEnd();
        form.ShowBuf()->OnPaint = {};
        EXPECT_NE(stack->currentWidget(), bar);
        EXPECT_EQ(form.PanelText(4).toStdString(),
                  kv::Translate(key::ProcIn) + "   3.23 " + kv::Translate(key::Sec));
    });
}

} // namespace
