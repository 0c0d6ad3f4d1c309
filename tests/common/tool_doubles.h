// Tool objects for tests: they record what the tool framework asks of them.
#pragma once

#include "tools/framework.h"

#include <string>
#include <vector>

namespace toolstest {

// Records every operation as "name.Operation" into a shared log.
class TestTool : public kv::P_icon {
  public:
    TestTool(std::string name, std::vector<std::string>& log, std::uint8_t flags = 0,
             int clicks = 2)
        : Name(std::move(name)), Log(log) {
        Flags = flags;
        Clicks = clicks;
    }
    void Show() override { Log.push_back(Name + ".Show"); }
    void Hide() override { Log.push_back(Name + ".Hide"); }
    void Press() override {
        Log.push_back(Name + ".Press");
        PressStates.push_back(kv::Tools()->State);
        PressPoints.push_back(kv::Tools()->ImagePos);
    }
    void Activate() override {
        Log.push_back(Name + ".Activate");
        ++Activations;
        if (PendingAfterUse != nullptr) kv::Tools()->Pending = PendingAfterUse;
    }
    void Deactivate(kv::P_icon* next) override {
        const auto* t = dynamic_cast<TestTool*>(next);
        Log.push_back(Name + ".Deactivate(" + (t != nullptr ? t->Name : "null") + ")");
    }

    std::string Name;
    std::vector<std::string>& Log;
    std::vector<int> PressStates;               // the click state at each Press
    std::vector<pixkit::Pair<int>> PressPoints; // the image position at each Press
    int Activations = 0;
    kv::P_icon* PendingAfterUse = nullptr; // an immediate tool hands over to this one
};

// Draws a segment between two points: the first Press (in the state Idle)
// takes the start, a later one the end.
class TwoClickTool : public TestTool {
  public:
    using TestTool::TestTool;
    void Press() override {
        TestTool::Press();
        if (kv::Tools()->State == kv::csIdle)
            start_ = kv::Tools()->ImagePos;
        else
            Drawn.push_back({start_, kv::Tools()->ImagePos});
    }
    struct Segment {
        pixkit::Pair<int> From, To;
    };
    std::vector<Segment> Drawn;

  private:
    pixkit::Pair<int> start_{};
};

} // namespace toolstest
