// The dockable bars (tool panel, palette, parameter and grid bars), their
// stored positions, and the status bar with its progress display.
#include "mainform.h"

#include "bars/parambar.h"
#include "colors/palettebar.h"
#include "colors/swatch.h"
#include "keys.h"
#include "log.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>

namespace kv {

namespace {

TMainForm* gProgressForm = nullptr;

QToolBar* NewBar(QMainWindow* form, const char* name, const char* title, Qt::ToolBarArea area) {
    auto* bar = new QToolBar(QString::fromUtf8(title), form);
    bar->setObjectName(QString::fromLatin1(name));
    form->addToolBar(area, bar);
    return bar;
}

QSpinBox* AddGridField(QToolBar* bar, const char* name, const char* label, const char* hint,
                       int min, int value) {
    auto* caption = new QLabel(QString::fromUtf8(label), bar);
    caption->setObjectName(QString::fromLatin1(name) + "Label");
    auto* field = new QSpinBox(bar);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(min, 16384);
    field->setValue(value);
    field->setToolTip(QString::fromUtf8(hint));
    caption->setBuddy(field);
    bar->addWidget(caption);
    bar->addWidget(field);
    return field;
}

} // namespace

void TMainForm::BuildToolBar() {
    toolBar_ = NewBar(this, "ToolBar", "Tools", Qt::LeftToolBarArea);
    auto* zoomLabel = new QLabel("Zm 1", toolBar_);
    zoomLabel->setObjectName("ZoomLabel");
    auto* zoom = new QSpinBox(toolBar_);
    zoom->setObjectName("Zoom");
    zoom->setRange(-4, 32);
    zoom->setValue(1);
    zoom->setToolTip("Zoom Value");
    zoom->setEnabled(false);
    toolBar_->addWidget(zoomLabel);
    toolBar_->addWidget(zoom);
    toolBar_->addSeparator();
    // Tool icons are laid out here in two columns of 28-pixel buttons.
    auto* panel = new QWidget(toolBar_);
    panel->setObjectName("ToolPanel");
    panel->setMinimumSize(56, 28);
    toolBar_->addWidget(panel);
    connect(toolBar_, &QToolBar::visibilityChanged, this,
            [this](bool on) { MenuCommand("ToolbarVisible1")->setChecked(on); });
}

void TMainForm::BuildPaletteBar() {
    paletteBar_ = NewBar(this, "PaletteBar", "Palette", Qt::LeftToolBarArea);
    palette_ = new TPaletteBar(paletteBar_);
    paletteBar_->addWidget(palette_);
    connect(palette_, &TPaletteBar::ColorsChanged, this, &TMainForm::ColorsChanged);
    connect(palette_, &TPaletteBar::ActivateColorSel, this,
            [this](TColorSwatch* s) { ShowColorDialog(s == palette_->BackCol()); });
    connect(paletteBar_, &QToolBar::visibilityChanged, this,
            [this](bool on) { MenuCommand("PaletteVisible1")->setChecked(on); });
}

void TMainForm::BuildParameterBars() {
    // The bottom area's first line lies at the window's edge: the grid bar
    // goes there, under the parameter bar when both show.
    gridBar_ = NewBar(this, "GridBar", "Grid", Qt::BottomToolBarArea);
    auto* title = new QLabel("GRID  ", gridBar_);
    title->setObjectName("GridLabel");
    gridBar_->addWidget(title);
    AddGridField(gridBar_, "GridDx", "  D&X ", "Delta X", 1, 8);
    AddGridField(gridBar_, "GridDy", "  D&Y ", "Delta Y", 1, 8);
    AddGridField(gridBar_, "GridPx", "  Pos X ", "X Position", 0, 0);
    AddGridField(gridBar_, "GridPy", "  Pos Y ", "Y Position", 0, 0);
    gridLevelItems_ = {gridBar_->addSeparator()};
    auto* brushSize = new QPushButton("Br&ush Size", gridBar_);
    brushSize->setObjectName("BrushSizeBtn");
    brushSize->setToolTip("Set Grid to Brush Size");
    auto* origin = new QPushButton("&Set Origin", gridBar_);
    origin->setObjectName("GridOrigBtn");
    origin->setToolTip("Set Grid Origin");
    for (QPushButton* b : {brushSize, origin}) {
        b->setEnabled(false);
        gridLevelItems_.push_back(gridBar_->addWidget(b));
    }

    addToolBarBreak(Qt::BottomToolBarArea);
    paramBar_ = NewBar(this, "Toolbar97", "Parameters", Qt::BottomToolBarArea);
    auto* caption = new QLabel(paramBar_);
    caption->setObjectName("BarCaption");
    paramBar_->addWidget(caption);
    params_ = new TParamBar(paramBar_, caption);
}

void TMainForm::ApplyGridBarLevel() {
    for (QAction* item : gridLevelItems_) item->setVisible(prefs_.Level >= 1);
}

// The layout version: layouts stored before the grid bar moved under the
// parameter bar are not restored, so the new default order shows.
constexpr int kToolbarLayoutVersion = 2;

void TMainForm::InitToolbars() {
    LogLine("Toolbar initialization started.");
    if (auto state = store_->ReadBinary(kToolbarsKey, "State"))
        restoreState(QByteArray(reinterpret_cast<const char*>(state->data()),
                                static_cast<qsizetype>(state->size())),
                     kToolbarLayoutVersion);
    // The parameter bar of the Circle tool and the Grid bar start hidden.
    paramBar_->hide();
    gridBar_->hide();
    ApplyGridBarLevel();
    LogLine("Toolbar initialization finished.");
}

void TMainForm::SaveToolbars() {
    const QByteArray state = saveState(kToolbarLayoutVersion);
    store_->WriteBinary(kToolbarsKey, "State",
                        std::vector<std::uint8_t>(state.begin(), state.end()));
}

void TMainForm::BuildStatusBar() {
    static constexpr int kWidths[5] = {192, 16, 72, 80, 50};
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    docPanel_ = new QStackedWidget(bar);
    docPanel_->setFixedWidth(kWidths[0]);
    for (int i = 0; i < 5; ++i) {
        panels_[i] = new QLabel(bar);
        panels_[i]->setObjectName(QString("Panel%1").arg(i));
        // Widths are minimums: a longer status text widens its panel
        // instead of being cut.
        if (i == 0)
            panels_[i]->setFixedWidth(kWidths[i]);
        else
            panels_[i]->setMinimumWidth(kWidths[i]);
        if (i == 1 || i == 2 || i == 3) panels_[i]->setAlignment(Qt::AlignCenter);
    }
    panels_[1]->setText("C");
    progress_ = new QProgressBar(docPanel_);
    progress_->setObjectName("ProgressBar");
    docPanel_->addWidget(panels_[0]);
    docPanel_->addWidget(progress_);
    bar->addWidget(docPanel_);
    for (int i = 1; i < 4; ++i) bar->addWidget(panels_[i]);
    // The last panel takes the rest of the bar: tool status texts are long.
    bar->addWidget(panels_[4], 1);
}

QString TMainForm::PanelText(int panel) const {
    return panels_[panel]->text();
}

void TMainForm::SetPanelText(int panel, const QString& text) {
    panels_[panel]->setText(text);
}

// Panel 0 shortens a long title from the left, at a path separator.
void TMainForm::RefreshDocumentLabel() {
    const QString label = QString::fromStdString(docs_.DocumentLabel());
    const QFontMetrics fm(panels_[0]->font());
    const QString head = label.left(label.indexOf(' ') + 1);
    QString rest = label.mid(head.size());
    QString shown = label;
    while (fm.horizontalAdvance(shown) > panels_[0]->width()) {
        const qsizetype slash = rest.indexOf('/', 1);
        if (slash < 0) break;
        rest = rest.mid(slash);
        shown = head + "..." + rest;
    }
    panels_[0]->setText(shown);
    panels_[0]->setToolTip(label);
}

void TMainForm::ProgressStart(int max) {
    progressTiming_.Start();
    progress_->setFormat(QString::fromStdString(Translate(key::Processing)));
    progress_->setRange(0, max);
    progress_->setValue(0);
    docPanel_->setCurrentWidget(progress_);
}

// The bar moves at most every 100 ms; the view repaints at most every 2 s,
// so that partial results show during long operations.
void TMainForm::ProgressStep(int position) {
    if (progressTiming_.BarDue()) progress_->setValue(position);
    if (progressTiming_.ViewDue()) ShowBuf()->repaint();
}

void TMainForm::ProgressEnd() {
    docPanel_->setCurrentWidget(panels_[0]);
    const double seconds = progressTiming_.SecondsSinceStart();
    const std::string text = Translate(key::ProcIn);
    const std::string unit = Translate(key::Sec);
    panels_[4]->setText(QString::asprintf("%s %6.2f %s", text.c_str(), seconds, unit.c_str()));
    statusBar()->repaint();
}

namespace {

// Only the GUI thread reaches the status bar; a decode on another thread
// (the browser's worker, a preview) reports nothing there.
TMainForm* ProgressForm() {
    return gProgressForm != nullptr && QThread::currentThread() == gProgressForm->thread()
               ? gProgressForm
               : nullptr;
}

} // namespace

void InstallProgressCallbacks(TMainForm* form) {
    gProgressForm = form;
    pixkit::GFXFile::SetProgFunc(
        [] {
            if (TMainForm* f = ProgressForm()) f->ProgressStart(100);
        },
        [](int percent) {
            if (TMainForm* f = ProgressForm()) f->ProgressStep(percent);
            return true;
        },
        [] {
            if (TMainForm* f = ProgressForm()) f->ProgressEnd();
        });
}

} // namespace kv
