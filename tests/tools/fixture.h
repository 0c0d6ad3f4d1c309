// The tool framework on its own: a window with a tool panel, an image of
// 100 x 100 pixels seen at 1:1, and tool objects that record what the
// framework asks of them.
#pragma once

#include "tool_doubles.h"
#include "tools/framework.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace toolstest {

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
