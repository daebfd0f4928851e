#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The output folder chooser ("Brows"): a folder tree with the home folder and the file system
// root, "Ok" and "Cancel". A folder on an optical disc is refused with a message and the
// chooser stays open. One chooser serves every caller; Choose shows it modally.
class TfmDirectory final : public QDialog {
    Q_OBJECT
public:
    using TOpticalCheck = std::function<bool(const std::string& path)>;

    // appTitle is the caption of the refusal message.
    TfmDirectory(std::string appTitle, std::string homeFolder, QWidget* parent = nullptr);

    // Opens at startFolder (else the home folder) and returns the chosen folder, empty when
    // cancelled.
    std::string Choose(const std::string& startFolder);
    const std::string& SelectedPath() const { return selectedPath_; }

    // Tests decide which folders count as optical discs.
    void SetOpticalCheck(TOpticalCheck check) { opticalCheck_ = std::move(check); }
    // Selects the node of path, expanding the tree down to it; false when it is not in the
    // tree.
    bool SelectFolder(const std::string& path);
    QTreeWidget* Tree() const { return tree_; }

private:
    void OkClick();
    void CancelClick();
    void UpdateOk();
    void Fill(QTreeWidgetItem* item);
    QTreeWidgetItem* AddFolderNode(QTreeWidgetItem* parent, const QString& text,
                                   const QString& path);

    std::string appTitle_;
    std::string homeFolder_;
    std::string selectedPath_;
    TOpticalCheck opticalCheck_;
    QTreeWidget* tree_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
