// The main window's side of painting: the brush state, the painting tools'
// environment and the hooks of the tool framework they fill.
#include "mainform.h"

#include "brushops/shapecommands.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"
#include "tools/hotkeys.h"

#include "view/tbuffer.h"

#include <QPushButton>

#include <QToolBar>
#include <algorithm>
#include <iterator>

namespace kv {

void TMainForm::InitPainting() {
    painting_ = std::make_unique<Painting>(*this);
    // The program starts with the one-pixel brush.
    painting_->Brush.MakePixelBrush(painting_->DrawColor());
    painting_->ShowTechnique();

    tools_->SnapToGrid = [this](pixkit::Pair<int>& p) { painting_->SnapToGrid(p); };
    tools_->PaintingBrushForTechnique = [this] {
        painting_->Brush.Settings.Technique = tools_->CurrentTechnique;
        painting_->PrepareBrush(false);
        painting_->ShowTechnique();
    };
    hotKeys_->Actions.PixelBrush = [] { PixelBrush(); };
    hotKeys_->Actions.CycleBrushHandle = [] { CycleBrushHandle(); };
    hotKeys_->Actions.PredefinedRectKey = [](int key) { PredefinedRectKey(key); };

    if (auto* size = findChild<QPushButton*>("BrushSizeBtn")) {
        size->setEnabled(true);
        connect(size, &QPushButton::clicked, this, [this] { painting_->SetGridDeltaFromBrush(); });
    }
    if (auto* origin = findChild<QPushButton*>("GridOrigBtn")) {
        origin->setEnabled(true);
        connect(origin, &QPushButton::clicked, this,
                [this] { tools_->SelectTool(GridPosTool(), true, -1); });
    }
    // Pen pressure sizes the stamps of the pens, lines and spray.
    ShowBuf()->OnPressure = [this](double pressure, bool down) {
        P_icon* const sized[] = {PenContTool(), PenDiscTool(),  PenOneTool(),
                                 LineTool(),    LineContTool(), SprayTool()};
        const bool use =
            down && prefs_.TabletPressure &&
            std::find(std::begin(sized), std::end(sized), tools_->Current) != std::end(sized);
        painting_->Stamp.SetPressureStep(use ? PressureTips::StepOf(pressure) : -1,
                                         prefs_.MinPressure / 100.0);
    };
    ConnectBrushFiles();
    ConnectBrushCommands();
    ConnectImageCommands();
}

// "Clear Image" follows "Undo Last Action" among the action icons.
void TMainForm::RegisterClearIcon() {
    constexpr int kCtrl = 0x200;
    tools_->RegisterTool("CLEAR", ClearTool(), kCtrl | 'C', 0, "Clear Image", 4);
}

} // namespace kv
