#pragma once

#include "MediaUtils.h"

#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;
struct AVInputFormat;

// The one place where the media layer opens files with the libraries. Names arrive as the
// caller's file names and are converted with ToLibraryFileName.
class TMediaFile {
public:
    // OpenInput's answer for a playlist input whose entries lie outside its own folder (or
    // are no local files): they are refused.
    static constexpr int ErrorEntryOutsideFolder = MediaErrorTag('V', 'P', 'L', 'O');

    // Opens an input. *context may be a pre-allocated context (its options stay); on failure
    // it is freed and set to null. Returns 0 or a negative library error code. A local path
    // that is a named pipe, a socket, a directory or a character device (unless the format
    // is a capture device's) is refused at once with one of the codes of MediaUtils.h; when
    // the context has an interrupt callback, a named pipe is read instead, in short waits
    // that the callback ends.
    static int OpenInput(AVFormatContext** context, const std::string& fileName,
                         const AVInputFormat* format, AVDictionary** options);
    static void CloseInput(AVFormatContext** context);

    // Opens the byte stream of an output context for writing at its url.
    static int OpenOutput(AVFormatContext* context);
    // Flushes and closes it; returns the first write error, 0 when everything reached the file.
    static int CloseOutput(AVFormatContext* context);

    // Lets a context open further files (segments, second passes of muxers) by library names,
    // "unicode:utf8:" names included.
    static void InstallOpeners(AVFormatContext* context);

    // Opens one byte stream by library name with AVIO_FLAG_READ / AVIO_FLAG_WRITE flags.
    static int OpenStream(AVIOContext** stream, const std::string& libraryName, int flags);
    static int CloseStream(AVIOContext** stream);
};
