// The 28-pixel buttons of the tool panel. Buttons of one group (1: the
// tools, 2: the Grid toggle) on one panel are exclusive: one going down
// releases the others. Group 0 is a plain push button.
#pragma once

#include <QToolButton>

namespace kv {

class TToolButton : public QToolButton {
    Q_OBJECT

  public:
    TToolButton(QWidget* parent, int group);

    int Group() const { return group_; }
    // Whether a click may release the button while it is down.
    bool AllowAllUp = false;

    bool Down() const { return isChecked(); }
    // Puts the button down (releasing the others of its group) or up.
    void SetDown(bool down);

  Q_SIGNALS:
    void Pressed(Qt::MouseButtons buttons);
    void Released();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void nextCheckState() override;

  private:
    int group_;
};

} // namespace kv
