#include "ValueLabel.h"

#include <QLabel>

namespace valuelabel {

void Attach(QLabel* value, QLabel* caption) {
    caption->setBuddy(value);
    Attach(value, caption->text());
}

void Attach(QLabel* value, const QString& caption) {
    value->setAccessibleName(caption);
    value->setAccessibleDescription(value->text());
}

void Show(QLabel* value, const QString& text) {
    value->setText(text);
    value->setAccessibleDescription(text);
}

} // namespace valuelabel
