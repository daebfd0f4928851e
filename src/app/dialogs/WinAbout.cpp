#include "WinAbout.h"

#include "DialogMessages.h"
#include "Glyphs.h"
#include "ShellServices.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TfrmAbout::TfrmAbout(const std::string& title, const std::string& version,
                     const std::string& webLink, QWidget* parent)
    : QDialog(parent), webLink_(webLink), title_(new QLabel(this)), link_(new QLabel(this)),
      ok_(new QPushButton(dlgmsg::AboutOk, this)) {
    setObjectName("frmAbout");
    setWindowTitle(dlgmsg::AboutCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* icon = new QLabel(this);
    icon->setObjectName("imgIcon");
    icon->setPixmap(glyphs::AppIcon(64, devicePixelRatioF()));
    title_->setObjectName("lblAppNameVer");
    title_->setText(QString::fromStdString(title + version));
    title_->setWordWrap(true);
    auto* description = new QLabel(dlgmsg::AboutDescription, this);
    description->setObjectName("lblDescription");
    description->setWordWrap(true);
    link_->setObjectName("lblLink");
    const QString address = QString::fromStdString(webLink_).toHtmlEscaped();
    link_->setText(QString("<a href=\"%1\">%1</a>").arg(address));
    link_->setToolTip(dlgmsg::AboutLinkText);
    link_->setAccessibleName(dlgmsg::AboutLinkText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link_->setOpenExternalLinks(false);
    connect(link_, &QLabel::linkActivated, this, [this] { Shell().OpenPath(webLink_); });
    ok_->setObjectName("btnOk");
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(14);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(title_, 0, 1);
    layout->addWidget(description, 1, 1);
    layout->addWidget(link_, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    layout->addLayout(buttons, 3, 0, 1, 2);
    setMinimumSize(330, 177);
    resize(minimumSizeHint().expandedTo(QSize(330, 177)));
}
