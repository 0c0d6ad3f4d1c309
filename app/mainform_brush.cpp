// The Brush menu: brush files, cutting commands and brush operations.
#include "mainform.h"

#include "brushops/bendtool.h"
#include "brushops/brushcommands.h"
#include "brushops/rotatetool.h"
#include "brushops/shapecommands.h"
#include "brushops/stretchtool.h"
#include "files/filecommands.h"
#include "paint/cuttools.h"
#include "paint/dropshform.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "paint/shelf.h"
#include "tools/framework.h"

#include <QAction>
#include <QMenu>

namespace kv {

void TMainForm::BuildBrushMenu() {
    QMenu* m = AddSubMenu(nullptr, "Brush1", "&Brush");
    AddCommand(m, "LoadBrush1", "O&pen...");
    AddCommand(m, "SaveBrush1", "&Save...");
    m->addSeparator();
    AddCommand(m, "SelectAll1", "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A));
    AddCommand(m, "Crop1", "&Crop", QKeySequence(Qt::CTRL | Qt::Key_P));
    AddCommand(m, "Restore1", "Res&tore");
    m->addSeparator();
    QMenu* halve = AddSubMenu(m, "Halve1", "Hal&ve");
    AddCommand(halve, "Both1", "&Both", QKeySequence(Qt::CTRL | Qt::Key_H));
    AddCommand(halve, "Width1", "&Width");
    AddCommand(halve, "Height1", "&Height");
    QMenu* dbl = AddSubMenu(m, "Double1", "&Double");
    AddCommand(dbl, "Both2", "&Both", QKeySequence(Qt::CTRL | Qt::Key_D));
    AddCommand(dbl, "Width2", "&Width");
    AddCommand(dbl, "Height2", "&Height");
    QMenu* stretch = AddSubMenu(m, "Stretch1", "Stretc&h");
    AddCommand(stretch, "Both3", "&Both", QKeySequence(Qt::CTRL | Qt::Key_B));
    AddCommand(stretch, "Width3", "&Width");
    AddCommand(stretch, "Height3", "&Height");
    QMenu* mirror = AddSubMenu(m, "Mirror1", "&Mirror");
    AddCommand(mirror, "LefttoRight1", "&Left-to-Right", QKeySequence(Qt::CTRL | Qt::Key_X));
    AddCommand(mirror, "ToptoBottom1", "&Top-to-Bottom", QKeySequence(Qt::CTRL | Qt::Key_Y));
    m->addSeparator();
    QMenu* rotate = AddSubMenu(m, "Rotate2", "&Rotate");
    AddCommand(rotate, "N90Degrees1", "&90 Degrees");
    AddCommand(rotate, "N180Degrees1", "&180 Degrees");
    AddCommand(rotate, "AnyAngle1", "&Any Angle", QKeySequence(Qt::CTRL | Qt::Key_R));
    QMenu* bend = AddSubMenu(m, "Bend1", "Be&nd");
    AddCommand(bend, "UpandDown1", "&Up-and-Down");
    AddCommand(bend, "LeftandRight1", "&Left-and-Right");
    QMenu* shear = AddSubMenu(m, "Shear1", "Sh&ear");
    AddCommand(shear, "UpandDown2", "&Up-and-Down");
    AddCommand(shear, "LeftandRight2", "&Left-and-Right");
    m->addSeparator();
    AddCommand(m, "Outline1", "&Outline", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_O));
    AddCommand(m, "DropShadow1", "Drop Shado&w...");
    QMenu* handle = AddSubMenu(m, "Handle1", "Hand&le");
    AddCommand(handle, "Center1", "&Center", QKeySequence(Qt::CTRL | Qt::Key_E));
    AddCommand(handle, "LTCorner1", "&Left Top Corner");
    AddCommand(handle, "RTCorner1", "&Right Top Corner");
    AddCommand(handle, "RBCorner1", "Right &Bottom Corner");
    AddCommand(handle, "LBCorner1", "Left B&ottom Corner");
}

// Select All, Crop, Restore, Halve, Double, Stretch, Mirror, Rotate, Bend,
// Shear, Outline, Drop Shadow and Handle.
void TMainForm::ConnectBrushCommands() {
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"SelectAll1", [] { SelectAllBrush(); }},
        {"Crop1", [] { CropToBrush(); }},
        {"Restore1", [this] { tools_->SelectTool(RestoreBrushTool(), true, -1); }},
        {"Both1", [] { ScaleBrushCommand(0.5, 0.5); }},
        {"Width1", [] { ScaleBrushCommand(0.5, 1); }},
        {"Height1", [] { ScaleBrushCommand(1, 0.5); }},
        {"Both2", [] { ScaleBrushCommand(2, 2); }},
        {"Width2", [] { ScaleBrushCommand(2, 1); }},
        {"Height2", [] { ScaleBrushCommand(1, 2); }},
        {"Both3", [this] { tools_->SelectTool(StretchBrushTool(), true, -1); }},
        {"Width3", [this] { tools_->SelectTool(StretchBrushXTool(), true, -1); }},
        {"Height3", [this] { tools_->SelectTool(StretchBrushYTool(), true, -1); }},
        {"LefttoRight1", [] { MirrorBrushCommand(true); }},
        {"ToptoBottom1", [] { MirrorBrushCommand(false); }},
        {"N90Degrees1", [] { RotateBrushCommand(false); }},
        {"N180Degrees1", [] { RotateBrushCommand(true); }},
        {"AnyAngle1", [this] { tools_->SelectTool(RotateBrushTool(), true, -1); }},
        {"UpandDown1", [this] { tools_->SelectTool(BendBrushUnDTool(), true, -1); }},
        {"LeftandRight1", [this] { tools_->SelectTool(BendBrushLnRTool(), true, -1); }},
        {"UpandDown2", [this] { tools_->SelectTool(ShearBrushUnDTool(), true, -1); }},
        {"LeftandRight2", [this] { tools_->SelectTool(ShearBrushLnRTool(), true, -1); }},
        {"Outline1", [] { OutlineBrushCommand(); }},
        {"DropShadow1", [this] { OpenDropShadowDialog(this, centralWidget()); }},
        {"Center1", [] { SetBrushHandle(bhCentre); }},
        {"LTCorner1", [] { SetBrushHandle(bhLeftTop); }},
        {"RTCorner1", [] { SetBrushHandle(bhRightTop); }},
        {"RBCorner1", [] { SetBrushHandle(bhRightBottom); }},
        {"LBCorner1", [] { SetBrushHandle(bhLeftBottom); }},
    };
    for (const auto& [name, run] : commands) {
        QAction* action = MenuCommand(name);
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, run);
    }
}

// A loaded brush is a user brush painting in its own colours, as a cut one.
void TMainForm::ConnectBrushFiles() {
    FileHooks& h = files_->Hooks;
    h.BrushChanging = [this] { tools_->HideFeedback(); };
    h.BrushLoaded = [this] {
        painting_->BrushChanged();
        shelf_->Add(painting_->Brush);
        tools_->ShowFeedback();
    };
    QAction* open = MenuCommand("LoadBrush1");
    open->setEnabled(true);
    connect(open, &QAction::triggered, this, [this] { files_->OpenBrush(painting_->Brush); });
    QAction* save = MenuCommand("SaveBrush1");
    save->setEnabled(true);
    connect(save, &QAction::triggered, this, [this] { files_->SaveBrush(painting_->Brush); });
}

} // namespace kv
