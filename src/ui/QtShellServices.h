#pragma once

#include "ShellServices.h"

#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QWidget;

// The shell services of the desktop program: Qt message boxes and file dialogs, the program's
// own folder chooser (installed by the program, so this layer does not depend on its dialogs),
// xdg-open, the desktop's beep and systemd-logind's power-off.
class TQtShellServices final : public IShellServices {
public:
    using TFolderChooser = std::function<std::string(const std::string& startFolder)>;

    void SetFolderChooser(TFolderChooser chooser) { folderChooser_ = std::move(chooser); }

    TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                          TMsgButtons buttons) override;
    std::vector<std::string> OpenFiles(const std::string& title, const std::string& filter,
                                       const std::string& folder) override;
    std::string OpenFile(const std::string& title, const std::string& filter,
                         const std::string& folder) override;
    std::string ChooseFolder(const std::string& folder) override;
    bool OpenPath(const std::string& pathOrAddress) override;
    void Beep() override;
    bool ShutDown() override;

    // "Desc|*.a;*.b|..." as Qt's name filters, "Desc (*.a *.b)". A description that names
    // its patterns already keeps its text; patterns are matched in upper and lower case.
    static QStringList NameFilters(const std::string& filter);
    // The names typed in quotes into a file dialog's name box that are existing files (the
    // dialog drops those its current filter hides).
    static QStringList TypedFiles(const QFileDialog& dialog);

private:
    static QWidget* DialogParent();

    TFolderChooser folderChooser_;
};
