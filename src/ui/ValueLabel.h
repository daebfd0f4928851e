#pragma once

class QLabel;
class QString;

// Labels that show a value beside a caption: assistive technology hears the caption as the
// label's name and the value as its description, so neither hides the other.
namespace valuelabel {

// Names the value label after its caption and makes the caption its buddy.
void Attach(QLabel* value, QLabel* caption);
void Attach(QLabel* value, const QString& caption);
// Shows text and exposes it.
void Show(QLabel* value, const QString& text);

} // namespace valuelabel
