#pragma once

#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;
struct AVInputFormat;

// The one place where the media layer opens files with the libraries. Names arrive as the
// caller's file names and are converted with ToLibraryFileName.
class TMediaFile {
public:
    // Opens an input. *context may be a pre-allocated context (its options stay); on failure
    // it is freed and set to null. Returns 0 or a negative library error code. When the context
    // has an interrupt callback, a named pipe is read in short waits that the callback ends.
    static int OpenInput(AVFormatContext** context, const std::string& fileName,
                         const AVInputFormat* format, AVDictionary** options);
    static void CloseInput(AVFormatContext** context);

    // Opens the byte stream of an output context for writing at its url.
    static int OpenOutput(AVFormatContext* context);
    static void CloseOutput(AVFormatContext* context);

    // Lets a context open further files (segments, second passes of muxers) by library names,
    // "unicode:utf8:" names included.
    static void InstallOpeners(AVFormatContext* context);

    // Opens one byte stream by library name with AVIO_FLAG_READ / AVIO_FLAG_WRITE flags.
    static int OpenStream(AVIOContext** stream, const std::string& libraryName, int flags);
    static void CloseStream(AVIOContext** stream);
};
