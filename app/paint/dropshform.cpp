#include "paint/dropshform.h"

#include "brushops/shapecommands.h"
#include "lang.h"
#include "lang_qt.h"
#include "platform/formbutton.h"
#include "tools/framework.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kMaxDepth = 999;

QLabel* Label(QWidget* parent, const char* name, const char* caption, QWidget* buddy) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setBuddy(buddy);
    return l;
}

} // namespace

TDropShForm::TDropShForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("DropShForm");
    setProperty("HelpContext", kHelpContext);
    setWindowTitle(QStringLiteral("Drop Shadow"));
    ShDir = new QComboBox(this);
    ShDir->setObjectName("ShDir");
    ShDir->addItems({"East", "South-East", "South", "South-West"});
    ShDir->setCurrentIndex(0);
    ShDepth = new QSpinBox(this);
    ShDepth->setObjectName("ShDepth");
    ShDepth->setRange(1, kMaxDepth);
    ShDepth->setValue(1);
    ShDepth->setToolTip(QStringLiteral("Shadow Depth"));
    auto* fields = new QFormLayout;
    fields->addRow(Label(this, "ShDirLabel", "&Direction", ShDir), ShDir);
    fields->addRow(Label(this, "ShDepthLabel", "Depth in &Points", ShDepth), ShDepth);
    okBtn_ = FormButton(this, "OkBtn", "&Ok", "Cast Shadow");
    cancelBtn_ = FormButton(this, "CancelBtn", "&Cancel", "Abandon Operation");
    connect(okBtn_, &QPushButton::clicked, this, &TDropShForm::OkBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &TDropShForm::FormDeactivate);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okBtn_);
    buttons->addWidget(cancelBtn_);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[DropShForm]");
}

void TDropShForm::ShowOver(QWidget* area) {
    adjustSize();
    if (area != nullptr) move(area->mapToGlobal(area->rect().center()) - rect().center());
    open_ = true;
    wasActive_ = false;
    show();
    raise();
    activateWindow();
    ShDepth->setFocus();
    ShDepth->selectAll();
}

void TDropShForm::Close() {
    if (!open_) return;
    open_ = false;
    hide();
    if (OnHidden) OnHidden();
}

void TDropShForm::OkBtnClick() {
    if (!open_) return;
    const int direction = ShDir->currentIndex(), depth = ShDepth->value();
    Close();
    if (OnOk) OnOk(direction, depth);
}

void TDropShForm::FormDeactivate() {
    Close();
}

void TDropShForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OkBtnClick();
        return;
    case Qt::Key_Escape:
        FormDeactivate();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Another window took the focus from the dialog: it goes away unchanged.
void TDropShForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !open_) return;
    if (isActiveWindow())
        wasActive_ = true;
    else if (wasActive_)
        FormDeactivate();
}

void TDropShForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    FormDeactivate();
}

TDropShForm* DropShadowDialog(QWidget* window) {
    return window->findChild<TDropShForm*>("DropShForm", Qt::FindDirectChildrenOnly);
}

void OpenDropShadowDialog(QWidget* window, QWidget* area) {
    TDropShForm* form = DropShadowDialog(window);
    if (form == nullptr) {
        form = new TDropShForm(window);
        form->OnOk = [](int direction, int depth) { DropShadowCommand(direction, depth); };
        form->OnHidden = [] {
            // Gone already when the dialog closes with the program.
            ToolFramework* tools = Tools();
            if (tools == nullptr) return;
            tools->Current->Activate();
            tools->ShowFeedback();
        };
    }
    if (form->isVisible()) {
        form->activateWindow();
        return;
    }
    ToolFramework& tools = *Tools();
    tools.HideFeedback();
    tools.Current->Deactivate(nullptr);
    form->ShowOver(area);
}

} // namespace kv
