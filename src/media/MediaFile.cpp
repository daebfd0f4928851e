#include "MediaFile.h"

#include "LibraryFunctions.h"
#include "MediaMessages.h"
#include "MediaPtr.h"
#include "MediaUtils.h"
#include "PlaylistGuard.h"
#include "UnicodeProtocol.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kBufferSize = 65536;

using IoOpen = int (*)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);
using IoClose2 = int (*)(AVFormatContext*, AVIOContext*);

// The libraries' own openers, taken from the first context we see.
std::atomic<IoOpen> gDefaultOpen{nullptr};
std::atomic<IoClose2> gDefaultClose{nullptr};

struct UnicodeFile {
    UnicodeFile(int descriptor, const AVIOInterruptCB& callback)
        : fd(descriptor), interrupt(callback) {}
    ~UnicodeFile() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    UnicodeFile(const UnicodeFile&) = delete;
    UnicodeFile& operator=(const UnicodeFile&) = delete;
    // Closes now, for a caller that wants the close's result.
    int Close() { return ::close(std::exchange(fd, -1)); }

    int fd = -1;
    // Set for pipes: reads wait in short steps and give up when the owner interrupts them.
    AVIOInterruptCB interrupt{};
};

int InterruptibleRead(UnicodeFile* file, uint8_t* buffer, int size) {
    for (;;) {
        if (file->interrupt.callback(file->interrupt.opaque) != 0) {
            return AVERROR_EXIT;
        }
        pollfd ready{file->fd, POLLIN, 0};
        const int events = ::poll(&ready, 1, 100);
        if (events < 0 && errno != EINTR) {
            return AVERROR(errno);
        }
        if (events <= 0) {
            continue;
        }
        const ssize_t n = ::read(file->fd, buffer, static_cast<size_t>(size));
        if (n > 0) {
            return static_cast<int>(n);
        }
        if (n == 0) {
            return AVERROR_EOF;
        }
        if (errno != EAGAIN && errno != EINTR) {
            return AVERROR(errno);
        }
    }
}

int UnicodeRead(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<UnicodeFile*>(opaque);
    if (file->interrupt.callback != nullptr) {
        return InterruptibleRead(file, buffer, size);
    }
    const ssize_t n = ::read(file->fd, buffer, static_cast<size_t>(size));
    if (n < 0) {
        return AVERROR(errno);
    }
    return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

int UnicodeWrite(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<UnicodeFile*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t n = ::write(file->fd, buffer + written, static_cast<size_t>(size - written));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return AVERROR(errno);
        }
        written += static_cast<int>(n);
    }
    return written;
}

int64_t UnicodeSeek(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<UnicodeFile*>(opaque);
    if (file->interrupt.callback != nullptr) {
        return AVERROR(ESPIPE); // a pipe has neither a size nor positions
    }
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(file->fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t pos = ::lseek(file->fd, offset, whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(errno) : static_cast<int64_t>(pos);
}

bool IsUnicodeStream(const AVIOContext* stream) {
    return stream != nullptr &&
           (stream->read_packet == &UnicodeRead || stream->seek == &UnicodeSeek);
}

// interrupt: for a pipe read by an owner that may interrupt the reads, else null.
int OpenFileStream(AVIOContext** stream, const std::string& path, int flags,
                   const AVIOInterruptCB* interrupt) {
    int mode = O_RDONLY;
    if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE) {
        mode = O_RDWR | O_CREAT | O_TRUNC;
    } else if (flags & AVIO_FLAG_WRITE) {
        mode = O_WRONLY | O_CREAT | O_TRUNC;
    }
    if (interrupt != nullptr) {
        // Opening a pipe must not wait for its writer either.
        mode |= O_NONBLOCK;
    }
    const int fd = ::open(path.c_str(), mode | O_CLOEXEC, 0666);
    if (fd < 0) {
        return AVERROR(errno);
    }
    auto file =
        std::make_unique<UnicodeFile>(fd, interrupt != nullptr ? *interrupt : AVIOInterruptCB{});
    media::AvBuffer<unsigned char> buffer(static_cast<unsigned char*>(fn::av_malloc(kBufferSize)));
    const bool writing = (flags & AVIO_FLAG_WRITE) != 0;
    AVIOContext* io =
        buffer
            ? fn::avio_alloc_context(buffer.get(), kBufferSize, writing ? 1 : 0, file.get(),
                                     &UnicodeRead, writing ? &UnicodeWrite : nullptr, &UnicodeSeek)
            : nullptr;
    if (io == nullptr) {
        return AVERROR(ENOMEM);
    }
    // The stream owns both from here; CloseUnicodeStream gives them back.
    buffer.release();
    file.release();
    io->seekable = interrupt != nullptr ? 0 : AVIO_SEEKABLE_NORMAL;
    *stream = io;
    return 0;
}

int OpenUnicodeStream(AVIOContext** stream, const std::string& libraryName, int flags) {
    if (!UnicodeProtocolRegistered()) {
        return AVERROR_PROTOCOL_NOT_FOUND;
    }
    return OpenFileStream(stream, FromLibraryFileName(libraryName), flags, nullptr);
}

// Returns the first write error, or the close's.
int CloseUnicodeStream(AVIOContext** stream) {
    AVIOContext* io = *stream;
    if (io == nullptr) {
        return 0;
    }
    int result = 0;
    if (io->write_flag) {
        fn::avio_flush(io);
        result = io->error;
    }
    const std::unique_ptr<UnicodeFile> file(static_cast<UnicodeFile*>(io->opaque));
    fn::av_freep(&io->buffer);
    fn::avio_context_free(stream);
    if (file != nullptr && file->Close() != 0 && result >= 0) {
        result = AVERROR(errno);
    }
    return result;
}

// The kind of a local path that is not a regular file, or 0 for a regular file, a block
// device, a path that does not exist and anything that is no local path.
int SpecialFileError(const std::string& libraryName, const AVInputFormat* format) {
    std::string path;
    if (IsUnicodeName(libraryName)) {
        path = FromLibraryFileName(libraryName);
    } else {
        const char* protocol = fn::avio_find_protocol_name(libraryName.c_str());
        if (protocol == nullptr || std::string(protocol) != "file") {
            return 0;
        }
        path = libraryName.compare(0, 5, "file:") == 0 ? libraryName.substr(5) : libraryName;
    }
    // Capture devices are read through their own demuxers, asked for by name.
    const bool deviceFormat = format != nullptr && format->priv_class != nullptr &&
                              AV_IS_INPUT_DEVICE(format->priv_class->category);
    return TPlaylistGuard::SpecialKind(path, deviceFormat);
}

// Whether a further file an input opens (a playlist's entry) may be read: only a local file
// in the input's own folder or below. An input that is no local file keeps its entries.
bool EntryAllowed(const AVFormatContext* context, const char* url) {
    const std::string input = TPlaylistGuard::LocalPathOf(context->url);
    if (input.empty()) {
        return true;
    }
    const std::string entry = TPlaylistGuard::LocalPathOf(url);
    return !entry.empty() && TPlaylistGuard::InsideFolder(input, entry);
}

// Set when the opener refused a playlist entry on this thread, for OpenInput's answer.
thread_local bool gEntryRefused = false;

int OpenerHook(AVFormatContext* context, AVIOContext** stream, const char* url, int flags,
               AVDictionary** options) {
    const bool input = context != nullptr && context->oformat == nullptr &&
                       context->url != nullptr && std::strcmp(url, context->url) != 0;
    if (input && !EntryAllowed(context, url)) {
        fn::av_log(context, AV_LOG_ERROR, mediamsg::EntryOutsideFolder, context->url, url);
        gEntryRefused = true;
        return AVERROR(EACCES);
    }
    if (IsUnicodeName(url)) {
        return OpenUnicodeStream(stream, url, flags);
    }
    return gDefaultOpen.load()(context, stream, url, flags, options);
}

int CloserHook(AVFormatContext* context, AVIOContext* stream) {
    if (IsUnicodeStream(stream)) {
        CloseUnicodeStream(&stream);
        return 0;
    }
    if (IoClose2 close = gDefaultClose.load()) {
        return close(context, stream);
    }
    return fn::avio_closep(&stream);
}

// A concat playlist's readers are made without our opener: its entries are checked here,
// before the libraries open any. Returns 0 or the error that refuses the input.
int GuardPlaylist(AVFormatContext* context, const std::string& path, const std::string& libraryName,
                  const AVInputFormat* format, int special) {
    const bool concat = format != nullptr
                            ? std::strcmp(format->name, "concat") == 0
                            : special == 0 && TPlaylistGuard::IsConcatPlaylist(path, libraryName);
    if (concat) {
        std::string refused;
        const int error = TPlaylistGuard::CheckConcatPlaylist(path, refused);
        if (error == TMediaFile::ErrorEntryOutsideFolder) {
            fn::av_log(context, AV_LOG_ERROR, mediamsg::EntryOutsideFolder, libraryName.c_str(),
                       refused.c_str());
        } else if (error != 0) {
            fn::av_log(context, AV_LOG_ERROR, mediamsg::EntryRefused, libraryName.c_str(),
                       refused.c_str(), ErrorMessage(error).c_str());
        }
        if (error != 0) {
            return error;
        }
    }
    // Also when the probe above and the libraries' own might disagree, or the file changes
    // in between: what was not checked as a concat playlist cannot be read as one.
    if ((format == nullptr || concat) && context->format_whitelist == nullptr) {
        context->format_whitelist = fn::av_strdup(TPlaylistGuard::FormatWhitelist(concat).c_str());
    }
    return 0;
}

} // namespace

void TMediaFile::InstallOpeners(AVFormatContext* context) {
    if (context->io_open != &OpenerHook) {
        IoOpen expected = nullptr;
        gDefaultOpen.compare_exchange_strong(expected, context->io_open);
        IoClose2 expectedClose = nullptr;
        gDefaultClose.compare_exchange_strong(expectedClose, context->io_close2);
        context->io_open = &OpenerHook;
        context->io_close2 = &CloserHook;
    }
}

int TMediaFile::OpenInput(AVFormatContext** context, const std::string& fileName,
                          const AVInputFormat* format, AVDictionary** options) {
    // Ours until the libraries take it over; freed on every early return.
    media::FormatContextPtr owned(std::exchange(*context, nullptr));
    if (owned == nullptr) {
        owned.reset(fn::avformat_alloc_context());
        if (owned == nullptr) {
            return AVERROR(ENOMEM);
        }
    }
    InstallOpeners(owned.get());
    const std::string libraryName = ToLibraryFileName(fileName);
    // A local input reads local files only, also through the readers a playlist opens
    // itself (concat); its own folder is checked by the opener, or before the open for a
    // concat playlist.
    const std::string localPath = TPlaylistGuard::LocalPathOf(libraryName);
    if (owned->protocol_whitelist == nullptr && !localPath.empty()) {
        owned->protocol_whitelist = fn::av_strdup("file,crypto,data");
    }
    // Opening a pipe without a writer would block for ever, unless the owner can break off
    // the waits (the player); a directory or a device reads nothing useful.
    const AVIOInterruptCB& interrupt = owned->interrupt_callback;
    const int special = SpecialFileError(libraryName, format);
    const bool interruptiblePipe = special == ErrorNamedPipe && interrupt.callback != nullptr;
    if (special != 0 && !interruptiblePipe) {
        return special;
    }
    if (!localPath.empty()) {
        const int refused = GuardPlaylist(owned.get(), localPath, libraryName, format, special);
        if (refused != 0) {
            return refused;
        }
    }
    AVIOContext* own = nullptr;
    if (interruptiblePipe) {
        // A pipe that stops delivering would otherwise hold its reader for good.
        std::string path = FromLibraryFileName(libraryName);
        if (path.rfind("file:", 0) == 0) {
            path.erase(0, 5);
        }
        const int result = OpenFileStream(&own, path, AVIO_FLAG_READ, &interrupt);
        if (result < 0) {
            return result;
        }
    } else if (IsUnicodeName(libraryName)) {
        // The libraries close an input's main stream with avio_close, past any hook: the stream
        // is handed over as a custom one and closed by CloseInput.
        const int result = OpenUnicodeStream(&own, libraryName, AVIO_FLAG_READ);
        if (result < 0) {
            return result;
        }
    }
    if (own != nullptr) {
        owned->pb = own;
        owned->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // The libraries free the context themselves when the open fails.
    *context = owned.release();
    gEntryRefused = false;
    const int result = fn::avformat_open_input(context, libraryName.c_str(), format, options);
    if (result < 0 && own != nullptr) {
        CloseUnicodeStream(&own);
    }
    return result < 0 && gEntryRefused ? ErrorEntryOutsideFolder : result;
}

void TMediaFile::CloseInput(AVFormatContext** context) {
    if (*context == nullptr) {
        return;
    }
    AVIOContext* own = IsUnicodeStream((*context)->pb) ? (*context)->pb : nullptr;
    media::InputContextPtr(std::exchange(*context, nullptr)).reset();
    if (own != nullptr) {
        CloseUnicodeStream(&own);
    }
}

int TMediaFile::OpenOutput(AVFormatContext* context) {
    InstallOpeners(context);
    return OpenStream(&context->pb, context->url ? context->url : "", AVIO_FLAG_WRITE);
}

int TMediaFile::CloseOutput(AVFormatContext* context) {
    int error = 0;
    if (context->pb != nullptr) {
        fn::avio_flush(context->pb);
        error = context->pb->error;
    }
    const int closed = CloseStream(&context->pb);
    return error < 0 ? error : closed;
}

int TMediaFile::OpenStream(AVIOContext** stream, const std::string& libraryName, int flags) {
    if (IsUnicodeName(libraryName)) {
        return OpenUnicodeStream(stream, libraryName, flags);
    }
    return fn::avio_open(stream, libraryName.c_str(), flags);
}

int TMediaFile::CloseStream(AVIOContext** stream) {
    if (IsUnicodeStream(*stream)) {
        return CloseUnicodeStream(stream);
    }
    return *stream != nullptr ? fn::avio_closep(stream) : 0;
}
