#include "tools/toolbutton.h"

#include <QMouseEvent>

namespace kv {

TToolButton::TToolButton(QWidget* parent, int group) : QToolButton(parent), group_(group) {
    setCheckable(group != 0);
    setAutoRaise(true);
    // The right button picks an icon's secondary tool: the window's tool
    // bar menu must not open over the icons and swallow the next click.
    setContextMenuPolicy(Qt::PreventContextMenu);
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
