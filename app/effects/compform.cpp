#include "effects/compform.h"

#include "colors/swatch.h"
#include "keys.h"
#include "kvc.h"
#include "lang.h"
#include "lang_qt.h"
#include "platform/formbutton.h"
#include "progdir.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace kv {

namespace {

// The preview window: clicks go to the component.
class PreviewLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void(int x, int y, bool right)> OnClick;

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (OnClick)
            OnClick(static_cast<int>(e->position().x()), static_cast<int>(e->position().y()),
                    e->button() == Qt::RightButton);
    }
};

QImage ToImage(const pixkit::Buffer& b) {
    QImage image(b.Width(), b.Height(), QImage::Format_RGB32);
    for (int y = 0; y < b.Height(); ++y)
        std::memcpy(image.scanLine(y), b.At(b.Area.Left, b.Area.Top + y),
                    static_cast<std::size_t>(b.Width()) * 4);
    return image;
}

template <typename T> T* Control(QWidget* w) {
    return qobject_cast<T*>(w);
}

} // namespace

QString ComponentText(const std::string& name) {
    std::string text = Translate(std::string(key::ComponentPrefix) + name);
    if (!text.empty() && text[0] == '~') text.erase(0, 1);
    return QString::fromStdString(text);
}

QString ComponentHelpPage(const ComponentRecord& rec) {
    namespace fs = std::filesystem;
    if (rec.Desc.HelpFile.empty()) return {};
    const std::string name = rec.Desc.HelpHasContext
                                 ? rec.Desc.HelpFile
                                 : ComponentText(rec.Desc.HelpFile).toStdString();
    const QString anchor = rec.Desc.HelpHasContext
                               ? QStringLiteral("#") + QString::number(rec.Desc.HelpContext)
                               : QString();
    for (const fs::path& dir : {fs::path(rec.File).parent_path(), fs::path(ProgramDir())}) {
        std::error_code ec;
        const fs::path file = fs::path(name).is_absolute() ? fs::path(name) : dir / name;
        if (fs::is_regular_file(file, ec)) return QString::fromStdString(file.string()) + anchor;
    }
    return {};
}

TCompForm::TCompForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("CompForm");
    auto* layout = new QVBoxLayout(this);
    copyright_ = new QLabel(this);
    copyright_->setObjectName("CopyrightMessage");
    copyright_->setWordWrap(true);
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    preview_ = new PreviewLabel(this);
    preview_->setObjectName("InstPreviewBuf");
    static_cast<PreviewLabel*>(preview_)->OnClick = [this](int x, int y, bool right) {
        if (OnPreviewClick && !running_) OnPreviewClick(x, y, right);
    };
    instPreview_ = new QCheckBox(QStringLiteral("Inst Preview"), this);
    instPreview_->setObjectName("InstPreview");
    instPreview_->setToolTip(QStringLiteral("Display Instant Preview"));
    instPreview_->setChecked(true);
    connect(instPreview_, &QCheckBox::toggled, this, [this](bool on) {
        preview_->setVisible(on && hasPreview_);
        Emit(OnInstPreview);
    });
    left->addWidget(preview_, 0, Qt::AlignHCenter);
    left->addWidget(instPreview_);
    left->addStretch();
    rowsBox_ = new QWidget(this);
    new QGridLayout(rowsBox_);
    top->addLayout(left);
    top->addWidget(rowsBox_, 1);
    layout->addWidget(copyright_);
    layout->addLayout(top);
    auto* buttons = new QHBoxLayout;
    okBtn_ = FormButton(this, "OkBtn", "&Ok", "Accept Effect");
    previewBtn_ = FormButton(this, "PreviewBtn", "&Preview", "Full Preview");
    presetBtn_ = FormButton(this, "PresetBtn", "P&reset", "Original Settings");
    cancelBtn_ = FormButton(this, "CancelBtn", "&Cancel", "Abandon Effect");
    for (QPushButton* b : {okBtn_, previewBtn_, presetBtn_, cancelBtn_}) buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(okBtn_, &QPushButton::clicked, this, [this] { Emit(OnOk); });
    connect(previewBtn_, &QPushButton::clicked, this, [this] { Emit(OnPreview); });
    connect(presetBtn_, &QPushButton::clicked, this, [this] { Emit(OnPreset); });
    connect(cancelBtn_, &QPushButton::clicked, this, [this] { Emit(OnCancel); });
    if (Lang() != nullptr) TranslateSection(*Lang(), "[CompForm]");
    qApp->installEventFilter(this);
}

void TCompForm::Clear() {
    for (Row& r : rows_) {
        delete r.Label;
        for (QWidget*& w : r.Controls) delete w;
        r = Row{};
    }
    controls_ = 0;
}

void TCompForm::Build(const ComponentRecord& rec, int userLevel, pixkit::Pair<int> imageSize,
                      pixkit::Pair<int> previewSize) {
    quiet_ = true;
    Clear();
    descs_ = rec.Desc.Params;
    values_ = rec.Values;
    imageSize_ = imageSize;
    setWindowTitle(ComponentText(rec.Desc.Name));
    setProperty("HelpPage", ComponentHelpPage(rec));
    copyright_->setText(QString::fromStdString(rec.Desc.Copyright));
    copyright_->setToolTip(QString::fromStdString(rec.Desc.Contact));
    copyright_->setVisible(!rec.Desc.Copyright.empty());
    hasPreview_ = previewSize.x > 0;
    preview_->setFixedSize(std::max(previewSize.x, 1), std::max(previewSize.y, 1));
    preview_->setVisible(hasPreview_ && instPreview_->isChecked());
    instPreview_->setVisible(hasPreview_);
    previewBtn_->setVisible(rec.Desc.PreviewButton());
    for (int i = 0; i < kMaxComponentParams; ++i) {
        const ParamDesc& d = descs_[static_cast<std::size_t>(i)];
        if (d.Kind != 0 && d.Visible(userLevel)) AddRow(i, d, ComponentText(d.Label));
    }
    SetValues(values_);
    quiet_ = false;
    adjustSize();
}

void TCompForm::AddRow(int i, const ParamDesc& d, const QString& label) {
    auto* grid = static_cast<QGridLayout*>(rowsBox_->layout());
    const int row = grid->rowCount();
    Row& r = rows_[static_cast<std::size_t>(i)];
    const QString name = QString("Param%1").arg(i + 1);
    auto changed = [this, i] { Changed(i); };
    auto place = [&](QWidget* w, int slot) {
        w->setObjectName(slot == 0 ? name : name + QString::number(slot));
        r.Controls[slot] = w;
    };
    if (d.Kind != KVCK_BUTTON && d.Kind != KVCK_CHECK) {
        auto* l = new QLabel(label, rowsBox_);
        r.Label = l;
        grid->addWidget(l, row, 0);
    }
    switch (d.Kind) {
    case KVCK_BUTTON: {
        auto* b = new QPushButton(label, rowsBox_);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] {
            if (OnButton && !running_) OnButton(i + 1);
        });
        place(b, 0);
        grid->addWidget(b, row, 0, 1, 2);
        break;
    }
    case KVCK_CHECK: {
        auto* c = new QCheckBox(label, rowsBox_);
        connect(c, &QCheckBox::toggled, this, changed);
        place(c, 0);
        grid->addWidget(c, row, 0, 1, 2);
        break;
    }
    case KVCK_FLOAT: {
        auto* s = new QDoubleSpinBox(rowsBox_);
        s->setDecimals(d.Decimals);
        s->setSingleStep(d.Step);
        s->setRange(d.FMin, d.FMax);
        connect(s, &QDoubleSpinBox::valueChanged, this, changed);
        place(s, 0);
        grid->addWidget(s, row, 1, Qt::AlignRight);
        break;
    }
    case KVCK_INTEGER:
    case KVCK_IMAGE: {
        auto* s = new QSpinBox(rowsBox_);
        if (d.Kind == KVCK_IMAGE)
            s->setRange(1, 10);
        else
            s->setRange(d.Min, d.Max);
        connect(s, &QSpinBox::valueChanged, this, changed);
        place(s, 0);
        grid->addWidget(s, row, 1, Qt::AlignRight);
        if (d.Kind == KVCK_IMAGE) {
            auto* thumb = new QLabel(rowsBox_);
            thumb->setFixedSize(64, 48);
            place(thumb, 1);
            grid->addWidget(thumb, row + 1, 1, Qt::AlignRight);
        }
        break;
    }
    case KVCK_SLIDER: {
        auto* box = new QWidget(rowsBox_);
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        auto* s = new QSlider(Qt::Horizontal, box);
        s->setRange(d.Min, d.Max);
        s->setTickPosition(QSlider::TicksBelow);
        s->setTickInterval(std::max(1, (d.Max - d.Min + 1) >> 4));
        auto* value = new QLabel(box);
        value->setMinimumWidth(32);
        h->addWidget(s);
        h->addWidget(value);
        connect(s, &QSlider::valueChanged, this, changed);
        place(box, 2);
        place(s, 0);
        place(value, 1);
        grid->addWidget(box, row, 1);
        break;
    }
    case KVCK_LIST: {
        auto* c = new QComboBox(rowsBox_);
        for (const std::string& item : d.Items) c->addItem(ComponentText(item));
        connect(c, &QComboBox::currentIndexChanged, this, changed);
        place(c, 0);
        grid->addWidget(c, row, 1, Qt::AlignRight);
        break;
    }
    case KVCK_COLOR: {
        auto* s = new TColorSwatch(rowsBox_);
        s->setFixedSize(48, 23);
        connect(s, &TColorSwatch::Pressed, this, [this, s, label] {
            if (OnColor && !running_) OnColor(s, label);
        });
        place(s, 0);
        grid->addWidget(s, row, 1, Qt::AlignRight);
        break;
    }
    case KVCK_POINT: {
        auto* box = new QWidget(rowsBox_);
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        for (int k = 0; k < 2; ++k) {
            auto* s = new QSpinBox(box);
            s->setRange(0, (k == 0 ? imageSize_.x : imageSize_.y) - 1);
            connect(s, &QSpinBox::valueChanged, this, changed);
            h->addWidget(s);
            place(s, k);
        }
        place(box, 2);
        grid->addWidget(box, row, 1, Qt::AlignRight);
        break;
    }
    default:
        break;
    }
    ++controls_;
}

// Shows values_[i] in its controls.
void TCompForm::ShowValue(int i) {
    const Row& r = rows_[static_cast<std::size_t>(i)];
    const ParamValue& v = values_[static_cast<std::size_t>(i)];
    QWidget* c = r.Controls[0];
    if (c == nullptr) return;
    switch (descs_[static_cast<std::size_t>(i)].Kind) {
    case KVCK_CHECK:
        Control<QCheckBox>(c)->setChecked(v.Int != 0);
        break;
    case KVCK_FLOAT:
        Control<QDoubleSpinBox>(c)->setValue(v.Real);
        break;
    case KVCK_INTEGER:
        Control<QSpinBox>(c)->setValue(v.Int);
        break;
    case KVCK_IMAGE:
        Control<QSpinBox>(c)->setValue(v.Int);
        if (Thumbnail)
            Control<QLabel>(r.Controls[1])
                ->setPixmap(
                    Thumbnail(v.Int).scaled(64, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        break;
    case KVCK_SLIDER:
        Control<QSlider>(c)->setValue(v.Int);
        Control<QLabel>(r.Controls[1])->setText(QString::number(v.Int));
        break;
    case KVCK_LIST:
        Control<QComboBox>(c)->setCurrentIndex(v.Int - 1);
        break;
    case KVCK_COLOR:
        Control<TColorSwatch>(c)->SetColor(v.Rgb);
        break;
    case KVCK_POINT:
        Control<QSpinBox>(c)->setValue(FromUnit(v.X, imageSize_.x));
        Control<QSpinBox>(r.Controls[1])->setValue(FromUnit(v.Y, imageSize_.y));
        break;
    default:
        break;
    }
}

void TCompForm::SetValues(const std::array<ParamValue, kMaxComponentParams>& values) {
    const bool was = quiet_;
    quiet_ = true;
    values_ = values;
    for (int i = 0; i < kMaxComponentParams; ++i) ShowValue(i);
    quiet_ = was;
}

// A control changed: its value goes into values_, then the tool hears of it.
void TCompForm::Changed(int i) {
    // Controls being set from values_ (a point sets x before y) report
    // nothing back: values_ is what they are set to.
    if (quiet_) return;
    const Row& r = rows_[static_cast<std::size_t>(i)];
    ParamValue& v = values_[static_cast<std::size_t>(i)];
    QWidget* c = r.Controls[0];
    switch (descs_[static_cast<std::size_t>(i)].Kind) {
    case KVCK_CHECK:
        v.Int = Control<QCheckBox>(c)->isChecked() ? 1 : 0;
        break;
    case KVCK_FLOAT:
        v.Real = Control<QDoubleSpinBox>(c)->value();
        break;
    case KVCK_INTEGER:
        v.Int = Control<QSpinBox>(c)->value();
        break;
    case KVCK_IMAGE:
        v.Int = Control<QSpinBox>(c)->value();
        ShowValue(i);
        break;
    case KVCK_SLIDER:
        v.Int = Control<QSlider>(c)->value();
        Control<QLabel>(r.Controls[1])->setText(QString::number(v.Int));
        break;
    case KVCK_LIST:
        v.Int = Control<QComboBox>(c)->currentIndex() + 1;
        break;
    case KVCK_COLOR:
        v.Rgb = Control<TColorSwatch>(c)->Color();
        break;
    case KVCK_POINT:
        v.X = ToUnit(Control<QSpinBox>(c)->value(), imageSize_.x);
        v.Y = ToUnit(Control<QSpinBox>(r.Controls[1])->value(), imageSize_.y);
        break;
    default:
        return;
    }
    Emit(OnChanged);
}

bool TCompForm::SetParam(int n, int s, std::int64_t lparam, const std::string& text, double value,
                         bool hasValue) {
    if (n < 1 || n > kMaxComponentParams) return false;
    const auto i = static_cast<std::size_t>(n - 1);
    const ParamDesc& d = descs_[i];
    Row& r = rows_[i];
    const int kind = d.Kind;
    if (kind == 0) return false;
    const bool isFloat = kind == KVCK_FLOAT;
    if (s == 1) {
        const QString t = ComponentText(text);
        if (auto* l = Control<QLabel>(r.Label)) l->setText(t);
        if (auto* b = Control<QPushButton>(r.Controls[0])) b->setText(t);
        if (auto* c = Control<QCheckBox>(r.Controls[0])) c->setText(t);
        return false;
    }
    if (s == 0) {
        ParamValue& v = values_[i];
        const auto l = static_cast<std::int32_t>(lparam);
        switch (kind) {
        case KVCK_BUTTON:
            return false;
        case KVCK_FLOAT:
            if (!hasValue) return false;
            v.Real = std::clamp(value, d.FMin, d.FMax);
            break;
        case KVCK_CHECK:
            v.Int = l != 0;
            break;
        case KVCK_INTEGER:
        case KVCK_SLIDER:
            v.Int = std::clamp(l, d.Min, d.Max);
            break;
        case KVCK_LIST:
            v.Int = std::clamp<int>(l, 1, static_cast<int>(d.Items.size()));
            break;
        case KVCK_IMAGE:
            v.Int = std::clamp(l, 1, 10);
            break;
        case KVCK_COLOR:
            v.Rgb = static_cast<std::uint32_t>(l) & 0xFFFFFF;
            break;
        case KVCK_POINT:
            // Through pixels, as the spin edits hold them.
            v.X = ToUnit(FromUnit((static_cast<std::uint32_t>(l) >> 16) & 0xFFFF, imageSize_.x),
                         imageSize_.x);
            v.Y = ToUnit(FromUnit(static_cast<std::uint32_t>(l) & 0xFFFF, imageSize_.y),
                         imageSize_.y);
            break;
        default:
            return false;
        }
        const bool was = quiet_;
        quiet_ = true;
        ShowValue(n - 1);
        quiet_ = was;
        return true;
    }
    // Ranges, increments and decimals of number controls.
    if (auto* sb = Control<QSpinBox>(r.Controls[0]); sb && kind == KVCK_INTEGER) {
        const auto l = static_cast<int>(lparam);
        if (s == 2) sb->setMinimum(l);
        if (s == 3) sb->setMaximum(l);
        if (s == 4) sb->setSingleStep(l);
    } else if (auto* sl = Control<QSlider>(r.Controls[0])) {
        const auto l = static_cast<int>(lparam);
        if (s == 2) sl->setMinimum(l);
        if (s == 3) sl->setMaximum(l);
        if (s == 4) sl->setTickInterval(l);
    } else if (auto* ds = Control<QDoubleSpinBox>(r.Controls[0]); ds && isFloat) {
        if (s == 2 && hasValue) ds->setMinimum(value);
        if (s == 3 && hasValue) ds->setMaximum(value);
        if (s == 4 && hasValue) ds->setSingleStep(value);
        if (s == 5) ds->setDecimals(std::clamp(static_cast<int>(lparam), 0, 10));
    }
    return false;
}

void TCompForm::SetRunning(bool running) {
    running_ = running;
    rowsBox_->setEnabled(!running);
    for (QWidget* w :
         std::initializer_list<QWidget*>{okBtn_, presetBtn_, cancelBtn_, instPreview_, preview_})
        w->setEnabled(!running);
    previewBtn_->setText(
        QString::fromStdString(Translate(running ? key::Stop : key::PreviewCaption)));
}

bool TCompForm::InstantPreviewShown() const {
    return hasPreview_ && instPreview_->isChecked();
}

void TCompForm::ShowPreview(const pixkit::Buffer& picture) {
    if (!picture.Empty()) preview_->setPixmap(QPixmap::fromImage(ToImage(picture)));
}

namespace {

// Keys the focused control of the dialog needs for itself: editing keys in
// text and number fields, digits, the decimal point and signs in number
// fields, Up and Down in lists, and Space and Tab everywhere (buttons press
// with Space, Tab moves between controls).
bool ControlNeedsKey(const QWidget* focus, const QKeyEvent& event) {
    const int key = event.key();
    if (key == Qt::Key_Space || key == Qt::Key_Tab || key == Qt::Key_Backtab) return true;
    const bool number = qobject_cast<const QAbstractSpinBox*>(focus) != nullptr;
    const bool text = number || qobject_cast<const QLineEdit*>(focus) != nullptr;
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return text;
    case Qt::Key_Period:
    case Qt::Key_Comma:
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        return number;
    case Qt::Key_Up:
    case Qt::Key_Down:
        return qobject_cast<const QComboBox*>(focus) != nullptr;
    default:
        return number && key >= Qt::Key_0 && key <= Qt::Key_9;
    }
}

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

bool IsModifier(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

} // namespace

bool TCompForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    // Once per key: at the control that has the focus (the dialog itself
    // when none has), not again while the key travels up to the parents.
    QWidget* focus = focusWidget();
    if (watched != (focus != nullptr ? focus : this)) return false;
    return FormKeyDown(*static_cast<QKeyEvent*>(event));
}

// Enter is OK and Escape Cancel (a control with the focus gives it up
// first, which commits a typed value); during a run Escape stops it. Other
// keys go to the main window's hot keys unless the focused control needs
// them; Escape and the arrow keys stay in the dialog.
bool TCompForm::FormKeyDown(QKeyEvent& event) {
    const int key = event.key();
    const bool plain = (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QWidget* focus = focusWidget();
    if (running_) {
        if (key != Qt::Key_Escape) return false; // only Stop is enabled
        Emit(OnPreview);
        return true;
    }
    if (EnterIsOk && plain &&
        (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (focus != nullptr) focus->clearFocus();
        Emit(key == Qt::Key_Escape ? OnCancel : OnOk);
        return true;
    }
    if (key == Qt::Key_Escape || IsArrow(key) || key == Qt::Key_F1 || IsModifier(key) ||
        ControlNeedsKey(focus, event))
        return false;
    return OnHotKey && OnHotKey(event);
}

// Closing the window is Cancel (Stop first during a run).
void TCompForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    Emit(running_ ? OnPreview : OnCancel);
}

} // namespace kv
