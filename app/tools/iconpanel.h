// The variant panel: a small window of 32-pixel buttons that opens beside a
// tool-panel button held for half a second and offers the icon's variants.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class QToolButton;

namespace kv {

class TToolButton;

class TIconPanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kButtons = 32;
    static constexpr int kButtonSize = 32;

    explicit TIconPanel(QWidget* owner);

    struct Variant {
        QPixmap Glyph;
        QString Hint;
    };
    // Sizes the panel for the variants in rows of columns buttons and shows
    // one button per variant; the others are hidden.
    void Layout(const std::vector<Variant>& variants, int columns);
    // Where the panel goes for a tool-panel button whose top left corner is
    // at buttonTopLeft (screen coordinates) on a screen of the given extent:
    // right of the button, or left of it when it would not fit there.
    static QPoint Placement(QPoint buttonTopLeft, int buttonWidth, QSize panel, int screenLeft,
                            int screenRight);

    QToolButton* Button(int i) const { return buttons_[static_cast<std::size_t>(i)]; }
    // The tool-panel button the panel was opened for.
    TToolButton* Origin = nullptr;
    // While set, losing the focus does not close the panel.
    bool KeepOnFocusLoss = false;

  Q_SIGNALS:
    void IconSelected(int variant);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

  private:
    std::array<QToolButton*, kButtons> buttons_{};
};

} // namespace kv
