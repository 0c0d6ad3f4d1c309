// The fixture of the image-wide tools driven by a parameter bar (Image >
// Stretch / Mirror, Image > Rotate): a pattern image whose every pixel
// tells where it came from, and the bar's fields and buttons.
#pragma once

#include "paintgui.h"

#include "bars/parambar.h"

#include <QAbstractButton>

namespace kvtest {

class FilterGui : public PaintGui {
  protected:
    static pixkit::Pixel Pattern(int x, int y) { return pixkit::Pixel(y << 12 | x); }
    static void FillPattern(kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x) *image.At(x, y) = Pattern(x, y);
    }
    static double Field(kv::TMainForm& form, int index) {
        return form.ParamBar().GetBarValue(index);
    }
    static void SetField(kv::TMainForm& form, int index, double v) {
        form.ParamBar().SetBarValue(index, v);
    }
    static void Press(kv::TMainForm& form, int index) {
        qobject_cast<QAbstractButton*>(form.ParamBar().Control(index))->click();
    }
    static pixkit::Pair<int> Size(kv::TMainForm& form) {
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        return {image.Width(), image.Height()};
    }
};

} // namespace kvtest
