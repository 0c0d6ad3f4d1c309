// "&Info...": the current document's name, the image's and the brush's
// sizes, and their numbers of colours, counted when the user asks ("Count")
// because a large image takes a moment.
#pragma once

#include <pixkit/buffer.h>

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QGridLayout;
class QLabel;

namespace kv {

class TInfoForm : public QDialog {
    Q_OBJECT

  public:
    // image and brush must outlive the box; brushSkip is the brush pixel
    // value that is no colour (its transparency marker).
    TInfoForm(QWidget* parent, const std::string& name, const pixkit::Buffer& image,
              const pixkit::Buffer& brush, pixkit::Pixel brushSkip);

    void ImgColCntClick();
    void BrshColCntClick();

  private:
    QLabel* AddPart(QGridLayout* grid, int row, const QString& prefix, const QString& caption,
                    const QString& size, const QString& button, const std::function<void()>& count);

    const pixkit::Buffer& image_;
    const pixkit::Buffer& brush_;
    pixkit::Pixel brushSkip_;
    QLabel* imgColCnt_;
    QLabel* brshColCnt_;
};

} // namespace kv
