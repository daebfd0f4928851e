#pragma once

class QPushButton;
class QToolButton;
class QWidget;

// The buttons the dialogs build alike: named after their control, and never taking Enter
// from the dialog's default button unless a dialog says so.
namespace dialogbuttons {

QPushButton* Button(QWidget* parent, const char* name, const char* caption);

// A flat picture button; its hint is its tooltip and its name for assistive technology.
QToolButton* ImageButton(QWidget* parent, const char* name, const char* hint, int iconSize = 20);

} // namespace dialogbuttons
