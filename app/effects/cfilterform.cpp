#include "effects/cfilterform.h"

#include "effects/acffile.h"
#include "files/filenames.h"
#include "keys.h"
#include "lang.h"
#include "lang_qt.h"
#include "platform/formbutton.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace kv {

namespace {

constexpr int kCellWidth = 36, kCellHeight = 22, kCellStepX = 38, kCellStepY = 24;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A cell keeps digits, and a sign only as its first character; the caret
// moves back over every character taken out before it.
QString CellChars(const QString& text, int& caret) {
    QString kept;
    int newCaret = caret;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool sign = (c == '+' || c == '-') && kept.isEmpty();
        if (c.isDigit() || sign)
            kept += c;
        else if (i < caret)
            --newCaret;
    }
    caret = newCaret;
    return kept;
}

// The value a cell stands for: its integer clamped to -999..999; empty, a
// lone sign or anything else is 0.
int CellValue(const QString& text) {
    QString digits = text;
    const bool negative = digits.startsWith('-');
    if (negative || digits.startsWith('+')) digits.remove(0, 1);
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
        return 0;
    while (digits.size() > 1 && digits[0] == '0') digits.remove(0, 1);
    const int magnitude = digits.size() > 4 ? kCellLimit : std::min(digits.toInt(), kCellLimit);
    return negative ? -magnitude : magnitude;
}

QString CellText(int value) {
    return value == 0 ? QString() : QString::number(value);
}

QSpinBox* Spin(QWidget* parent, const char* name, int min, int max, int value) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(min, max);
    s->setValue(value);
    return s;
}

} // namespace

TCFilterForm::TCFilterForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("CFilterForm");
    setProperty("HelpContext", kHelpContext);
    setWindowTitle(QStringLiteral("Custom Filter"));
    BuildCells();
    divFactor_ = Spin(this, "DivFactor", kDivisorMin, kDivisorMax, 9);
    bias_ = Spin(this, "Bias", -kBiasLimit, kBiasLimit, 0);
    for (QSpinBox* s : {divFactor_, bias_})
        connect(s, &QSpinBox::valueChanged, this, [this] { Run(OnParamChanged); });
    auto* values = new QFormLayout;
    auto* divLabel = new QLabel(QStringLiteral("Div Factor"), this);
    divLabel->setObjectName("DivFactorLabel");
    divLabel->setBuddy(divFactor_);
    auto* biasLabel = new QLabel(QStringLiteral("Bias"), this);
    biasLabel->setObjectName("BiasLabel");
    biasLabel->setBuddy(bias_);
    values->addRow(divLabel, divFactor_);
    values->addRow(biasLabel, bias_);

    auto* left = new QVBoxLayout;
    left->addWidget(findChild<QWidget*>("Cells"));
    left->addLayout(values);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(BuildButtons(), 0, Qt::AlignTop);
    Dialogs = ScreenDialogs(this);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[CFilterForm]");
}

// The 25 cells in five rows of five, cell index = row * 5 + column.
void TCFilterForm::BuildCells() {
    auto* grid = new QWidget(this);
    grid->setObjectName("Cells");
    grid->setFixedSize(4 * kCellStepX + kCellWidth + 4, 4 * kCellStepY + kCellHeight + 4);
    for (int i = 0; i < kFilterCells; ++i) {
        auto* cell = new QLineEdit(grid);
        cell->setObjectName(QString("Cell%1").arg(i));
        cell->setGeometry(i % 5 * kCellStepX + 2, i / 5 * kCellStepY + 2, kCellWidth, kCellHeight);
        cell->setAlignment(Qt::AlignRight);
        connect(cell, &QLineEdit::textEdited, this, [this, cell] { ParamChanged(cell); });
        connect(cell, &QLineEdit::textChanged, this, [this] { Run(OnParamChanged); });
        connect(cell, &QLineEdit::editingFinished, this, [this, cell] { CellExit(cell); });
        cells_[std::size_t(i)] = cell;
    }
}

QWidget* TCFilterForm::BuildButtons() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    okBtn_ = FormButton(column, "OkBtn", "&Ok");
    previewBtn_ = FormButton(column, "PreviewBtn", "&Preview");
    cancelBtn_ = FormButton(column, "CancelBtn", "&Cancel");
    loadBtn_ = FormButton(column, "LoadBtn", "&Load...");
    saveBtn_ = FormButton(column, "SaveBtn", "&Save...");
    for (QPushButton* b : {okBtn_, previewBtn_, cancelBtn_, loadBtn_, saveBtn_})
        layout->addWidget(b);
    connect(okBtn_, &QPushButton::clicked, this, [this] { Run(OnOk); });
    connect(previewBtn_, &QPushButton::clicked, this, [this] { Run(OnPreview); });
    connect(cancelBtn_, &QPushButton::clicked, this, [this] { Run(OnCancel); });
    connect(loadBtn_, &QPushButton::clicked, this, &TCFilterForm::LoadBtnClick);
    connect(saveBtn_, &QPushButton::clicked, this, &TCFilterForm::SaveBtnClick);
    return column;
}

FilterKernel TCFilterForm::Kernel() const {
    FilterKernel k;
    for (int i = 0; i < kFilterCells; ++i)
        k.Cells[std::size_t(i)] =
            static_cast<std::int16_t>(CellValue(cells_[std::size_t(i)]->text()));
    k.Divisor = static_cast<std::int16_t>(divFactor_->value());
    k.Bias = static_cast<std::int16_t>(bias_->value());
    return k;
}

void TCFilterForm::SetKernel(const FilterKernel& kernel) {
    for (int i = 0; i < kFilterCells; ++i)
        cells_[std::size_t(i)]->setText(CellText(kernel.Cells[std::size_t(i)]));
    divFactor_->setValue(kernel.Divisor);
    bias_->setValue(kernel.Bias);
}

void TCFilterForm::SetRunning(bool running) {
    running_ = running;
    for (QLineEdit* cell : cells_) cell->setEnabled(!running);
    for (QWidget* w :
         std::initializer_list<QWidget*>{divFactor_, bias_, okBtn_, cancelBtn_, loadBtn_, saveBtn_})
        w->setEnabled(!running);
    previewBtn_->setText(Q(Translate(running ? key::Stop : key::PreviewCaption)));
}

void TCFilterForm::FocusFirstCell() {
    cells_[0]->setFocus();
    cells_[0]->selectAll();
}

void TCFilterForm::ParamChanged(QLineEdit* cell) {
    int caret = cell->cursorPosition();
    const QString kept = CellChars(cell->text(), caret);
    if (kept == cell->text()) return;
    cell->setText(kept);
    cell->setCursorPosition(caret);
}

void TCFilterForm::CellExit(QLineEdit* cell) {
    const QString shown = CellText(CellValue(cell->text()));
    if (shown != cell->text()) cell->setText(shown);
}

int TCFilterForm::CellIndexOf(const QWidget* w) const {
    const auto at = std::find(cells_.begin(), cells_.end(), w);
    return at == cells_.end() ? -1 : static_cast<int>(at - cells_.begin());
}

// Enter presses OK and Escape Cancel (Escape stops a run); Up and Down move
// between the rows of the kernel cells.
void TCFilterForm::keyPressEvent(QKeyEvent* event) {
    const int cell = CellIndexOf(focusWidget());
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!running_) Run(OnOk);
        return;
    case Qt::Key_Escape:
        Run(running_ ? OnPreview : OnCancel);
        return;
    case Qt::Key_Up:
        if (cell >= 5) cells_[std::size_t(cell - 5)]->setFocus();
        return;
    case Qt::Key_Down:
        if (cell >= 0 && cell < 20) cells_[std::size_t(cell + 5)]->setFocus();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Closing the window cancels; during a run it stops the run.
void TCFilterForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    Run(running_ ? OnPreview : OnCancel);
}

void TCFilterForm::LoadBtnClick() {
    if (!Dialogs.Open) return;
    OpenRequest request;
    request.Title = Translate(key::LoadCustomFilter);
    request.Filter = Translate(key::CustomFilterFiles) + "|*.ACF";
    request.Directory = folder_;
    request.FilterIndex = 1;
    const std::optional<OpenChoice> choice = Dialogs.Open(request);
    if (!choice) return;
    folder_ = std::filesystem::path(choice->FileName).parent_path().string();
    const std::optional<FilterKernel> kernel = ReadAcfFile(choice->FileName);
    if (!kernel) {
        MessageBoxKey(key::CantOpenFilter, key::Err, kExclamation);
        return;
    }
    SetKernel(*kernel);
}

void TCFilterForm::SaveBtnClick() {
    if (!Dialogs.Save) return;
    SaveRequest request;
    request.Title = Translate(key::SaveCustomFilter);
    request.Filter = Translate(key::CustomFilterFiles) + "|*.acf";
    request.Directory = folder_.empty() ? std::string(".") : folder_;
    request.FilterIndex = 1;
    const std::optional<SaveChoice> choice = Dialogs.Save(request);
    if (!choice) return;
    std::string name = choice->FileName;
    if (ExtensionOf(name).empty()) name += ".acf";
    folder_ = std::filesystem::path(name).parent_path().string();
    for (QLineEdit* cell : cells_) CellExit(cell);
    if (!WriteAcfFile(name, Kernel())) MessageBoxKey(key::CantSaveFilter, key::Err, kExclamation);
}

} // namespace kv
