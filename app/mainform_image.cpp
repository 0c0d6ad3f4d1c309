// The Image, Effects and Techniques menus.
#include "mainform.h"

#include "brushops/rotatepicture.h"
#include "brushops/stretchpicture.h"
#include "files/infoform.h"
#include "paint/painting.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace kv {

namespace {

// "&Info...", centred over the image area.
void ShowInfo(TMainForm& form) {
    TInfoForm box(&form, form.Docs().DocumentLabel(), form.Docs().CurrentImage(),
                  form.Paintbox().Brush.Brush, kBrushTransparent);
    box.adjustSize();
    QWidget* area = form.centralWidget() != nullptr ? form.centralWidget() : &form;
    box.move(area->mapToGlobal(area->rect().center()) - box.rect().center());
    box.exec();
}

} // namespace

void TMainForm::BuildImageMenu() {
    QMenu* m = AddSubMenu(nullptr, "Image1", "&Image");
    AddCommand(m, "StretchMirror1", "&Stretch / Mirror");
    AddCommand(m, "Rotate1", "&Rotate");
    m->addSeparator();
    AddCommand(m, "CustomFilter1", "&Custom Filter...");
    AddCommand(m, "FilterFactory1", "&Filter Factory");
    m->addSeparator();
    AddCommand(m, "Info1", "&Info...");
}

void TMainForm::ConnectImageCommands() {
    const std::pair<const char*, P_icon* (*)()> commands[] = {
        {"StretchMirror1", StretchPictureTool},
        {"Rotate1", RotatePictureTool},
    };
    for (const auto& [name, tool] : commands) {
        QAction* action = MenuCommand(name);
        action->setEnabled(true);
        connect(action, &QAction::triggered, this,
                [this, tool] { tools_->SelectTool(tool(), true, -1); });
    }
    QAction* info = MenuCommand("Info1");
    info->setEnabled(true);
    connect(info, &QAction::triggered, this, [this] { ShowInfo(*this); });
}

// One sub-menu per folder of plug-in components, filled by the component
// scan at start-up.
void TMainForm::BuildEffectsMenu() {
    AddSubMenu(nullptr, "Effects1", "Effe&cts");
}

void TMainForm::BuildTechniquesMenu() {
    QMenu* m = AddSubMenu(nullptr, "Techniques1", "&Techniques");
    auto* group = new QActionGroup(this);
    for (QAction* a : {AddCommand(m, "Paint1", "&Paint", QKeySequence(Qt::Key_F2)),
                       AddCommand(m, "Color1", "&Color", QKeySequence(Qt::Key_F3)),
                       AddCommand(m, "Replace1", "&Replace", QKeySequence(Qt::Key_F4))}) {
        a->setCheckable(true);
        group->addAction(a);
    }
    MenuCommand("Color1")->setChecked(true);
}

} // namespace kv
