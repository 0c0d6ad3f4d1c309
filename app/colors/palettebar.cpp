#include "palettebar.h"

#include "colors/swatch.h"
#include "keys.h"
#include "lang.h"

#include <QFileDialog>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

QPushButton* AddButton(QWidget* parent, QLayout* layout, const char* name, const char* text,
                       const char* hint) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromUtf8(hint));
    b->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(b);
    return b;
}

} // namespace

TPaletteBar::TPaletteBar(QWidget* parent) : QWidget(parent) {
    setObjectName("PaletteColors");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    // The small drawing-colour swatch lies on the larger background one.
    auto* swatches = new QWidget(this);
    swatches->setFixedSize(56, 44);
    backCol_ = new TColorSwatch(swatches);
    backCol_->setObjectName("BackCol");
    backCol_->setGeometry(18, 12, 34, 30);
    backCol_->setToolTip("Background Color");
    drawCol_ = new TColorSwatch(swatches);
    drawCol_->setObjectName("DrawCol");
    drawCol_->setGeometry(4, 2, 28, 24);
    drawCol_->setToolTip("Drawing Color");
    drawCol_->SetColor(0xFFFFFF);
    backCol_->SetColor(0x000000);
    layout->addWidget(swatches);
    for (TColorSwatch* s : {drawCol_, backCol_}) {
        connect(s, &TColorSwatch::Pressed, this,
                [this, s](QMouseEvent*) { Q_EMIT ActivateColorSel(s); });
    }

    panel_ = new QWidget(this);
    panel_->setObjectName("PalettePanel");
    layout->addWidget(panel_);
    SetPaletteCount(8);

    connect(AddButton(this, layout, "OpenPaletteBtn", "Open", "Open Fast Palette"),
            &QPushButton::clicked, this, [this] { OpenPaletteBtnClick(); });
    connect(AddButton(this, layout, "SavePaletteBtn", "Save", "Save Fast Palette"),
            &QPushButton::clicked, this, [this] { SavePaletteBtnClick(); });
    layout->addStretch();
}

std::uint32_t TPaletteBar::DrawColor() const {
    return drawCol_->Color();
}

std::uint32_t TPaletteBar::BackColor() const {
    return backCol_->Color();
}

void TPaletteBar::SetDrawColor(std::uint32_t rgb) {
    if ((rgb & 0xFFFFFF) == drawCol_->Color()) return;
    drawCol_->SetColor(rgb);
    Q_EMIT ColorsChanged();
}

void TPaletteBar::SetBackColor(std::uint32_t rgb) {
    if ((rgb & 0xFFFFFF) == backCol_->Color()) return;
    backCol_->SetColor(rgb);
    Q_EMIT ColorsChanged();
}

std::vector<std::uint32_t> TPaletteBar::FastColors() const {
    std::vector<std::uint32_t> out;
    for (const TColorSwatch* e : entries_) out.push_back(e->Color());
    return out;
}

void TPaletteBar::SetPaletteCount(int requested) {
    layout_ = LayoutForRequest(requested);
    RebuildEntries(ResizedPalette(FastColors(), layout_.Count));
}

void TPaletteBar::RebuildEntries(const std::vector<std::uint32_t>& colors) {
    for (TColorSwatch* e : entries_) delete e;
    entries_.clear();
    for (int i = 0; i < layout_.Count; ++i) {
        auto* e = new TColorSwatch(panel_);
        e->setObjectName(QString("PalEntry%1").arg(i));
        e->HintFollows = true;
        e->SetColor(colors[static_cast<std::size_t>(i)]);
        e->setToolTip(QString::fromStdString(FastColorHint(e->Color())));
        e->setGeometry((i % layout_.Columns) * layout_.Width,
                       (i / layout_.Columns) * layout_.Height, layout_.Width, layout_.Height);
        connect(e, &TColorSwatch::Pressed, this,
                [this, e](QMouseEvent* ev) { SelectFastColor(e, ev->button(), ev->modifiers()); });
        e->show();
        entries_.push_back(e);
    }
    const int rows = (layout_.Count + layout_.Columns - 1) / layout_.Columns;
    panel_->setFixedSize(layout_.Columns * layout_.Width, rows * layout_.Height);
}

void TPaletteBar::SelectFastColor(TColorSwatch* entry, Qt::MouseButton button,
                                  Qt::KeyboardModifiers modifiers) {
    TColorSwatch* addressed = nullptr;
    if (button == Qt::LeftButton)
        addressed = drawCol_;
    else if (button == Qt::RightButton)
        addressed = backCol_;
    else
        return;
    if (modifiers & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)) {
        entry->SetColor(addressed->Color());
        return;
    }
    addressed->SetColor(entry->Color());
    Q_EMIT ColorsChanged();
}

bool TPaletteBar::LoadPaletteFile(const std::string& path) {
    const auto file = ReadPaletteFile(path);
    if (!file) {
        MessageBoxKey(key::ErrOpenPal, key::Err, kExclamation);
        return false;
    }
    layout_ = LayoutForRequest(file->Count);
    RebuildEntries(ApplyPaletteFile(FastColors(), *file));
    lastFile_ = path;
    return true;
}

bool TPaletteBar::SavePaletteFile(const std::string& path) {
    lastFile_ = path;
    if (WritePaletteFile(path, FastColors())) return true;
    MessageBoxKey(key::ErrSavePal, key::Err, kExclamation);
    return false;
}

std::string TPaletteBar::AskPaletteFile(bool save) {
    if (BeforeFileDialog) BeforeFileDialog();
    const QString filter = QString::fromStdString(Translate(key::FastPalettes));
    const QString start = QString::fromStdString(lastFile_);
    QString name;
    if (save) {
        QFileDialog dialog(window(), QString::fromStdString(Translate(key::SaveFastPalette)), start,
                           filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("pal");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().first();
    } else {
        name = QFileDialog::getOpenFileName(
            window(), QString::fromStdString(Translate(key::OpenFastPalette)), start, filter);
    }
    return name.toStdString();
}

void TPaletteBar::OpenPaletteBtnClick() {
    const std::string name = AskPaletteFile(false);
    if (!name.empty()) LoadPaletteFile(name);
}

void TPaletteBar::SavePaletteBtnClick() {
    const std::string name = AskPaletteFile(true);
    if (!name.empty()) SavePaletteFile(name);
}

} // namespace kv
