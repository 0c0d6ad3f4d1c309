#include "platform/formbutton.h"

#include <QPushButton>

namespace kv {

QPushButton* FormButton(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    if (hint != nullptr) b->setToolTip(QString::fromUtf8(hint));
    b->setAutoDefault(false);
    return b;
}

} // namespace kv
