// Measures the per-frame cost of the watermark rendering a conversion runs on every picture:
// the two adjustments, a text item, a bitmap item read from disk every frame and served from
// the per-conversion copy.
//
//   render_bench [frames]     (runs on the offscreen platform unless QT_QPA_PLATFORM is set)
#include "Bitmap24.h"
#include "PictureEffects.h"
#include "WaterMarkImageCache.h"
#include "WaterMarkRenderer.h"
#include "WaterMarkText.h"

#include <QGuiApplication>
#include <QImage>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

TBitmap24 Noise(int width, int height) {
    TBitmap24 frame(width, height);
    std::uint32_t state = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            frame.ScanLine(y)[x] = static_cast<std::uint8_t>(state >> 24);
        }
    }
    return frame;
}

// Milliseconds per call.
double Measure(int frames, const std::function<void()>& call) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        call();
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / frames;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;

    const std::string logo =
        (std::filesystem::temp_directory_path() / "vantre-render-bench-logo.bmp").string();
    {
        QImage image(200, 80, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        image.save(QString::fromStdString(logo), "BMP");
    }

    TWmRec text;
    text.Text = "Vantre watermark 2024";
    text.Font.Size = 26;
    const QSize box = WaterMarkTextExtent(text.Text, text.Font);
    text.TextLeft = text.TextTop = 20;
    text.TextWidth = box.width();
    text.TextHeight = box.height();
    text.TextOpacity = 180;
    text.EndSec = 1000;
    TWmRec image;
    image.Kind = TWmRec::ImageItem;
    image.ImageFile = logo;
    image.ImageLeft = image.ImageTop = 100;
    image.ImageOpacity = 160;
    image.EndSec = 1000;

    std::printf("%-10s %10s %10s %10s %10s %10s %10s %10s\n", "frame", "colours", "exposure",
                "blend", "text", "bmp-read", "bmp-cache", "all");
    for (const auto& [width, height] :
         {std::pair{320, 240}, std::pair{640, 480}, std::pair{1280, 720}, std::pair{1920, 1080}}) {
        const TBitmap24 source = Noise(width, height);
        TBitmap24 frame = source;
        const TBitmap24 overlay = LoadBitmapFile(logo);
        TWaterMarkImageCache cache;
        TWaterMarkRenderer renderer;
        TlvFilesRecord job;
        job.Brightness = 300;
        job.Contrast = 20;
        job.Exposure = 60;
        job.WaterMarks = {text, image};
        const double colours = Measure(frames, [&] { AdjustColors(frame, 300, 20, 255); });
        const double exposure = Measure(frames, [&] { AdjustExposure(frame, 60); });
        const double blend = Measure(frames, [&] { BlendBitmap(frame, overlay, 100, 100, 160); });
        const double drawText = Measure(frames, [&] { DrawWaterMarkText(frame, text); });
        const double read = Measure(frames, [&] { LoadBitmapFile(logo); });
        const double cached = Measure(frames, [&] { cache.Load(logo); });
        const double all = Measure(frames, [&] { renderer.Render(job, frame, 0); });
        std::printf("%4dx%-5d %10.3f %10.3f %10.3f %10.3f %10.3f %10.3f %10.3f   ms per frame\n",
                    width, height, colours, exposure, blend, drawText, read, cached, all);
    }
    std::filesystem::remove(logo);
    return 0;
}
