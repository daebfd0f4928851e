#include "SnapshotWriter.h"

#include "AppMessages.h"
#include "AtomicFile.h"
#include "BatchMessages.h"
#include "ImageEncoding.h"
#include "MediaUtils.h"
#include "PictureFit.h"
#include "Settings.h"
#include "ShellServices.h"

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        return true;
    }
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

void Warn(const std::string& text) {
    Shell().MessageBox(text, appmsg::WarningCaption, TMsgIcon::Warning, TMsgButtons::Ok);
}

} // namespace

TSnapshotWriter::TSnapshotWriter(TSettings& settings) : settings_(settings) {}

TBitmap24 TSnapshotWriter::SmallPicture(const TBitmap24& full) {
    return StretchBitmap(full, SmallWidth, SmallHeight);
}

std::string TSnapshotWriter::Folder() {
    std::string folder = settings_.SnapOutputDir();
    if (!MakeFolder(folder)) {
        const std::string fallback = settings_.DefaultFolder();
        Warn(appmsg::CannotCreateOutputFolder + folder +
             Format(appmsg::CreateDefaultFolder, fallback.c_str()));
        MakeFolder(fallback);
        settings_.SetSnapOutputDir(fallback);
        // This snapshot goes to the default folder too, not to the one that cannot be made.
        folder = fallback;
    }
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

bool TSnapshotWriter::Write(const std::string& path, const std::string& bytes) {
    if (const int error = ReplaceFileContent(path, bytes); error != 0) {
        Warn(Format(batchmsg::SnapshotWriteFailed, path.c_str(), std::strerror(error)));
        return false;
    }
    return true;
}

TSnapshotWriter::TResult TSnapshotWriter::Save(const TBitmap24& full, const TBitmap24& small) {
    TResult result;
    if (full.Empty()) {
        return result;
    }
    result.Folder = Folder();
    const bool fullSize = settings_.SnapFullSize();
    const bool smallSize = settings_.SnapSmallSize() && !small.Empty();
    const bool bmp = settings_.SnapBmp();
    const bool jpg = settings_.SnapJpg();
    const int quality = settings_.JpgCompression();

    struct TFile {
        bool wanted;
        const char* name;
        const TBitmap24& picture;
        bool jpeg;
    };
    const TFile files[] = {{fullSize && bmp, batchmsg::SnapshotFullBmp, full, false},
                           {smallSize && bmp, batchmsg::SnapshotSmallBmp, small, false},
                           {fullSize && jpg, batchmsg::SnapshotFullJpg, full, true},
                           {smallSize && jpg, batchmsg::SnapshotSmallJpg, small, true}};
    for (const TFile& file : files) {
        if (!file.wanted) {
            continue;
        }
        const std::string path = result.Folder + file.name;
        try {
            const std::string bytes =
                file.jpeg ? EncodeJpeg(file.picture, quality) : EncodeBmp(file.picture);
            if (Write(path, bytes)) {
                result.Written.push_back(path);
                continue;
            }
        } catch (const EImageEncodingError& e) {
            Warn(Format(batchmsg::SnapshotWriteFailed, path.c_str(), e.what()));
        }
        result.Ok = false;
    }
    return result;
}
