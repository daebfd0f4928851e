// Vantre start-up check: loads the encoder and player library sets from "LibAV" beside the
// program (else the system) and reports what was bound.

#include "FFmpegLoader.h"
#include "LibraryFunctions.h"

#include <cstdio>
#include <filesystem>

namespace {

std::string ProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

void Report(const char* title, const TLibrarySet& set) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.Load(set)) {
        std::printf("%s: %s\n", title, loader.LastErrorText().c_str());
        return;
    }
    std::printf("%s:\n", title);
    for (int i = 0; i < LibraryKindCount; ++i) {
        const auto kind = static_cast<TLibraryKind>(i);
        if (set.Contains(kind)) {
            const std::string version = loader.VersionText(kind);
            std::printf("  %-10s %-8s %s\n", TFFmpegLoader::LibraryBaseName(kind),
                        version.empty() ? "-" : version.c_str(), loader.LoadedPath(kind).c_str());
        }
    }
}

} // namespace

int main() {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder(ProgramFolder() + "/LibAV");
    std::printf("Vantre MP4 Video Converter %s\n", VANTRE_VERSION);
    Report("Encoder libraries", EncoderLibraries);
    Report("Player libraries", PlayerLibraries);
    const bool ok = loader.Loaded(PlayerLibraries);
    if (ok) {
        std::printf("FFmpeg %s\n", fn::av_version_info());
    }
    return ok ? 0 : 1;
}
