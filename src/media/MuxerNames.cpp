#include "MuxerNames.h"

#include "LibraryFunctions.h"

std::string MuxerForFileName(const std::string& fileName) {
    if (fn::av_guess_format == nullptr) {
        return {};
    }
    const AVOutputFormat* format = fn::av_guess_format(nullptr, fileName.c_str(), nullptr);
    if (format == nullptr || format->name == nullptr ||
        (format->flags & (AVFMT_NOFILE | AVFMT_NEEDNUMBER)) != 0) {
        return {};
    }
    return format->name;
}
