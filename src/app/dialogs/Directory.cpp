#include "Directory.h"

#include "DialogMessages.h"
#include "OpticalDisc.h"
#include "ShellServices.h"

#include <QDir>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int PathRole = Qt::UserRole + 1;
constexpr int FilledRole = Qt::UserRole + 2;

QString PathOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, PathRole).toString() : QString();
}
} // namespace

TfmDirectory::TfmDirectory(std::string appTitle, std::string homeFolder, QWidget* parent)
    : QDialog(parent), appTitle_(std::move(appTitle)), homeFolder_(std::move(homeFolder)),
      opticalCheck_(IsOnOpticalDisc), tree_(new QTreeWidget(this)),
      ok_(new QPushButton(dlgmsg::DirectoryOk, this)),
      cancel_(new QPushButton(dlgmsg::DirectoryCancel, this)) {
    setObjectName("fmDirectory");
    setWindowTitle(dlgmsg::DirectoryCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* prompt = new QLabel(dlgmsg::DirectoryPrompt, this);
    prompt->setObjectName("lblPrompt");
    prompt->setBuddy(tree_);
    tree_->setObjectName("stview_selectdir");
    tree_->setAccessibleName(dlgmsg::DirectoryPrompt);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    ok_->setObjectName("btnOk");
    ok_->setDefault(true);
    cancel_->setObjectName("btnCancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    resize(322, 351);

    const QString home = QString::fromStdString(homeFolder_);
    if (!home.isEmpty()) {
        AddFolderNode(nullptr, dlgmsg::HomeFolderNode, home);
    }
    AddFolderNode(nullptr, dlgmsg::RootFolderNode, "/");

    connect(tree_, &QTreeWidget::itemExpanded, this, &TfmDirectory::Fill);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &TfmDirectory::UpdateOk);
    connect(ok_, &QPushButton::clicked, this, &TfmDirectory::OkClick);
    connect(cancel_, &QPushButton::clicked, this, &TfmDirectory::CancelClick);
    UpdateOk();
}

QTreeWidgetItem* TfmDirectory::AddFolderNode(QTreeWidgetItem* parent, const QString& text,
                                             const QString& path) {
    static const QFileIconProvider icons;
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, text);
    item->setIcon(0, icons.icon(QFileIconProvider::Folder));
    item->setData(0, PathRole, path);
    item->setData(0, FilledRole, false);
    // Sub-folders are read when the node opens; until then it may or may not have any.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void TfmDirectory::Fill(QTreeWidgetItem* item) {
    if (item == nullptr || item->data(0, FilledRole).toBool()) {
        return;
    }
    item->setData(0, FilledRole, true);
    const QDir folder(PathOf(item));
    const QFileInfoList entries = folder.entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo& entry : entries) {
        AddFolderNode(item, entry.fileName(), entry.absoluteFilePath());
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool TfmDirectory::SelectFolder(const std::string& path) {
    const QString wanted = QDir::cleanPath(QString::fromStdString(path));
    if (wanted.isEmpty() || !QDir(wanted).exists()) {
        return false;
    }
    // The deepest top node that holds the folder: the home folder before the root.
    QTreeWidgetItem* node = nullptr;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = tree_->topLevelItem(i);
        const QString base = PathOf(top);
        if (wanted == base || wanted.startsWith(base == "/" ? base : base + "/")) {
            node = top;
            break;
        }
    }
    while (node != nullptr && PathOf(node) != wanted) {
        Fill(node);
        node->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && next == nullptr; ++i) {
            const QString child = PathOf(node->child(i));
            if (wanted == child || wanted.startsWith(child + "/")) {
                next = node->child(i);
            }
        }
        node = next;
    }
    if (node == nullptr) {
        return false;
    }
    tree_->setCurrentItem(node);
    tree_->scrollToItem(node);
    return true;
}

std::string TfmDirectory::Choose(const std::string& startFolder) {
    selectedPath_.clear();
    if (!SelectFolder(startFolder)) {
        SelectFolder(homeFolder_);
    }
    UpdateOk();
    exec();
    return selectedPath_;
}

void TfmDirectory::UpdateOk() {
    ok_->setEnabled(!PathOf(tree_->currentItem()).isEmpty());
}

void TfmDirectory::OkClick() {
    selectedPath_ = PathOf(tree_->currentItem()).toStdString();
    if (selectedPath_.empty()) {
        return;
    }
    if (opticalCheck_ && opticalCheck_(selectedPath_)) {
        selectedPath_.clear();
        Shell().MessageBox(dlgmsg::CdRomFolder, appTitle_, TMsgIcon::Information, TMsgButtons::Ok);
        return;
    }
    accept();
}

void TfmDirectory::CancelClick() {
    selectedPath_.clear();
    reject();
}
