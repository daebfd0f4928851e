#include "DialogButtons.h"

#include <QPushButton>
#include <QToolButton>

namespace dialogbuttons {

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QToolButton* ImageButton(QWidget* parent, const char* name, const char* hint, int iconSize) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(QString::fromUtf8(hint));
    button->setAccessibleName(QString::fromUtf8(hint));
    button->setAutoRaise(true);
    button->setIconSize(QSize(iconSize, iconSize));
    return button;
}

} // namespace dialogbuttons
