// The main window's side of painting: the brush state and the painting
// tools' environment.
#include "mainform.h"

#include "paint/painting.h"

namespace kv {

void TMainForm::InitPainting() {
    painting_ = std::make_unique<Painting>(*this);
    // The program starts with the one-pixel brush.
    painting_->Brush.MakePixelBrush(painting_->DrawColor());
    painting_->ShowTechnique();
}

} // namespace kv
