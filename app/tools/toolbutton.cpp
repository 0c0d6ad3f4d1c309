#include "tools/toolbutton.h"

#include <QMouseEvent>

namespace kv {

TToolButton::TToolButton(QWidget* parent, int group) : QToolButton(parent), group_(group) {
    setCheckable(group != 0);
    setAutoRaise(true);
}

void TToolButton::SetDown(bool down) {
    if (down && group_ != 0 && parentWidget() != nullptr)
        for (TToolButton* other :
             parentWidget()->findChildren<TToolButton*>(QString(), Qt::FindDirectChildrenOnly))
            if (other != this && other->group_ == group_) other->setChecked(false);
    if (group_ != 0) setChecked(down);
}

// A click puts the button down; it comes up again only when it may.
void TToolButton::nextCheckState() {
    if (!Down())
        SetDown(true);
    else if (AllowAllUp)
        SetDown(false);
}

void TToolButton::mousePressEvent(QMouseEvent* event) {
    Q_EMIT Pressed(event->buttons());
    QToolButton::mousePressEvent(event);
}

void TToolButton::mouseReleaseEvent(QMouseEvent* event) {
    QToolButton::mouseReleaseEvent(event);
    Q_EMIT Released();
}

} // namespace kv
