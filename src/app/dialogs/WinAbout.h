#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

// The about window: the program icon, title and version, a short description and a link to
// the web site, which opens through the shell services.
class TfrmAbout final : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(const std::string& title, const std::string& version, const std::string& webLink,
              QWidget* parent = nullptr);

    QLabel* TitleLabel() const { return title_; }
    QLabel* Link() const { return link_; }

private:
    std::string webLink_;
    QLabel* title_;
    QLabel* link_;
    QPushButton* ok_;
};
