// Straight lines and quadratic curves stamped with the brush.
#pragma once

#include "paint/pathtool.h"

namespace kv {

// "Single Line": two points per line.
class P_line : public P_path {
  public:
    P_line();
    void Press() override;
    int Continues() override { return 0; }

  protected:
    const char* StartKey() const override { return "LnStr"; }
    PathShape Band(pixkit::Pair<int> p) const override;
};

// "Continuous Line": each line starts where the last one ended.
class P_line_cont : public P_line {
  public:
    int Continues() override { return 1; }
};

// "Single Curve": start, end, then the point the curve passes through.
class P_spline : public P_path {
  public:
    P_spline();
    void Press() override;
    void Show() override;
    int Continues() override { return 0; }

    pixkit::Pair<int> End{0, 0};

  protected:
    const char* StartKey() const override { return "SplnStr"; }
    PathShape Band(pixkit::Pair<int> p) const override;

  private:
    PathShape CurveThrough(pixkit::Pair<int> p) const;

    // After a chained curve is drawn the next one shows nothing until the
    // pointer leaves the point where the last curve was finished.
    bool quiet_ = false;
    pixkit::Pair<int> quietAt_{0, 0};
};

// "Continuous Curve": each curve starts at the last one's end point.
class P_spline_cont : public P_spline {
  public:
    int Continues() override { return 1; }
};

} // namespace kv
