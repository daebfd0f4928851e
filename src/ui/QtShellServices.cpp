#include "QtShellServices.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QWidget>

namespace {

QMessageBox::Icon IconOf(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Information:
        return QMessageBox::Information;
    case TMsgIcon::Warning:
        return QMessageBox::Warning;
    case TMsgIcon::Error:
        return QMessageBox::Critical;
    case TMsgIcon::Question:
        return QMessageBox::Question;
    case TMsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::Ok:
        return QMessageBox::Ok;
    case TMsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TMsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

TMsgResult ResultOf(int button, TMsgButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return TMsgResult::Ok;
    case QMessageBox::Yes:
        return TMsgResult::Yes;
    case QMessageBox::No:
        return TMsgResult::No;
    default:
        // Closing the box answers as its most cautious button.
        return buttons == TMsgButtons::YesNo ? TMsgResult::No
               : buttons == TMsgButtons::Ok  ? TMsgResult::Ok
                                             : TMsgResult::Cancel;
    }
}

} // namespace

QWidget* TQtShellServices::DialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

TMsgResult TQtShellServices::MessageBox(const std::string& text, const std::string& caption,
                                        TMsgIcon icon, TMsgButtons buttons) {
    QMessageBox box(IconOf(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    ButtonsOf(buttons), DialogParent());
    box.setObjectName("MessageBox");
    if (buttons == TMsgButtons::YesNo || buttons == TMsgButtons::YesNoCancel) {
        box.setDefaultButton(QMessageBox::Yes);
    }
    return ResultOf(box.exec(), buttons);
}

QStringList TQtShellServices::NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            for (const QString& variant : {pattern, pattern.toLower(), pattern.toUpper()}) {
                if (!patterns.contains(variant)) {
                    patterns << variant;
                }
            }
        }
        // The dialog shows the text before the last parentheses, so a description that names
        // its own patterns ("AVI files (*.avi)") keeps its text.
        filters << parts[i].trimmed() + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

QStringList TQtShellServices::TypedFiles(const QFileDialog& dialog) {
    QStringList files;
    const auto* edit = dialog.findChild<const QLineEdit*>("fileNameEdit");
    if (edit == nullptr || !edit->text().contains('"')) {
        return files;
    }
    // "a.mp4" "b.mp3": every odd piece between quotes is a name.
    const QStringList pieces = edit->text().split('"');
    for (qsizetype i = 1; i < pieces.size(); i += 2) {
        if (pieces[i].isEmpty()) {
            continue;
        }
        const QFileInfo info(QDir(dialog.directory()), pieces[i]);
        if (info.isFile()) {
            files << info.absoluteFilePath();
        }
    }
    return files;
}

std::vector<std::string> TQtShellServices::OpenFiles(const std::string& title,
                                                     const std::string& filter,
                                                     const std::string& folder) {
    QFileDialog dialog(DialogParent(), QString::fromStdString(title),
                       QString::fromStdString(folder));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(filter));
    std::vector<std::string> files;
    if (dialog.exec() == QDialog::Accepted) {
        QStringList chosen = dialog.selectedFiles();
        // Names typed in quotes that the current filter hides are not among the selected
        // rows, so the dialog would drop them.
        for (const QString& typed : TypedFiles(dialog)) {
            if (!chosen.contains(typed)) {
                chosen << typed;
            }
        }
        for (const QString& file : chosen) {
            files.push_back(file.toStdString());
        }
    }
    return files;
}

std::string TQtShellServices::OpenFile(const std::string& title, const std::string& filter,
                                       const std::string& folder) {
    QFileDialog dialog(DialogParent(), QString::fromStdString(title),
                       QString::fromStdString(folder));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front().toStdString();
}

std::string TQtShellServices::ChooseFolder(const std::string& folder) {
    if (folderChooser_) {
        return folderChooser_(folder);
    }
    return QFileDialog::getExistingDirectory(DialogParent(), QString(),
                                             QString::fromStdString(folder))
        .toStdString();
}

bool TQtShellServices::OpenPath(const std::string& pathOrAddress) {
    return QProcess::startDetached("xdg-open", {QString::fromStdString(pathOrAddress)});
}

void TQtShellServices::Beep() {
    QApplication::beep();
}

bool TQtShellServices::ShutDown() {
    QDBusInterface logind("org.freedesktop.login1", "/org/freedesktop/login1",
                          "org.freedesktop.login1.Manager", QDBusConnection::systemBus());
    if (logind.isValid()) {
        // false: no interactive authentication; the session's rights decide.
        const QDBusMessage reply = logind.call("PowerOff", false);
        if (reply.type() != QDBusMessage::ErrorMessage) {
            return true;
        }
    }
    return QProcess::startDetached("systemctl", {"poweroff"});
}
