// "Clone": paints with pixels of the same image found at a fixed offset.
// Alt+click marks the source point, the next click fixes the offset from
// the pointer to it; every dab then copies, under the brush's opaque pixels
// (its colours do not matter), the pixels that far away. "Cumulative" off
// reads the image as it was when the stroke began, on reads the image as
// it is, so that pixels cloned in this stroke can be cloned again.
#pragma once

#include "tools/icon.h"

#include <pixkit/types.h>

#include <QRect>

#include <vector>

namespace kv {

class P_clone : public P_icon {
  public:
    P_clone();
    void Show() override;
    void Repaint(QPainter& view) override;
    void Hide() override;
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

  private:
    void StartStroke();
    void EndStroke();
    void Dab(pixkit::Pair<int> p);
    // Where the marker belongs now, in view pixels.
    QPoint MarkerCentre() const;
    void SetMarker(bool shown);
    void ReadCumulative();

    pixkit::Pair<int> offset_{0, 0}; // from the pointer to the source
    pixkit::Pair<int> source_{0, 0}; // the source point while one is being set
    bool settingSource_ = false;
    bool cumulative_ = false;   // the bar's switch as last seen
    bool fromSnapshot_ = false; // this stroke reads the undo snapshot
    bool stroking_ = false;
    bool dabbed_ = false; // the stroke has made a dab at last_
    pixkit::Pair<int> last_{0, 0};
    bool previewed_ = false;
    bool markerShown_ = false;
    QPoint marker_;
    std::vector<pixkit::Pixel> scratch_;
};

P_icon* CloneTool();

} // namespace kv
