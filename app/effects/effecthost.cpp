#include "effects/effecthost.h"

#include <QWidget>

namespace kv {

void EffectHost::ShowDialog(QWidget& form) {
    form.adjustSize();
    if (QWidget* area = ImageArea())
        form.move(area->mapToGlobal(area->rect().center()) - form.rect().center());
    form.show();
    form.raise();
    form.activateWindow();
}

} // namespace kv
