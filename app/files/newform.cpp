#include "newform.h"

#include "lang.h"
#include "lang_qt.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace kv {

namespace {
QSpinBox* SizeBox(QWidget* parent, const char* name, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, kMaxNewSize);
    box->setValue(value);
    return box;
}
} // namespace

TNewForm::TNewForm(QWidget* parent, int width, int height) : QDialog(parent) {
    setObjectName("NewForm");
    setProperty("HelpContext", kHelpContext);
    setWindowTitle(QStringLiteral("New"));
    sizeX_ = SizeBox(this, "SizeX", width);
    sizeY_ = SizeBox(this, "SizeY", height);
    auto* layout = new QFormLayout(this);
    auto* labelX = new QLabel(QStringLiteral("Size &X"), this);
    labelX->setObjectName("SizeXLabel");
    labelX->setBuddy(sizeX_);
    auto* labelY = new QLabel(QStringLiteral("Size &Y"), this);
    labelY->setObjectName("SizeYLabel");
    labelY->setBuddy(sizeY_);
    layout->addRow(labelX, sizeX_);
    layout->addRow(labelY, sizeY_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OkBtn");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("CancelBtn");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[NewForm]");
}

int TNewForm::SizeXValue() const {
    return sizeX_->value();
}
int TNewForm::SizeYValue() const {
    return sizeY_->value();
}

} // namespace kv
