// The About panel: a borderless window that stays on top and shows the
// program's picture. At start-up it is the splash panel; from the Help menu
// it stays until it is clicked.
#pragma once

#include <QWidget>

namespace kv {

class TAboutPanel : public QWidget {
    Q_OBJECT

  public:
    explicit TAboutPanel(QWidget* owner);

    // Centred on the screen: left = (screen width - panel width) / 2, top alike.
    void ShowSplash();
    void ShowAbout();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void Centre();
};

} // namespace kv
