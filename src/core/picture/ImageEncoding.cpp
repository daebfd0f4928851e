#include "ImageEncoding.h"

#include "BatchMessages.h"
#include "MediaUtils.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// 96 dots per inch.
constexpr std::uint32_t PixelsPerMetre = 3780;

struct TJpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Everything the encoder touches lives here, so nothing is lost across the long jump.
struct TJpegJob {
    jpeg_compress_struct info;
    TJpegErrors errors;
    unsigned char* buffer;
    unsigned long size;
};

// False with job.errors.message set when libjpeg reported an error.
bool Compress(TJpegJob& job, const TBitmap24& bitmap, int quality) {
    job.info.err = jpeg_std_error(&job.errors.manager);
    job.errors.manager.error_exit = JpegErrorExit;
    if (setjmp(job.errors.jump) != 0) {
        jpeg_destroy_compress(&job.info);
        return false;
    }
    jpeg_create_compress(&job.info);
    jpeg_mem_dest(&job.info, &job.buffer, &job.size);
    job.info.image_width = static_cast<JDIMENSION>(bitmap.Width());
    job.info.image_height = static_cast<JDIMENSION>(bitmap.Height());
    job.info.input_components = 3;
    job.info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&job.info);
    jpeg_set_quality(&job.info, quality, TRUE);
    jpeg_start_compress(&job.info, TRUE);
    while (job.info.next_scanline < job.info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(bitmap.ScanLine(static_cast<int>(job.info.next_scanline)));
        jpeg_write_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_compress(&job.info);
    jpeg_destroy_compress(&job.info);
    return true;
}

} // namespace

std::string EncodeBmp(const TBitmap24& bitmap) {
    constexpr std::uint32_t headerSize = 14 + 40;
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>(bitmap.Stride()) * static_cast<std::uint32_t>(bitmap.Height());
    std::string out;
    out.reserve(headerSize + imageSize);
    out += "BM";
    PutLE(out, headerSize + imageSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, headerSize, 4);
    PutLE(out, 40, 4);
    PutLE(out, static_cast<std::uint32_t>(bitmap.Width()), 4);
    PutLE(out, static_cast<std::uint32_t>(bitmap.Height()), 4); // positive: rows bottom-up
    PutLE(out, 1, 2);
    PutLE(out, 24, 2);
    PutLE(out, 0, 4); // no compression
    PutLE(out, imageSize, 4);
    PutLE(out, PixelsPerMetre, 4);
    PutLE(out, PixelsPerMetre, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    for (int y = bitmap.Height() - 1; y >= 0; --y) {
        out.append(reinterpret_cast<const char*>(bitmap.ScanLine(y)),
                   static_cast<size_t>(bitmap.Stride()));
    }
    return out;
}

std::string EncodeJpeg(const TBitmap24& bitmap, int quality) {
    if (bitmap.Empty()) {
        throw EImageEncodingError(Format(batchmsg::JpegFailed, "empty picture"));
    }
    TJpegJob job{};
    const bool ok = Compress(job, bitmap, std::clamp(quality, 1, 100));
    std::string bytes;
    if (ok && job.buffer != nullptr) {
        bytes.assign(reinterpret_cast<const char*>(job.buffer), job.size);
    }
    std::free(job.buffer);
    if (!ok) {
        throw EImageEncodingError(Format(batchmsg::JpegFailed, job.errors.message));
    }
    return bytes;
}
