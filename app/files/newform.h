// TNewForm: the size of a new image, "Size &X" and "Size &Y", 1 to 16384
// each. Texts come from the language section "[NewForm]".
#pragma once

#include <QDialog>

class QSpinBox;

namespace kv {

inline constexpr int kMaxNewSize = 16384;

class TNewForm : public QDialog {
    Q_OBJECT

  public:
    // Not a number of the tool table: the File page's "New image" section.
    static constexpr int kHelpContext = 1100;
    TNewForm(QWidget* parent, int width, int height);
    int SizeXValue() const;
    int SizeYValue() const;

  private:
    QSpinBox* sizeX_;
    QSpinBox* sizeY_;
};

} // namespace kv
