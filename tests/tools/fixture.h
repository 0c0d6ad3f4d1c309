// The tool framework on its own: a window with a tool panel, an image of
// 100 x 100 pixels seen at 1:1, and tool objects that record what the
// framework asks of them.
#pragma once

#include "tools/framework.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace toolstest {

// Records every operation as "name.Operation" into a shared log.
class TestTool : public kv::P_icon {
  public:
    TestTool(std::string name, std::vector<std::string>& log, std::uint8_t flags = 0,
             int clicks = 2);
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;
    void Deactivate(kv::P_icon* next) override;

    std::string Name;
    std::vector<std::string>& Log;
    std::vector<int> PressStates;               // the click state at each Press
    std::vector<pixkit::Pair<int>> PressPoints; // the image position at each Press
    int Activations = 0;
    kv::P_icon* PendingAfterUse = nullptr; // an immediate tool hands over to this one
};

// A tool that draws a segment between two points: the first Press (in the
// state Idle) takes the start, a later one the end.
class TwoClickTool : public TestTool {
  public:
    using TestTool::TestTool;
    void Press() override;
    struct Segment {
        pixkit::Pair<int> From, To;
    };
    std::vector<Segment> Drawn;

  private:
    pixkit::Pair<int> start_{};
};

class FrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void Press(int x, int y, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = Qt::NoModifier);
    void Release(int x, int y, Qt::MouseButton button = Qt::LeftButton);
    void Move(int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier);
    // Lets the drag delay run out.
    void WaitForDrag();
    // Registers tool as a new icon (columns 4) or a variant (columns 0).
    int Add(TestTool& tool, int hotKey = 0, int group = 1, int columns = 4, const char* name = "");

    std::unique_ptr<QWidget> window_;
    QWidget* panel_ = nullptr;
    std::unique_ptr<kv::ToolFramework> fw_;
    std::vector<std::string> log_;
    std::map<int, QString> panels_;
    int snapshots_ = 0;
};

} // namespace toolstest
