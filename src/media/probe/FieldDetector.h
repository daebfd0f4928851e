#pragma once

struct AVFormatContext;

// Decodes the first pictures of a video stream and runs the library's field detector over them:
// a stream whose container does not say it is interlaced may still carry woven fields.
class TFieldDetector {
public:
    // At most this many pictures are looked at: enough for the detector's judgement to settle,
    // few enough for the look to stay short when a file is added.
    static constexpr int kPictures = 40;
    // Streams with more rows than this are taken as progressive without a look.
    static constexpr int kTallestInterlaced = 1088;

    // True when most analysed pictures are interlaced. Reads packets from the context's current
    // position, so the caller rewinds or closes it afterwards; false on any failure.
    static bool LooksInterlaced(AVFormatContext* context, int streamIndex,
                                int pictures = kPictures);

    struct TCounts {
        int Interlaced = 0;
        int Analysed = 0;
    };
    // The detector's multi-frame counts over the first pictures.
    static TCounts Count(AVFormatContext* context, int streamIndex, int pictures);
};
