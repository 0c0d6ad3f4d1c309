#include "fixture.h"

#include "resources.h"

#include <QApplication>
#include <QTest>

#include <cstdlib>

namespace toolstest {

namespace {

std::unique_ptr<QApplication>& AppHolder() {
    static std::unique_ptr<QApplication> app;
    return app;
}

// The application goes before the program's exit handlers run.
class AppEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { AppHolder().reset(); }
};
::testing::Environment* const gAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

void EnsureApp() {
    if (AppHolder()) return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "test_tools";
    static char* argv[] = {name, nullptr};
    AppHolder() = std::make_unique<QApplication>(argc, argv);
    kv::LoadResources();
}

} // namespace

void FrameworkTest::SetUp() {
    EnsureApp();
    window_ = std::make_unique<QWidget>();
    panel_ = new QWidget(window_.get());
    fw_ = std::make_unique<kv::ToolFramework>(panel_, window_.get());
    fw_->Host.InsideImage = [](pixkit::Pair<int> p) {
        return p.x >= 0 && p.y >= 0 && p.x < 100 && p.y < 100;
    };
    fw_->Host.SetPanelText = [this](int panel, const QString& text) { panels_[panel] = text; };
    fw_->TakeSnapshot = [this] { ++snapshots_; };
}

void FrameworkTest::TearDown() {
    fw_.reset();
    window_.reset();
}

void FrameworkTest::Press(int x, int y, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    const QPointF at(x, y);
    const QMouseEvent e(QEvent::MouseButtonPress, at, at, button, button, mods);
    fw_->ShowBufMouseDown(e);
}

void FrameworkTest::Release(int x, int y, Qt::MouseButton button) {
    const QPointF at(x, y);
    const QMouseEvent e(QEvent::MouseButtonRelease, at, at, button, Qt::NoButton, Qt::NoModifier);
    fw_->ShowBufMouseUp(e);
}

void FrameworkTest::Move(int x, int y, Qt::KeyboardModifiers mods) {
    const QPointF at(x, y);
    const QMouseEvent e(QEvent::MouseMove, at, at, Qt::NoButton,
                        fw_->MouseDown ? Qt::LeftButton : Qt::NoButton, mods);
    fw_->StoreMouseCoords(e);
}

void FrameworkTest::WaitForDrag() {
    for (int waited = 0; fw_->DragTimerActive() && waited < 5000; waited += 20) QTest::qWait(20);
    ASSERT_FALSE(fw_->DragTimerActive());
}

int FrameworkTest::Add(TestTool& tool, int hotKey, int group, int columns, const char* name) {
    return fw_->RegisterTool("PEN1", &tool, hotKey, group, name, columns);
}

} // namespace toolstest
