// The drawing and background colours and the colour dialog.
#include "mainform.h"

#include "colors/colorsel.h"
#include "colors/palettebar.h"
#include "colors/swatch.h"
#include "keys.h"
#include "lang.h"

namespace kv {

std::uint32_t TMainForm::DrawColor() const {
    return palette_->DrawColor();
}

std::uint32_t TMainForm::BackColor() const {
    return palette_->BackColor();
}

void TMainForm::SetDrawColor(std::uint32_t rgb) {
    palette_->SetDrawColor(rgb);
}

void TMainForm::SetBackColor(std::uint32_t rgb) {
    palette_->SetBackColor(rgb);
}

void TMainForm::ShowColorDialog(bool background) {
    ShowColorDialogFor(
        background ? palette_->BackCol() : palette_->DrawCol(),
        QString::fromStdString(Translate(background ? key::SelBackCol : key::SelDrawCol)));
}

void TMainForm::ShowColorDialogFor(TColorSwatch* swatch, const QString& title) {
    colorSel_->Open(swatch, title, centralWidget(), [this] { Q_EMIT ColorsChanged(); });
}

} // namespace kv
