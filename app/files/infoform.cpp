#include "infoform.h"

#include "files/colorcount.h"
#include "lang.h"
#include "lang_qt.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace kv {

namespace {

QLabel* Label(QWidget* parent, const QByteArray& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QString SizeText(const pixkit::Buffer& b) {
    if (b.Empty()) return QStringLiteral("0 x 0");
    return QStringLiteral("%1 x %2").arg(b.Width()).arg(b.Height());
}

// Counts with the wait cursor; a count of 0 (nothing to count) keeps the
// placeholder.
void Count(QLabel* target, const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::int64_t n = CountColors(b, skip);
    QApplication::restoreOverrideCursor();
    if (n > 0) target->setText(QString::number(n));
}

} // namespace

// Two rows from row on: caption and size, then the colour count with its
// "Count" button; the controls are named prefix + "Capt", "Size", "ColCapt",
// "ColCnt" and "ColCntBtn". Returns the count's label.
QLabel* TInfoForm::AddPart(QGridLayout* grid, int row, const QString& prefix,
                           const QString& caption, const QString& size, const QString& button,
                           const std::function<void()>& count) {
    auto name = [&](const char* part) { return (prefix + QLatin1String(part)).toLatin1(); };
    grid->addWidget(Label(this, name("Capt"), caption), row, 0);
    grid->addWidget(Label(this, name("Size"), size), row, 1);
    grid->addWidget(Label(this, name("ColCapt"), QStringLiteral("Colors:")), row + 1, 0);
    QLabel* result = Label(this, name("ColCnt"), QStringLiteral("(not counted)"));
    grid->addWidget(result, row + 1, 1);
    auto* countButton = new QPushButton(button, this);
    countButton->setObjectName(QString::fromLatin1(name("ColCntBtn")));
    grid->addWidget(countButton, row + 1, 2);
    connect(countButton, &QPushButton::clicked, this, count);
    return result;
}

TInfoForm::TInfoForm(QWidget* parent, const std::string& name, const pixkit::Buffer& image,
                     const pixkit::Buffer& brush, pixkit::Pixel brushSkip)
    : QDialog(parent), image_(image), brush_(brush), brushSkip_(brushSkip) {
    setObjectName("InfoForm");
    setWindowTitle(QStringLiteral("Information"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(Label(this, "NameCapt", QStringLiteral("Name:")), 0, 0);
    grid->addWidget(Label(this, "NameLab", QString::fromStdString(name)), 0, 1, 1, 2);
    imgColCnt_ = AddPart(grid, 1, "Img", QStringLiteral("Image:"), SizeText(image),
                         QStringLiteral("&Count"), [this] { ImgColCntClick(); });
    brshColCnt_ = AddPart(grid, 3, "Brsh", QStringLiteral("Brush:"), SizeText(brush),
                          QStringLiteral("C&ount"), [this] { BrshColCntClick(); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OkBtn");
    grid->addWidget(buttons, 5, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[InfoForm]");
}

void TInfoForm::ImgColCntClick() {
    Count(imgColCnt_, image_, std::nullopt);
}

void TInfoForm::BrshColCntClick() {
    Count(brshColCnt_, brush_, brushSkip_);
}

} // namespace kv
