#include "effects/ffactform.h"

#include "files/filenames.h"
#include "files/openplus.h"
#include "keys.h"
#include "lang.h"
#include "lang_qt.h"
#include "view/tbuffer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

namespace kv {

namespace {

constexpr int kAreaWidth = 124, kAreaHeight = 94;
constexpr int kMemoLines = 3;
constexpr const char* kChannelNames[] = {"Red", "Green", "Blue"};
constexpr const char* kFieldNames[] = {"Category", "Title", "Author", "Copyright"};
enum Button { kOk, kPreview, kCancel, kLoad, kSave, kMake };

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QLabel* Label(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

TFFactForm::TFFactForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("FFactForm");
    setProperty("HelpContext", kHelpContext);
    setWindowTitle(QStringLiteral("Filter Factory"));
    auto* left = new QVBoxLayout;
    left->addWidget(BuildMemos());
    left->addWidget(BuildFields());
    auto* right = new QVBoxLayout;
    right->addWidget(BuildPreview());
    right->addWidget(BuildButtons());
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(BuildSliders());
    layout->addLayout(right);
    Dialogs = ScreenDialogs(this);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[FFactForm]");
    SetDefinition(ff::Definition{});
}

TFFactForm::~TFFactForm() = default;

QWidget* TFFactForm::BuildMemos() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int c = 0; c < 3; ++c) {
        const QString name = QString::fromLatin1(kChannelNames[c]);
        auto* memo = new QPlainTextEdit(box);
        memo->setObjectName(name + "Ch");
        memo->setFont(fixed);
        memo->setTabChangesFocus(true);
        memo->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance('m') * 40);
        memo->setFixedHeight(QFontMetrics(fixed).lineSpacing() * kMemoLines + 12);
        auto* marker = new QToolButton(box);
        marker->setObjectName(name + "Syntax");
        marker->setText(QStringLiteral("!"));
        marker->setAutoRaise(true);
        marker->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
        QSizePolicy keepPlace = marker->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        marker->setSizePolicy(keepPlace);
        marker->setVisible(false);
        auto* label = Label(box, name + "Label", "&" + name);
        label->setBuddy(memo);
        grid->addWidget(label, c, 0, Qt::AlignTop);
        grid->addWidget(memo, c, 1);
        grid->addWidget(marker, c, 2, Qt::AlignTop);
        connect(memo, &QPlainTextEdit::textChanged, this, [this] {
            if (loading_) return;
            Recompile();
            Changed();
        });
        connect(marker, &QToolButton::clicked, this, [this, c] { SyntaxClick(c); });
        memos_[std::size_t(c)] = memo;
        markers_[std::size_t(c)] = marker;
    }
    return box;
}

QWidget* TFFactForm::BuildFields() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        const QString name = QString::fromLatin1(kFieldNames[i]);
        auto* edit = new QLineEdit(box);
        edit->setObjectName(name);
        edit->setMaxLength(ff::kMaxLine);
        auto* label = Label(box, name + "Label", name);
        label->setBuddy(edit);
        grid->addWidget(label, i, 0);
        grid->addWidget(edit, i, 1);
        fields_[std::size_t(i)] = edit;
    }
    return box;
}

// Eight rows of a caption (which the user may edit), a slider 0..255 and
// its value.
QWidget* TFFactForm::BuildSliders() {
    auto* box = new QWidget(this);
    box->setObjectName("Sliders");
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    for (int i = 0; i < ff::kSliders; ++i) {
        auto* caption = new QLineEdit(box);
        caption->setObjectName(QString("Caption%1").arg(i));
        caption->setFrame(false);
        caption->setMaxLength(ff::kMaxLine - 3); // "n: " goes before it in a file
        caption->setPlaceholderText(QString("ctl(%1)").arg(i));
        auto* slider = new QSlider(Qt::Horizontal, box);
        slider->setObjectName(QString("Slider%1").arg(i));
        slider->setRange(0, 255);
        slider->setMinimumWidth(160);
        auto* value = Label(box, QString("Value%1").arg(i), "0");
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance("000"));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(caption, 2 * i, 0, 1, 2);
        grid->addWidget(slider, 2 * i + 1, 0);
        grid->addWidget(value, 2 * i + 1, 1);
        connect(slider, &QSlider::valueChanged, this, [this, i](int v) { SliderMoved(i, v); });
        sliders_[std::size_t(i)] = slider;
        captions_[std::size_t(i)] = caption;
        values_[std::size_t(i)] = value;
    }
    return box;
}

// The 120 x 90 preview centred in a 124 x 94 area, and the check box that
// switches it.
QWidget* TFFactForm::BuildPreview() {
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    previewArea_ = new QWidget(box);
    previewArea_->setFixedSize(kAreaWidth, kAreaHeight);
    previewView_ = new TBuffer(previewArea_);
    previewView_->setObjectName("InstPreviewBuf");
    instPreview_ = new QCheckBox(QStringLiteral("Preview"), box);
    instPreview_->setObjectName("InstPreview");
    instPreview_->setChecked(true);
    connect(instPreview_, &QCheckBox::toggled, this, [this](bool on) {
        previewView_->setVisible(on);
        Recompile();
    });
    column->addWidget(previewArea_);
    column->addWidget(instPreview_);
    return box;
}

QWidget* TFFactForm::BuildButtons() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, const char*> names[] = {
        {"OkBtn", "&Ok"},        {"PreviewBtn", "&Preview"}, {"CancelBtn", "&Cancel"},
        {"LoadBtn", "&Load..."}, {"SaveBtn", "&Save..."},    {"MakeBtn", "&Make..."}};
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        auto* b = new QPushButton(QString::fromUtf8(names[i].second), column);
        b->setObjectName(QString::fromLatin1(names[i].first));
        b->setAutoDefault(false);
        layout->addWidget(b);
        buttons_[i] = b;
    }
    auto hook = [this](const std::function<void()>& f) {
        if (f) f();
    };
    connect(buttons_[kOk], &QPushButton::clicked, this, [this, hook] { hook(OnOk); });
    connect(buttons_[kPreview], &QPushButton::clicked, this, [this, hook] { hook(OnPreview); });
    connect(buttons_[kCancel], &QPushButton::clicked, this, [this, hook] { hook(OnCancel); });
    connect(buttons_[kMake], &QPushButton::clicked, this, [this, hook] { hook(OnMake); });
    connect(buttons_[kLoad], &QPushButton::clicked, this, &TFFactForm::LoadBtnClick);
    connect(buttons_[kSave], &QPushButton::clicked, this, &TFFactForm::SaveBtnClick);
    return column;
}

ff::Definition TFFactForm::Definition() const {
    ff::Definition d;
    for (int c = 0; c < 3; ++c)
        d.Expressions[std::size_t(c)] = memos_[std::size_t(c)]->toPlainText().toStdString();
    d.Expressions[3] = alpha_;
    d.Sliders = SliderValues();
    for (int i = 0; i < ff::kSliders; ++i)
        d.Captions[std::size_t(i)] = captions_[std::size_t(i)]->text().toStdString();
    std::string* fields[] = {&d.Category, &d.Title, &d.Author, &d.Copyright};
    for (std::size_t i = 0; i < fields_.size(); ++i) *fields[i] = fields_[i]->text().toStdString();
    return d;
}

void TFFactForm::SetDefinition(const ff::Definition& d) {
    loading_ = true;
    for (int c = 0; c < 3; ++c)
        memos_[std::size_t(c)]->setPlainText(Q(d.Expressions[std::size_t(c)]));
    alpha_ = d.Expressions[3];
    for (int i = 0; i < ff::kSliders; ++i) {
        sliders_[std::size_t(i)]->setValue(d.Sliders[std::size_t(i)]);
        captions_[std::size_t(i)]->setText(Q(d.Captions[std::size_t(i)]));
    }
    const std::string* fields[] = {&d.Category, &d.Title, &d.Author, &d.Copyright};
    for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(Q(*fields[i]));
    loading_ = false;
    Recompile();
    Changed();
}

ff::Sliders TFFactForm::SliderValues() const {
    ff::Sliders values{};
    for (int i = 0; i < ff::kSliders; ++i)
        values[std::size_t(i)] = sliders_[std::size_t(i)]->value();
    return values;
}

void TFFactForm::Recompile() {
    for (int c = 0; c < 3; ++c) {
        const QString text = memos_[std::size_t(c)]->toPlainText();
        const QByteArray utf8 = text.toUtf8();
        const ff::Compiled compiled = ff::Compile({utf8.constData(), std::size_t(utf8.size())}, c);
        programs_[std::size_t(c)] = compiled.Code;
        // The position counts bytes of UTF-8; the memo counts characters.
        errorPos_[std::size_t(c)] =
            compiled.Ok ? -1 : int(QString::fromUtf8(utf8.left(compiled.ErrorPos)).size());
        markers_[std::size_t(c)]->setVisible(!compiled.Ok);
    }
    RunPreview();
}

void TFFactForm::SyntaxClick(int channel) {
    const int at = errorPos_[std::size_t(channel)];
    if (at < 0) return;
    QPlainTextEdit* memo = memos_[std::size_t(channel)];
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(std::min(at, int(memo->toPlainText().size())));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    memo->setFocus();
}

void TFFactForm::SliderMoved(int index, int value) {
    values_[std::size_t(index)]->setText(QString::number(value));
    if (loading_) return;
    RunPreview();
    Changed();
}

void TFFactForm::SetSource(pixkit::Buffer& image) {
    const pixkit::Pair<int> size =
        PreviewSize(image.Width(), image.Height(), kPreviewWidth, kPreviewHeight);
    previewSrc_.Alloc(size);
    previewDst_.Alloc(size);
    if (!previewSrc_.Empty()) previewSrc_.Scale(image, size, {0, 0}, pixkit::NoKey, 0);
    previewView_->setGeometry((kAreaWidth - size.x) / 2, (kAreaHeight - size.y) / 2, size.x,
                              size.y);
    previewView_->SetBuffer(&previewDst_);
    Recompile();
}

void TFFactForm::FreePreview() {
    previewView_->SetBuffer(nullptr);
    previewSrc_.Free();
    previewDst_.Free();
}

void TFFactForm::RunPreview() {
    if (!instPreview_->isChecked() || previewSrc_.Empty() || previewDst_.Empty()) return;
    ff::Filter(programs_, SliderValues(), previewSrc_.Data, previewSrc_.Pitch, previewSrc_.Width(),
               previewSrc_.Height(), {previewDst_.Data, previewDst_.Pitch});
    previewView_->update();
}

void TFFactForm::SetRunning(bool running) {
    running_ = running;
    for (QWidget* w : std::initializer_list<QWidget*>{memos_[0], memos_[1], memos_[2],
                                                      findChild<QWidget*>("Sliders"), instPreview_})
        w->setEnabled(!running);
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        if (i != kPreview) buttons_[i]->setEnabled(!running && (i != kMake || OnMake));
    buttons_[kPreview]->setText(Q(Translate(running ? key::Stop : key::PreviewCaption)));
}

// Enter presses OK except in a memo, where it starts a new line; Escape
// presses Cancel, or stops a run.
void TFFactForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!running_ && OnOk) OnOk();
        return;
    case Qt::Key_Escape:
        Stop();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Closing the window cancels; during a run it stops the run.
void TFFactForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    Stop();
}

void TFFactForm::Stop() {
    const std::function<void()>& hook = running_ ? OnPreview : OnCancel;
    if (hook) hook();
}

void TFFactForm::LoadBtnClick() {
    if (!Dialogs.Open) return;
    OpenRequest request;
    request.Title = Translate(key::LoadFilterFactory);
    request.Filter = Translate(key::FilterFactoryFiles) + "|*.afs";
    request.Directory = folder_;
    request.FilterIndex = 1;
    const std::optional<OpenChoice> choice = Dialogs.Open(request);
    if (!choice) return;
    folder_ = std::filesystem::path(choice->FileName).parent_path().string();
    ff::Definition d = Definition();
    switch (ff::ReadAfsFile(choice->FileName, d)) {
    case ff::AfsError::CantOpen:
        MessageBoxKey(key::CantOpenFilter, key::Err, kExclamation);
        return;
    case ff::AfsError::NotValid:
        MessageBoxKey(key::NotValidFF, key::Err, kExclamation);
        return;
    case ff::AfsError::None:
        SetDefinition(d);
        return;
    }
}

void TFFactForm::SaveBtnClick() {
    if (!Dialogs.Save) return;
    SaveRequest request;
    request.Title = Translate(key::SaveFilterFactory);
    request.Filter = Translate(key::FilterFactoryFiles) + "|*.afs";
    request.Directory = folder_.empty() ? std::string(".") : folder_;
    request.FilterIndex = 1;
    const std::optional<SaveChoice> choice = Dialogs.Save(request);
    if (!choice) return;
    std::string name = choice->FileName;
    if (ExtensionOf(name).empty()) name += ".afs";
    folder_ = std::filesystem::path(name).parent_path().string();
    if (!ff::WriteAfsFile(name, Definition()))
        MessageBoxKey(key::CantSaveFilter, key::Err, kExclamation);
}

} // namespace kv
