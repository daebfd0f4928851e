#include "MediaFiles.h"

#include "MediaUtils.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace mediafiles {

const char* const AddDialogFilter =
    "All Supported Video "
    "Formats|*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.3G2;*.M4V;*.MP4;*.MPG;*.MPEG;"
    "*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;|All Supported Audio "
    "Formats|*.MP3;*.AAC;*.WAV;*.WMA;*.OGG;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;*.MP2;*.MPA;*.MPC;*.APE;"
    "*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|AVI files (*.avi)|*.avi|MPEG4 files "
    "(*.mp4)|*.mp4|MPEG files (*.mpg,*.mpeg)|*.mpg;*.mpeg|3GP files (*.3gp,*.3g2)|*.3gp;*.3g2|"
    "Itunes Video files (*.m4v)|*.m4v|Windows Media files (*.wmv,*.asf)|*.wmv;*.asf|Real Media "
    "files (*.rm,*.rmvb)|*.rm;*.rmvb|Video CD files (*.dat)|*.dat|Quick Time files "
    "(*.mov)|*.mov|Flash Video files (*.flv)|*.flv|Matroska Video files (*.mkv)|*.mkv|MJPEG "
    "Video files (*.mjpg,*.mjpeg)|*.mjpg;*.mjpeg|Animated GIF files (*.gif)|*.gif|H.264/MPEG4 "
    "AVC Video files (*.mts,*.m2ts)|*.mts;*.m2ts|DVD video object files (*.vob)|*.vob|MPEG-1 "
    "Video files (*.mpv)|*.mpv|Video Transport Stream files (*.ts)|*.ts|TP Video files "
    "(*.tp)|*.tp|Maceomeida Flash files (*.swf)|*.swf|MP3 Audio files (*.mp3)|*.mp3|Advanced "
    "Audio Coding files (*.aac)|*.aac|Monkey's Audio files (*.ape)|*.ape|Ogg Vorbis Audio files "
    "(*.ogg)|*.ogg|Windows Media Audio files (*.wma)|*.wma|MusePack Audio files "
    "(*.mpc)|*.mpc|MPEG Audio files (*.mpa)|*.mpa|MPEG-4 Audio files (*.m4a)|*.m4a|Matroska "
    "Audio files (*.mka)|*.mka|DTS Audio files (*.dts)|*.dts|Audio Codec 3 files "
    "(*.ac3)|*.ac3|Speex Audio files (*.spx)|*.spx|Real Audio files (*.ra,*.ram)|*.ra;*.ram|MPEG "
    "Layer II Compressed Audio files (*.mp2)|*.mp2|All files (*.*)|*.*";

const std::vector<std::string>& Extensions() {
    static const std::vector<std::string> extensions = [] {
        std::set<std::string> found;
        std::vector<std::string> parts = SplitText(AddDialogFilter, '|');
        // Every pattern list of the filter except the last group's "*.*".
        for (size_t i = 1; i + 2 < parts.size(); i += 2) {
            for (const std::string& pattern : SplitText(parts[i], ';')) {
                if (pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0) {
                    found.insert(LowerCase(pattern.substr(2)));
                }
            }
        }
        return std::vector<std::string>(found.begin(), found.end());
    }();
    return extensions;
}

bool IsMediaFileName(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    if (extension.size() < 2) {
        return false;
    }
    extension = LowerCase(extension.substr(1));
    const auto& all = Extensions();
    return std::binary_search(all.begin(), all.end(), extension);
}

std::vector<std::string> ExpandDropped(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::string> inside;
        for (fs::recursive_directory_iterator
                 it(path, fs::directory_options::skip_permission_denied, ec),
             end;
             !ec && it != end; it.increment(ec)) {
            std::error_code statError;
            if (it->is_regular_file(statError) && IsMediaFileName(it->path().string())) {
                inside.push_back(it->path().string());
            }
        }
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

std::vector<std::string> CommandLinePaths(int argc, const char* const* argv) {
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        const std::filesystem::path path = std::filesystem::absolute(argv[i], ec);
        paths.push_back(ec ? std::string(argv[i]) : path.lexically_normal().string());
    }
    return paths;
}

std::vector<std::string> LocalPathsOfUriList(const std::string& uriList) {
    auto hexValue = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < uriList.size()) {
        size_t end = uriList.find('\n', start);
        if (end == std::string::npos) {
            end = uriList.size();
        }
        std::string line = uriList.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("file://", 0) != 0) {
            continue; // a comment, or no local file
        }
        // "file:///path" or "file://host/path": the path starts at the third slash.
        const size_t slash = line.find('/', 7);
        if (slash == std::string::npos) {
            continue;
        }
        const std::string host = line.substr(7, slash - 7);
        if (!host.empty() && host != "localhost") {
            continue;
        }
        std::string path;
        for (size_t i = slash; i < line.size(); ++i) {
            if (line[i] == '%' && i + 2 < line.size() && hexValue(line[i + 1]) >= 0 &&
                hexValue(line[i + 2]) >= 0) {
                path += static_cast<char>(hexValue(line[i + 1]) * 16 + hexValue(line[i + 2]));
                i += 2;
            } else {
                path += line[i];
            }
        }
        paths.push_back(path);
    }
    return paths;
}

} // namespace mediafiles
