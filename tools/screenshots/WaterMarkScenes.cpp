#include "WaterMarkScenes.h"

#include "Glyphs.h"
#include "LayeredView.h"
#include "Screenshots.h"
#include "WaterMarkColorList.h"
#include "WinMain.h"
#include "WinWaterMark.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPainter>
#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int WaitMs = 10000;
constexpr int Navy = 4;
constexpr int Yellow = 11;
constexpr int SceneFontSize = 18;

std::unique_ptr<TfrmWaterMark> gEditor;
std::unique_ptr<QTemporaryDir> gFolder;

void WaitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < WaitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// A logo to place as the image item.
std::string LogoFile() {
    gFolder = std::make_unique<QTemporaryDir>();
    QImage logo(72, 72, QImage::Format_RGB32);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.drawPixmap(4, 4, glyphs::AppIcon(64));
    painter.end();
    const QString path = gFolder->filePath("logo.bmp");
    logo.save(path, "BMP");
    return path.toStdString();
}

QWidget* ShowEditor(TfrmMain& window, int tab) {
    TJobList& jobs = window.Model().Jobs();
    if (jobs.Empty()) {
        return nullptr;
    }
    jobs.Select(0);
    gEditor = std::make_unique<TfrmWaterMark>(jobs, &window);
    gEditor->show();
    TWaterMarkModel& model = gEditor->Model();
    WaitFor([&] { return model.Opened() && !model.BasePicture().isNull(); });

    const QSizeF frame(model.FrameWidth(), model.FrameHeight());
    model.SetFontName("DejaVu Sans");
    model.SetFontSize(SceneFontSize); // the text fits the sample clip's width
    model.SetFontStyle(TWaterMarkFont::Bold, true);
    model.SetFontColor(WaterMarkColorList()[Yellow].Value);
    const int text = model.AddText({frame.width() / 2, frame.height() / 5});
    gEditor->Ui().lsbox->setFocus();
    model.SetRowText("Summer 2024");
    model.SetBackColor(WaterMarkColorList()[Navy].Value);
    model.SetHasBackColor(true);
    model.SetTransparency(210);
    const int image = model.AddImageFile(LogoFile(), {frame.width() - 50, frame.height() - 50});
    model.SetTransparency(180);
    model.SelectRow(text);
    model.SelectRow(image);
    if (tab != 0) {
        model.SetBrightness(330);
        model.SetSaturation(380);
        gEditor->Ui().suiPageControl1->setCurrentIndex(tab);
    }
    // The next picture of the playing clip, with everything on it.
    const qint64 shown = model.BasePicture().cacheKey();
    WaitFor([&] { return model.BasePicture().cacheKey() != shown; });
    return gEditor.get();
}

void HideEditor(TfrmMain&) {
    gEditor.reset();
    gFolder.reset();
}

} // namespace

void RegisterWaterMarkScenes() {
    TScreenshots::Register({"watermark", [](TfrmMain& w) { return ShowEditor(w, 0); }, HideEditor});
    TScreenshots::Register(
        {"watermark-effect", [](TfrmMain& w) { return ShowEditor(w, 1); }, HideEditor});
}
