#include "parambar.h"

#include "bars/fontbox.h"
#include "colors/swatch.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// A label whose click gives the focus to its control.
class TBarLabel : public QLabel {
  public:
    TBarLabel(const QString& text, QWidget* control, QWidget* parent)
        : QLabel(text, parent), control_(control) {
        setToolTip(control->toolTip());
    }

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        control_->setFocus(Qt::MouseFocusReason);
        QLabel::mousePressEvent(e);
    }

  private:
    QWidget* control_;
};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

int TextWidth(const QFont& font, const std::string& text) {
    return QFontMetrics(font).horizontalAdvance(Q(text));
}

// Low bits of a control's tag: which keys a focused control needs.
constexpr int kTagNumber = 5;
constexpr int kTagList = 4;

} // namespace

TParamBar::TParamBar(QToolBar* bar, QLabel* caption) : QObject(bar), bar_(bar), caption_(caption) {}

const TParamBar::Entry* TParamBar::Find(int index) const {
    if (index < 0 || index >= ControlCount()) return nullptr;
    return &controls_[static_cast<std::size_t>(index)];
}

QWidget* TParamBar::Control(int index) const {
    const Entry* e = Find(index);
    return e ? e->Widget : nullptr;
}

BarControl TParamBar::Kind(int index) const {
    const Entry* e = Find(index);
    return e ? e->Kind : BarControl::Button;
}

void TParamBar::Clear() {
    for (QAction* a : actions_) {
        bar_->removeAction(a);
        delete a;
    }
    actions_.clear();
    // The actions own their widgets, labels and controls alike.
    controls_.clear();
    name_.clear();
}

void TParamBar::Add(QWidget* w, int level, int currentLevel, int tagLow) {
    w->setProperty("tag", level * 4096 + tagLow);
    QAction* a = bar_->addWidget(w);
    const bool shown = currentLevel >= level;
    a->setVisible(shown);
    w->setEnabled(shown);
    actions_.push_back(a);
}

QWidget* TParamBar::MakeControl(const BarItem& item, const QFont& font, QLabel*& label) {
    QWidget* w = nullptr;
    switch (item.Type) {
    case 'B': {
        auto* b = new QPushButton(Q(item.Caption), bar_);
        b->setFixedSize(TextWidth(font, item.Caption) + 14, 21);
        w = b;
        break;
    }
    case 'C': {
        auto* c = new QCheckBox(Q(item.Caption), bar_);
        c->setChecked(item.Value != 0);
        c->setMinimumWidth(TextWidth(font, item.Caption) + 20);
        w = c;
        break;
    }
    case 'F':
    case 'I': {
        const int width = std::max(TextWidth(font, FormatBarNumber(item.Min, item.Decimals)),
                                   TextWidth(font, FormatBarNumber(item.Max, item.Decimals))) +
                          30;
        if (item.Type == 'F') {
            auto* f = new QDoubleSpinBox(bar_);
            f->setDecimals(item.Decimals);
            f->setRange(item.Min, item.Max);
            f->setValue(item.Value);
            w = f;
        } else {
            auto* f = new QSpinBox(bar_);
            f->setRange(static_cast<int>(item.Min), static_cast<int>(item.Max));
            f->setValue(static_cast<int>(item.Value));
            w = f;
        }
        w->setMinimumWidth(width);
        break;
    }
    case 'L': {
        auto* l = new QComboBox(bar_);
        int widest = 0;
        for (const std::string& s : item.Items) {
            l->addItem(Q(s));
            widest = std::max(widest, TextWidth(font, s));
        }
        l->setCurrentIndex(item.Items.empty() ? -1 : 0);
        l->setMinimumWidth(widest + 30);
        w = l;
        break;
    }
    case 'N': {
        QComboBox* n = MakeFontBox(bar_);
        n->setFixedWidth(190);
        w = n;
        break;
    }
    case 'O': {
        auto* o = new TColorSwatch(bar_);
        o->SetColor(item.Color);
        o->setFixedSize(28, 20);
        w = o;
        break;
    }
    case 'P': {
        auto* p = new QToolButton(bar_);
        p->setCheckable(true);
        const QString glyph = ":/glyphs/" + Q(item.Caption).toLower() + ".svg";
        if (QFile::exists(glyph))
            p->setIcon(QIcon(glyph));
        else
            p->setText(Q(item.Caption).left(1));
        p->setFixedSize(21, 21);
        // Each picture button in its own group: it toggles on its own.
        (new QButtonGroup(p))->addButton(p);
        p->group()->setExclusive(false);
        w = p;
        break;
    }
    default:
        return nullptr;
    }
    w->setToolTip(Q(item.Hint));
    const bool labelled =
        item.Type == 'F' || item.Type == 'I' || item.Type == 'L' || item.Type == 'O';
    label = labelled ? new TBarLabel(Q(item.Caption), w, bar_) : nullptr;
    return w;
}

void TParamBar::Build(const std::string& name, std::string_view descriptor, int level,
                      const QFont& measureFont) {
    Clear();
    name_ = name;
    level_ = level;
    const BarDescriptor d = ParseBarDescriptor(descriptor);
    caption_->setText(Q(d.Caption));
    for (const BarItem& item : d.Items) {
        if (item.Type == 'S') {
            QAction* a = bar_->addSeparator();
            a->setVisible(level >= item.Level);
            actions_.push_back(a);
            continue;
        }
        if (item.Type == 'T') {
            auto* t = new QLabel(Q(item.Caption), bar_);
            t->setToolTip(Q(item.Hint));
            Add(t, item.Level, level);
            continue;
        }
        QLabel* label = nullptr;
        QWidget* w = MakeControl(item, measureFont, label);
        if (w == nullptr) continue;
        const int tagLow = (item.Type == 'F' || item.Type == 'I') ? kTagNumber
                           : item.Type == 'L'                     ? kTagList
                                                                  : 0;
        if (label != nullptr) Add(label, item.Level, level);
        Add(w, item.Level, level, tagLow);
        BarControl kind = BarControl::Button;
        switch (item.Type) {
        case 'C':
            kind = BarControl::Check;
            break;
        case 'F':
        case 'I':
            kind = BarControl::Number;
            break;
        case 'L':
            kind = BarControl::List;
            break;
        case 'N':
            kind = BarControl::Font;
            break;
        case 'O':
            kind = BarControl::Color;
            break;
        case 'P':
            kind = BarControl::Picture;
            break;
        default:
            break;
        }
        w->setObjectName(QString("BarControl%1").arg(controls_.size()));
        controls_.push_back({w, kind, {}});
    }
}

double TParamBar::GetBarValue(int index) const {
    const Entry* found = Find(index);
    if (found == nullptr) return 0;
    const Entry& e = *found;
    switch (e.Kind) {
    case BarControl::List:
    case BarControl::Font:
        return static_cast<QComboBox*>(e.Widget)->currentIndex();
    case BarControl::Number:
        if (auto* f = qobject_cast<QDoubleSpinBox*>(e.Widget)) return f->value();
        return static_cast<QSpinBox*>(e.Widget)->value();
    case BarControl::Check:
        return static_cast<QCheckBox*>(e.Widget)->isChecked() ? 1 : 0;
    case BarControl::Color:
        return static_cast<TColorSwatch*>(e.Widget)->Color();
    case BarControl::Button:
    case BarControl::Picture:
        return static_cast<QAbstractButton*>(e.Widget)->isDown() ||
                       static_cast<QAbstractButton*>(e.Widget)->isChecked()
                   ? 1
                   : 0;
    }
    return 0;
}

void TParamBar::SetBarValue(int index, double value) {
    const Entry* found = Find(index);
    if (found == nullptr) return;
    const Entry& e = *found;
    // Values beyond what an int or a colour holds are clamped, not wrapped.
    const auto whole = static_cast<int>(std::clamp(std::trunc(value), -2147483647.0, 2147483647.0));
    switch (e.Kind) {
    case BarControl::List:
    case BarControl::Font:
        static_cast<QComboBox*>(e.Widget)->setCurrentIndex(whole);
        break;
    case BarControl::Number:
        if (auto* f = qobject_cast<QDoubleSpinBox*>(e.Widget))
            f->setValue(value);
        else
            static_cast<QSpinBox*>(e.Widget)->setValue(whole);
        break;
    case BarControl::Check:
        static_cast<QCheckBox*>(e.Widget)->setChecked(value != 0);
        break;
    case BarControl::Color:
        static_cast<TColorSwatch*>(e.Widget)->SetColor(
            static_cast<std::uint32_t>(std::clamp(std::trunc(value), 0.0, 16777215.0)));
        break;
    case BarControl::Picture:
        static_cast<QAbstractButton*>(e.Widget)->setChecked(value != 0);
        break;
    case BarControl::Button:
        static_cast<QAbstractButton*>(e.Widget)->setDown(value != 0);
        break;
    }
}

void TParamBar::Unbind(const Entry& e) {
    for (const QMetaObject::Connection& c : e.Bound) disconnect(c);
    e.Bound.clear();
}

void TParamBar::BindBarHandler(int index, std::function<void()> handler) {
    const Entry* found = Find(index);
    if (found == nullptr) return;
    const Entry& e = *found;
    Unbind(e);
    auto run = [handler] { handler(); };
    auto& bound = e.Bound;
    switch (e.Kind) {
    case BarControl::List:
    case BarControl::Font:
        bound.push_back(
            connect(static_cast<QComboBox*>(e.Widget), &QComboBox::currentIndexChanged, this, run));
        break;
    case BarControl::Number:
        if (auto* f = qobject_cast<QDoubleSpinBox*>(e.Widget)) {
            bound.push_back(connect(f, &QDoubleSpinBox::valueChanged, this, run));
            bound.push_back(connect(f, &QDoubleSpinBox::editingFinished, this, run));
        } else {
            auto* i = static_cast<QSpinBox*>(e.Widget);
            bound.push_back(connect(i, &QSpinBox::valueChanged, this, run));
            bound.push_back(connect(i, &QSpinBox::editingFinished, this, run));
        }
        break;
    case BarControl::Check:
        bound.push_back(connect(static_cast<QCheckBox*>(e.Widget), &QCheckBox::toggled, this, run));
        break;
    case BarControl::Button:
    case BarControl::Picture:
        bound.push_back(
            connect(static_cast<QAbstractButton*>(e.Widget), &QAbstractButton::clicked, this, run));
        break;
    case BarControl::Color:
        break;
    }
}

void TParamBar::BindBarMouseDown(int index, std::function<void(QMouseEvent*)> handler) {
    const Entry* found = Find(index);
    if (found == nullptr) return;
    const Entry& e = *found;
    if (e.Kind != BarControl::Color) return;
    Unbind(e);
    e.Bound.push_back(connect(static_cast<TColorSwatch*>(e.Widget), &TColorSwatch::Pressed, this,
                              [handler](QMouseEvent* ev) { handler(ev); }));
}

} // namespace kv
