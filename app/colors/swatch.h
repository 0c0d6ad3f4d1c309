// A colour swatch: a plain rectangle showing one 0xRRGGBB colour that
// reports mouse presses. The drawing and background colours, the palette
// entries and the colour fields of parameter bars are swatches.
#pragma once

#include <QWidget>

#include <cstdint>

class QMouseEvent;

namespace kv {

class TColorSwatch : public QWidget {
    Q_OBJECT

  public:
    explicit TColorSwatch(QWidget* parent = nullptr);

    std::uint32_t Color() const { return color_; }
    // Sets the colour; the hint follows it as "(r,g,b)" when hintFollows.
    void SetColor(std::uint32_t rgb);
    bool HintFollows = false;

  Q_SIGNALS:
    void Pressed(QMouseEvent* event);
    void ColorChanged(std::uint32_t rgb);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    std::uint32_t color_ = 0;
};

} // namespace kv
