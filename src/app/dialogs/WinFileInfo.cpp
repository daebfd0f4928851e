#include "WinFileInfo.h"

#include "EditModelMessages.h"
#include "ValueLabel.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QGroupBox* Group(const char* name, const char* caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(name);
    return group;
}

// Rows share the group's height evenly: a taller window spaces them out rather than leave
// an empty band below them.
void AddRow(QGridLayout* grid, const char* label, QWidget* field) {
    auto* caption = new QLabel(label, field->parentWidget());
    caption->setObjectName("lbl" + field->objectName().mid(3) + "Caption");
    caption->setBuddy(field);
    const int row = grid->count() / 2;
    grid->addWidget(caption, row, 0);
    grid->addWidget(field, row, 1);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

} // namespace

TfrmFileInfo::TfrmFileInfo(QWidget* parent)
    : QDialog(parent), lblSourceName_(new QLabel(this)), lblFileLength_(new QLabel(this)),
      btnOk_(new QPushButton(editmsg::OkButton, this)) {
    setObjectName("frmFileInfo");
    setWindowTitle(editmsg::FileInfoCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblSourceName_->setObjectName("lblSourceName");
    lblSourceName_->setMinimumWidth(TFileInfoModel::NameLabelWidth);
    lblSourceName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblFileLength_->setObjectName("lblFileLength");
    auto* file = new QFormLayout;
    for (const auto& [caption, value] : {std::pair{editmsg::FileNameLabel, lblSourceName_},
                                         std::pair{editmsg::DurationLabel, lblFileLength_}}) {
        auto* label = new QLabel(caption, this);
        valuelabel::Attach(value, label);
        file->addRow(label, value);
    }

    QGroupBox* video = Group("grpbxVideo", editmsg::VideoGroup, this);
    auto* videoForm = new QGridLayout(video);
    edtFormat_ = Field("edtFormat", video);
    edtResloution_ = Field("edtResloution", video);
    edtBitRate_ = Field("edtBitRate", video);
    edtFrameRate_ = Field("edtFrameRate", video);
    edtTotalFrame_ = Field("edtTotalFrame", video);
    AddRow(videoForm, editmsg::FormatLabel, edtFormat_);
    AddRow(videoForm, editmsg::ResolutionLabel, edtResloution_);
    AddRow(videoForm, editmsg::BitRateInfoLabel, edtBitRate_);
    AddRow(videoForm, editmsg::FrameRateInfoLabel, edtFrameRate_);
    AddRow(videoForm, editmsg::TotalFrameLabel, edtTotalFrame_);

    QGroupBox* audio = Group("grpbxAudio", editmsg::AudioGroup, this);
    auto* audioForm = new QGridLayout(audio);
    edtAudioForamt_ = Field("edtAudioForamt", audio);
    edtSampleRate_ = Field("edtSampleRate", audio);
    edtChannel_ = Field("edtChannel", audio);
    edtAudioBitRate_ = Field("edtAudioBitRate", audio);
    AddRow(audioForm, editmsg::FormatLabel, edtAudioForamt_);
    AddRow(audioForm, editmsg::SampleRateInfoLabel, edtSampleRate_);
    AddRow(audioForm, editmsg::ChannelInfoLabel, edtChannel_);
    AddRow(audioForm, editmsg::BitRateInfoLabel, edtAudioBitRate_);

    btnOk_->setObjectName("btnOk");
    btnOk_->setDefault(true);
    connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addWidget(video, videoForm->rowCount());
    layout->addWidget(audio, audioForm->rowCount());
    layout->addLayout(buttons);
    const QSize design = QSize(TFileInfoModel::WindowWidth, TFileInfoModel::WindowHeight)
                             .expandedTo(minimumSizeHint());
    setMaximumHeight(design.height());
    resize(design);
}

QLineEdit* TfrmFileInfo::Field(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    return field;
}

void TfrmFileInfo::AlignCaptions() {
    // One caption column across both groups, measured in the theme's font.
    ensurePolished();
    const QList<QLabel*> captions = findChildren<QLabel*>(QRegularExpression("Caption$"));
    int width = 0;
    for (QLabel* caption : captions) {
        caption->setMinimumWidth(0);
        width = std::max(width, caption->sizeHint().width());
    }
    for (QLabel* caption : captions) {
        caption->setMinimumWidth(width);
    }
}

bool TfrmFileInfo::Load(const std::string& fileName) {
    AlignCaptions();
    const QSize design = QSize(TFileInfoModel::WindowWidth, TFileInfoModel::WindowHeight)
                             .expandedTo(minimumSizeHint());
    // Wider shows longer names; taller would only space the rows out.
    setMaximumHeight(design.height());
    resize(design);
    frameCounter_.Stop();
    const bool loaded = model_.Load(fileName);
    ShowFields(fileName);
    if (loaded && model_.FrameCountEstimated()) {
        frameCounter_.Start(fileName, [this](std::int64_t frames) {
            model_.SetCountedFrames(frames);
            edtTotalFrame_->setText(QString::fromStdString(model_.Fields().TotalFrame));
        });
    }
    return loaded;
}

void TfrmFileInfo::ShowFields(const std::string& fileName) {
    const TFileInfoFields& f = model_.Fields();
    const std::pair<QLineEdit*, const std::string*> fields[] = {
        {edtFormat_, &f.Format},
        {edtResloution_, &f.Resolution},
        {edtBitRate_, &f.BitRate},
        {edtFrameRate_, &f.FrameRate},
        {edtTotalFrame_, &f.TotalFrame},
        {edtAudioForamt_, &f.AudioFormat},
        {edtSampleRate_, &f.SampleRate},
        {edtChannel_, &f.Channel},
        {edtAudioBitRate_, &f.AudioBitRate},
    };
    for (const auto& [field, text] : fields) {
        field->setText(QString::fromStdString(*text));
        field->setCursorPosition(0);
    }
    valuelabel::Show(lblSourceName_, QString::fromStdString(f.SourceName));
    valuelabel::Show(lblFileLength_, QString::fromStdString(f.FileLength));
    // The label may shorten a long name: the whole one is a hover away.
    lblSourceName_->setToolTip(f.SourceName.empty() ? QString() : QString::fromStdString(fileName));
}
