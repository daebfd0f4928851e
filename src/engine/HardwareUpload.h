#pragma once

#include "MediaPtr.h"

#include <string>

// Pictures for encoders that take them only in device memory (VAAPI): a device opened on a
// render node, a pool of device pictures of the encoder's size, and the copy of each converted
// picture into one. The conversion itself still ends in memory, in the pool's memory format.
class THardwareUpload {
public:
    // Whether the encoder takes device pictures only.
    static bool Needed(const AVCodec* codec);
    // The memory format the pool is filled from for a wanted picture format: 10-bit sources
    // keep their depth, everything else is 8-bit 4:2:0.
    static AVPixelFormat MemoryFormat(AVPixelFormat wanted);

    // Opens the device (the default one for an empty path) and a pool of the encoder's size and
    // memory format (enc->pix_fmt), then points the encoder at it. False with the reason.
    bool Open(const std::string& device, AVCodecContext* enc, std::string& why);
    AVPixelFormat SoftwareFormat() const { return software_; }
    // A device picture holding the picture and its properties, valid until the next call;
    // throws when the copy fails.
    AVFrame* Upload(const AVFrame* picture);

    // Opens the encoder (a library name such as "hevc_vaapi") on the device and encodes a few
    // small grey pictures: true only when packets come out. Encoders that take pictures in
    // memory (NVENC) get them directly.
    static bool TrialEncode(const std::string& device, const std::string& encoder,
                            std::string& why);

private:
    media::BufferRefPtr device_;
    media::BufferRefPtr frames_;
    media::FramePtr frame_;
    AVPixelFormat software_ = AV_PIX_FMT_NONE;
};
