#include "prefsdialog.h"

#include <QCheckBox>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

QCheckBox* AddCheck(QWidget* page, QLayout* layout, const char* name, const char* text, bool on) {
    auto* box = new QCheckBox(QString::fromUtf8(text), page);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    layout->addWidget(box);
    return box;
}

Qt::CheckState ToCheck(LinkState s) {
    return s == LinkState::All    ? Qt::Checked
           : s == LinkState::Some ? Qt::PartiallyChecked
                                  : Qt::Unchecked;
}

} // namespace

TPreferences::TPreferences(QWidget* parent, const Preferences& current,
                           std::vector<FormatEntry> formats,
                           const std::vector<LinkState>& linkStates,
                           const std::vector<std::string>& languages, PrefsLiveHooks hooks)
    : QDialog(parent), formats_(std::move(formats)), initial_(linkStates),
      hooks_(std::move(hooks)) {
    setObjectName("Preferences");
    setProperty("HelpContext", kHelpContext);
    setWindowTitle("Preferences");
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    initial_.resize(formats_.size(), LinkState::None);
    auto* layout = new QVBoxLayout(this);
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    layout->addWidget(pages);
    pages_ = pages;
    for (QWidget* page :
         {BuildGeneral(current), BuildExtens(), BuildLanguage(languages, current.Language)}) {
        pages->addTab(page, page->windowTitle());
        // A translated caption of a page becomes its tab's text.
        page->installEventFilter(this);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&Ok", QDialogButtonBox::AcceptRole);
    ok->setObjectName("OkBtn");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("CancelBtn");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QWidget* TPreferences::BuildGeneral(const Preferences& p) {
    auto* page = new QWidget;
    page->setObjectName("General");
    page->setWindowTitle("General");
    auto* layout = new QVBoxLayout(page);
    clipping_ = AddCheck(page, layout, "ClippingBox", "C&lipping (Ctrl+L)", p.Clipping);
    optimBrush_ = AddCheck(page, layout, "OptimBrushBox", "O&ptimize Brush", p.OptimBrush);
    antiAlias_ = AddCheck(page, layout, "AntiAliasBox", "&Anti-alias (Ctrl+T)", p.AntiAlias);
    backup_ = AddCheck(page, layout, "BackupBox", "&Backup Files", p.BackupFiles);
    cacheThumbs_ = AddCheck(page, layout, "CacheThumbsBox", "&Cache Thumbnails", p.CacheThumbs);
    connect(antiAlias_, &QCheckBox::toggled, this, [this](bool on) {
        if (hooks_.AntiAlias) hooks_.AntiAlias(on);
    });

    auto* level = new QGroupBox("Level", page);
    level->setObjectName("LevelGroup");
    auto* levelLayout = new QVBoxLayout(level);
    novice_ = new QRadioButton("Novice", level);
    expert_ = new QRadioButton("Expert", level);
    novice_->setObjectName("NoviceBtn");
    expert_->setObjectName("ExpertBtn");
    (p.Level >= 1 ? expert_ : novice_)->setChecked(true);
    levelLayout->addWidget(novice_);
    levelLayout->addWidget(expert_);
    layout->addWidget(level);

    auto* form = new QFormLayout;
    palette_ = new QComboBox(page);
    palette_->setObjectName("PalEntries");
    palette_->addItems({"8", "12", "16", "24", "32"});
    palette_->setCurrentIndex(std::clamp(p.Palette, 0, 4));
    connect(palette_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (hooks_.Palette && i >= 0) hooks_.Palette(i);
    });
    auto* paletteLabel = new QLabel("Palette Entries", page);
    paletteLabel->setObjectName("PalEntriesLabel");
    paletteLabel->setBuddy(palette_);
    form->addRow(paletteLabel, palette_);
    mru_ = new QSpinBox(page);
    mru_->setObjectName("FileListLength");
    mru_->setRange(0, 16);
    mru_->setValue(std::clamp(p.MRUFiles, 0, 16));
    connect(mru_, &QSpinBox::valueChanged, this, [this](int v) {
        if (hooks_.RecentLength) hooks_.RecentLength(v);
    });
    auto* mruLabel = new QLabel("File List Length", page);
    mruLabel->setObjectName("FileListLengthLabel");
    mruLabel->setBuddy(mru_);
    form->addRow(mruLabel, mru_);
    AddUndoFields(page, form, p);
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

static QSpinBox* AddNumber(QWidget* page, QFormLayout* form, const char* name, const char* label,
                           int low, int high, int value) {
    auto* box = new QSpinBox(page);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setValue(std::clamp(value, low, high));
    auto* text = new QLabel(QString::fromUtf8(label), page);
    text->setObjectName(QString::fromLatin1(name) + "Label");
    text->setBuddy(box);
    form->addRow(text, box);
    return box;
}

void TPreferences::AddUndoFields(QWidget* page, QFormLayout* form, const Preferences& p) {
    undoMemory_ =
        AddNumber(page, form, "UndoMemory", "Undo &Memory (MiB)", 16, 65536, p.UndoMemory);
    undoSteps_ = AddNumber(page, form, "UndoSteps", "Undo S&teps", 1, 10000, p.UndoSteps);
    classicUndo_ = new QCheckBox("Classic single undo (Ctrl+Z toggles undo/redo)", page);
    classicUndo_->setObjectName("ClassicUndoBox");
    classicUndo_->setChecked(p.ClassicUndo);
    form->addRow(classicUndo_);
    recovery_ = AddNumber(page, form, "RecoverySeconds", "Crash &Recovery Copy Every (s, 0 = Off)",
                          0, 3600, p.RecoverySeconds);
    pressure_ = new QCheckBox("Tablet pen pressure sizes the brush", page);
    pressure_->setObjectName("PressureBox");
    pressure_->setChecked(p.TabletPressure);
    form->addRow(pressure_);
    minPressure_ = AddNumber(page, form, "MinPressure", "Brush at Lightest Pressure (%)", 1, 100,
                             p.MinPressure);
}

QWidget* TPreferences::BuildExtens() {
    auto* page = new QWidget;
    page->setObjectName("Extens");
    page->setWindowTitle("Extens");
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel("Link KV to file types:", page);
    label->setObjectName("ExtensLabel");
    layout->addWidget(label);
    extens_ = new QListWidget(page);
    extens_->setObjectName("ExtensList");
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(formats_[i].Desc), extens_);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
        // Only a format that was mixed at opening can be set greyed again.
        if (initial_[i] == LinkState::Some) flags |= Qt::ItemIsUserTristate;
        item->setFlags(flags);
        item->setCheckState(ToCheck(initial_[i]));
    }
    layout->addWidget(extens_);
    label->setBuddy(extens_);
    return page;
}

QWidget* TPreferences::BuildLanguage(const std::vector<std::string>& languages,
                                     const std::string& current) {
    auto* page = new QWidget;
    page->setObjectName("LanguagePage");
    page->setWindowTitle("Language");
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel("Set Language of KV to:", page);
    label->setObjectName("LanguageLabel");
    layout->addWidget(label);
    languages_ = new QListWidget(page);
    languages_->setObjectName("LangList");
    for (const std::string& name : languages) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), languages_);
        if (name == current) languages_->setCurrentItem(item);
    }
    layout->addWidget(languages_);
    label->setBuddy(languages_);
    return page;
}

bool TPreferences::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowTitleChange) {
        auto* page = static_cast<QWidget*>(watched);
        const int i = pages_->indexOf(page);
        if (i >= 0) pages_->setTabText(i, page->windowTitle());
    }
    return QDialog::eventFilter(watched, event);
}

LinkState TPreferences::ChosenLink(std::size_t format) const {
    switch (extens_->item(static_cast<int>(format))->checkState()) {
    case Qt::Checked:
        return LinkState::All;
    case Qt::PartiallyChecked:
        return LinkState::Some;
    default:
        return LinkState::None;
    }
}

Preferences TPreferences::Chosen() const {
    Preferences p;
    p.Clipping = clipping_->isChecked();
    p.OptimBrush = optimBrush_->isChecked();
    p.AntiAlias = antiAlias_->isChecked();
    p.BackupFiles = backup_->isChecked();
    p.CacheThumbs = cacheThumbs_->isChecked();
    p.Level = expert_->isChecked() ? 1 : 0;
    p.Palette = palette_->currentIndex();
    p.MRUFiles = mru_->value();
    p.UndoMemory = undoMemory_->value();
    p.UndoSteps = undoSteps_->value();
    p.ClassicUndo = classicUndo_->isChecked();
    p.RecoverySeconds = recovery_->value();
    p.TabletPressure = pressure_->isChecked();
    p.MinPressure = minPressure_->value();
    if (const QListWidgetItem* item = languages_->currentItem())
        p.Language = item->text().toStdString();
    return p;
}

} // namespace kv
