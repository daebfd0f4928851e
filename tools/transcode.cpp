// transcode: drives one engine task from a command line in the classic transcoder form, for
// trying options, presets and targets without the desktop program.

#include "FFmpeg.h"
#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "LibrarySet.h"
#include "MediaUtils.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace {

// Options written without a value on the command line; they reach the engine as "1".
const std::set<std::string> kFlagOptions = {
    "L",        "h",           "version",     "formats", "codecs", "bsfs",      "protocols",
    "filters",  "y",           "benchmark",   "dump",    "hex",    "re",        "loop_input",
    "copyts",   "shortest",    "xerror",      "vn",      "an",     "sn",        "intra",
    "sameq",    "deinterlace", "psnr",        "vstats",  "qphist", "force_fps", "isync",
    "newvideo", "newaudio",    "newsubtitle",
};

void PrintUsage() {
    std::fputs("usage: transcode [options] -i INPUT ... [options] OUTPUT ...\n"
               "\n"
               "Arguments are taken in order, as the engine takes them:\n"
               "  -i INPUT       opens an input file with the options given before it\n"
               "  -NAME VALUE    sets an engine option (the engine's option vocabulary; names\n"
               "                 the engine does not know go to the libraries' generic options)\n"
               "  OUTPUT         opens an output file with the options given before it\n"
               "  --help         shows this text\n"
               "\n"
               "These options take no value on the command line; they are passed on as \"1\":\n"
               "  ",
               stdout);
    int column = 2;
    for (const std::string& name : kFlagOptions) {
        if (column + name.size() + 2 > 78) {
            std::fputs("\n  ", stdout);
            column = 2;
        }
        std::printf("-%s ", name.c_str());
        column += static_cast<int>(name.size()) + 2;
    }
    std::fputs("\n\nExamples:\n"
               "  transcode -i in.avi -vcodec libx264 -vpre ipod -b 1000k out.mp4\n"
               "  transcode -i in.avi -target pal-dvd out.mpg\n"
               "\nThe exit code is 0 when the conversion ends without error.\n",
               stdout);
}

// The "LibAV" folder beside the program, or empty for the system's libraries.
std::string LibraryFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    const auto folder = exe.parent_path() / "LibAV";
    return std::filesystem::is_directory(folder, ec) ? folder.string() : std::string();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

void PrintProgress(int fileIndex, int frame, int fps, float quality, float bitRate,
                   std::int64_t totalSize, std::int64_t currentTime) {
    std::fprintf(stderr, "\rframe=%6d fps=%4d q=%5.1f size=%9lldkB time=%s bitrate=%7.1fkbits/s",
                 frame, fps, static_cast<double>(quality), static_cast<long long>(totalSize / 1024),
                 FormatDuration(currentTime).c_str(), static_cast<double>(bitRate));
    if (fileIndex < 0) {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

int Run(int argc, char** argv) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder(LibraryFolder());
    if (!loader.Load(EncoderLibraries)) {
        return Fail(loader.LastErrorText());
    }
    TFFLogger& logger = LoggerInstance();
    logger.SetTriggerEventInMainThread(false);
    logger.SetOnLog([](const void*, std::uint32_t, TLogLevel, const std::string& text) {
        std::string line = text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        std::fprintf(stderr, "%s\n", line.c_str());
    });

    TCustomFFmpeg task;
    task.Reset();
    task.ProgressHandler = [](TCustomFFmpeg&, int fileIndex, int frame, int fps, float quality,
                              float bitRate, std::int64_t totalSize, std::int64_t currentTime,
                              std::int64_t) {
        PrintProgress(fileIndex, frame, fps, quality, bitRate, totalSize, currentTime);
    };

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-') {
            if (task.OpenOutputFile(arg) < 0) {
                return Fail(task.LastErrorText());
            }
            continue;
        }
        const std::string name = arg.substr(1);
        if (name == "i") {
            if (i + 1 >= argc) {
                return Fail("Missing input file name after -i");
            }
            if (!task.OpenInputFile(argv[++i])) {
                return Fail(task.LastErrorText());
            }
        } else if (kFlagOptions.contains(name)) {
            task.SetOption(name, "1");
        } else {
            if (i + 1 >= argc) {
                return Fail("Missing argument for option '" + name + "'");
            }
            task.SetOption(name, argv[++i]);
        }
    }

    task.Start(false);
    if (task.HasError()) {
        return Fail(task.ErrorMessage());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        PrintUsage();
        return argc < 2 ? 1 : 0;
    }
    try {
        const int code = Run(argc, argv);
        LoggerInstance().SetOnLog({});
        return code;
    } catch (const std::exception& e) {
        LoggerInstance().SetOnLog({});
        return Fail(e.what());
    }
}
