// The drawing and background colours and the colour dialog.
#include "mainform.h"

#include "colors/colorsel.h"
#include "colors/palettebar.h"
#include "colors/swatch.h"
#include "keys.h"
#include "lang.h"
#include "tools/framework.h"

namespace kv {

// The colours-changed notification: the painting brush takes the new
// colours and the tool's feedback is drawn again with them. The palette file
// dialogs first return to the previous tool.
void TMainForm::ConnectColors() {
    connect(this, &TMainForm::ColorsChanged, this, [this] {
        if (tools_->PaintingBrushForTechnique) tools_->PaintingBrushForTechnique();
        tools_->RefreshTool(true, true);
        tools_->TextStyleChanged();
    });
    connect(this, &TMainForm::TextPreviewAntiAlias, this, [this] { tools_->TextStyleChanged(); });
    palette_->BeforeFileDialog = [this] { tools_->ReturnToPreviousTool(true); };
}

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
