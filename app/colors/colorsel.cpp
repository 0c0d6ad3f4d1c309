#include "colorsel.h"

#include "colors/swatch.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

#include <cstdio>

namespace kv {

// Shows the saturation/value buffer and reports presses and drags.
class TSvField : public QWidget {
  public:
    TSvField(QWidget* parent, const pixkit::Buffer& field, std::function<void(QPoint)> pick)
        : QWidget(parent), field_(field), pick_(std::move(pick)) {
        setObjectName("SVField");
        setFixedSize(kSvFieldSize, kSvFieldSize);
        setCursor(Qt::CrossCursor);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (field_.Empty()) return;
        const QImage image(reinterpret_cast<const uchar*>(field_.Data), kSvFieldSize, kSvFieldSize,
                           field_.Pitch * 4, QImage::Format_RGB32);
        QPainter(this).drawImage(0, 0, image);
    }
    void mousePressEvent(QMouseEvent* e) override {
        dragging_ = true;
        pick_(e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (dragging_) pick_(e->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }

  private:
    const pixkit::Buffer& field_;
    std::function<void(QPoint)> pick_;
    bool dragging_ = false; // set while a button is down in the field
};

namespace {

const char* const kChannelNames[3] = {"Red", "Green", "Blue"};

} // namespace

TColorSel::TColorSel(QWidget* parent) : QDialog(parent) {
    setObjectName("ColorSel");
    setProperty("HelpContext", kHelpContext);
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    field_.Alloc({kSvFieldSize, kSvFieldSize});
    auto* grid = new QGridLayout(this);
    for (int c = 0; c < 3; ++c) {
        auto* label = new QLabel(QString::fromLatin1(kChannelNames[c]).left(1), this);
        label->setObjectName(QString::fromLatin1(kChannelNames[c]) + "Label");
        auto* slider = new QSlider(Qt::Vertical, this);
        slider->setObjectName(QString::fromLatin1(kChannelNames[c]) + "Slider");
        slider->setRange(0, 255);
        slider->setInvertedAppearance(true); // position 0 at the top
        slider->setInvertedControls(true);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(kChannelNames[c]) + "Edit");
        edit->setFixedWidth(40);
        sliders_[static_cast<std::size_t>(c)] = slider;
        edits_[static_cast<std::size_t>(c)] = edit;
        grid->addWidget(label, 0, c, Qt::AlignHCenter);
        grid->addWidget(slider, 1, c, Qt::AlignHCenter);
        grid->addWidget(edit, 2, c);
        connect(slider, &QSlider::valueChanged, this, [this, c] { ValChange(c); });
        connect(edit, &QLineEdit::textEdited, this, [this, c] { ColEditExit(c); });
        connect(edit, &QLineEdit::editingFinished, this, [this, c] { ColEditExit(c); });
    }
    fieldView_ = new TSvField(this, field_, [this](QPoint p) { SVChange(p); });
    grid->addWidget(fieldView_, 1, 3, Qt::AlignCenter);
    hue_ = new QSlider(Qt::Horizontal, this);
    hue_->setObjectName("HueBar");
    hue_->setRange(0, 359);
    hue_->setPageStep(32);
    grid->addWidget(hue_, 2, 3);
    connect(hue_, &QSlider::valueChanged, this, [this] { HValChange(); });

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("&Ok", this);
    ok->setObjectName("OkBtn");
    ok->setDefault(true);
    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setObjectName("CancelBtn");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 4);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TColorSel::~TColorSel() = default;

std::uint32_t TColorSel::SliderColor() const {
    return MakeRgb(255 - sliders_[0]->value(), 255 - sliders_[1]->value(),
                   255 - sliders_[2]->value());
}

void TColorSel::Open(TColorSwatch* target, const QString& title, QWidget* centreOver,
                     std::function<void()> changed, bool modal) {
    if (!isVisible() && centreOver != nullptr) {
        adjustSize();
        const QPoint centre = centreOver->mapToGlobal(centreOver->rect().center());
        move(centre - QPoint(width() / 2, height() / 2));
    }
    if (target_ != nullptr) disconnect(target_, &QObject::destroyed, this, nullptr);
    target_ = target;
    connect(target, &QObject::destroyed, this, &TColorSel::TargetGone);
    changed_ = std::move(changed);
    setWindowTitle(title);
    const std::uint32_t c = target->Color();
    restore_ = c;
    // Red and green are set without their handling; the blue change below
    // runs it once for the whole colour.
    updating_ = true;
    sliders_[0]->setValue(255 - RedOf(c));
    sliders_[1]->setValue(255 - GreenOf(c));
    updating_ = false;
    for (int ch = 0; ch < 3; ++ch) {
        const int v = ch == 0 ? RedOf(c) : ch == 1 ? GreenOf(c) : BlueOf(c);
        edits_[static_cast<std::size_t>(ch)]->setText(QString::number(v));
    }
    if (sliders_[2]->value() != 255 - BlueOf(c))
        sliders_[2]->setValue(255 - BlueOf(c));
    else
        ValChange(2);
    if (modal) {
        exec();
        return;
    }
    show();
    raise();
}

void TColorSel::ValChange(int channel) {
    if (updating_ || target_ == nullptr) return;
    const std::uint32_t c = SliderColor();
    target_->SetColor(c);
    if (changed_) changed_();
    const int v = 255 - sliders_[static_cast<std::size_t>(channel)]->value();
    QLineEdit* edit = edits_[static_cast<std::size_t>(channel)];
    if (edit->text() != QString::number(v)) edit->setText(QString::number(v));
    // From the field the chosen saturation and value stay as picked.
    const Hsv fresh = RgbToHsv(RedOf(c), GreenOf(c), BlueOf(c));
    if (from_ == From::Slider) {
        hsv_ = fresh;
        updating_ = true;
        hue_->setValue(hsv_.H);
        updating_ = false;
    } else if (from_ == From::Hue) {
        hsv_.S = fresh.S;
        hsv_.V = fresh.V;
    }
    RedrawField();
}

void TColorSel::ColEditExit(int channel) {
    const QByteArray text = edits_[static_cast<std::size_t>(channel)]->text().toLatin1();
    int v = 0;
    char extra = 0;
    // Exactly one integer and nothing after it.
    if (std::sscanf(text.constData(), "%d%c", &v, &extra) != 1 || v < 0 || v > 255) return;
    sliders_[static_cast<std::size_t>(channel)]->setValue(255 - v);
}

void TColorSel::SetSliders(std::uint32_t rgb) {
    // Red and green move quietly, blue runs the handling once.
    updating_ = true;
    sliders_[0]->setValue(255 - RedOf(rgb));
    sliders_[1]->setValue(255 - GreenOf(rgb));
    updating_ = false;
    for (int ch = 0; ch < 2; ++ch) {
        const int v = 255 - sliders_[static_cast<std::size_t>(ch)]->value();
        edits_[static_cast<std::size_t>(ch)]->setText(QString::number(v));
    }
    if (sliders_[2]->value() != 255 - BlueOf(rgb))
        sliders_[2]->setValue(255 - BlueOf(rgb));
    else
        ValChange(2);
}

void TColorSel::HValChange() {
    if (updating_) return;
    hsv_.H = hue_->value();
    from_ = From::Hue;
    SetSliders(HsvToRgb(hsv_.H, hsv_.S, hsv_.V));
    from_ = From::Slider;
    RedrawField();
}

void TColorSel::SVChange(QPoint p) {
    const Hsv sv = SvAtFieldPoint(p.x(), p.y());
    hsv_.S = sv.S;
    hsv_.V = sv.V;
    from_ = From::Field;
    SetSliders(HsvToRgb(hsv_.H, hsv_.S, hsv_.V));
    from_ = From::Slider;
    RedrawField();
}

void TColorSel::RedrawField() {
    DrawSvField(field_, hsv_.H, hsv_.S, hsv_.V, SliderColor());
    fieldView_->update();
}

TColorSwatch* TColorSel::Target() const {
    return target_.data();
}

void TColorSel::TargetGone() {
    changed_ = nullptr;
    hide();
}

void TColorSel::done(int result) {
    if (result == QDialog::Accepted) restore_ = SliderColor();
    QDialog::done(result);
    if (target_ != nullptr) {
        target_->SetColor(restore_);
        if (changed_) changed_();
    }
}

} // namespace kv
