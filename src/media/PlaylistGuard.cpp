#include "PlaylistGuard.h"

#include "LibraryFunctions.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "UnicodeProtocol.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// What the probes of the playlist readers look at: the start of the file.
constexpr size_t kProbeSize = 2048;
// What the concat reader splits its directives at.
constexpr const char* kSpaces = " \t\r\n";

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// A regular file opened for reading; a pipe or device put at the name never blocks the open.
int OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until buffer holds size bytes; false at the end of the file or on an error.
bool ReadUpTo(int fd, std::vector<unsigned char>& buffer, size_t size) {
    while (buffer.size() < size) {
        const size_t have = buffer.size();
        buffer.resize(size);
        const ssize_t n = ::read(fd, buffer.data() + have, size - have);
        buffer.resize(have + static_cast<size_t>(n > 0 ? n : 0));
        if (n == 0 || (n < 0 && errno != EINTR)) {
            return false;
        }
    }
    return true;
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

bool HasParentStep(const std::string& path) {
    for (const auto& part : std::filesystem::path(path)) {
        if (part == "..") {
            return true;
        }
    }
    return false;
}

// Calls each with every line of the file at path as the concat reader splits them (at
// line feeds, carriage returns and zero bytes) until it returns false. False when the file
// could not be read to that point.
bool ForEachLine(const std::string& path, const std::function<bool(const std::string&)>& each) {
    const FileDescriptor file(OpenRegularFile(path));
    if (file.Get() < 0) {
        return false;
    }
    std::string line;
    std::vector<char> chunk(65536);
    for (;;) {
        const ssize_t n = ::read(file.Get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                each(line);
            }
            return n == 0;
        }
        for (ssize_t k = 0; k < n; ++k) {
            const char c = chunk[k];
            if (c != '\n' && c != '\r' && c != '\0') {
                line.push_back(c);
                continue;
            }
            if (!each(line)) {
                return true;
            }
            line.clear();
        }
    }
}

// The argument of a "file" directive as the concat reader takes it, by the libraries'
// tokenizer rules: a backslash takes the next character as it is, single quotes take
// everything up to the closing one, unquoted white space ends the argument and is trimmed.
// Empty for any other line.
std::string FileDirective(const std::string& line) {
    const char* cursor = line.c_str();
    cursor += std::strspn(cursor, kSpaces);
    const size_t length = std::strcspn(cursor, kSpaces);
    if (std::string_view(cursor, length) != "file") {
        return {};
    }
    cursor += length;
    cursor += std::strspn(cursor, kSpaces);
    std::string token;
    size_t kept = 0; // quoted and escaped characters are never trimmed
    while (*cursor != '\0' && std::strchr(kSpaces, *cursor) == nullptr) {
        const char c = *cursor++;
        if (c == '\\' && *cursor != '\0') {
            token.push_back(*cursor++);
            kept = token.size();
        } else if (c == '\'') {
            while (*cursor != '\0' && *cursor != '\'') {
                token.push_back(*cursor++);
            }
            if (*cursor != '\0') {
                ++cursor;
                kept = token.size();
            }
        } else {
            token.push_back(c);
        }
    }
    while (token.size() > kept && std::strchr(kSpaces, token.back()) != nullptr) {
        token.pop_back();
    }
    return token;
}

// The start of a regular file as the readers' probes take it (padded with zero bytes).
struct TFileStart {
    std::vector<unsigned char> bytes;
    int size = 0;
};

TFileStart ReadFileStart(const std::string& path) {
    TFileStart start;
    const FileDescriptor file(OpenRegularFile(path));
    if (file.Get() >= 0) {
        ReadUpTo(file.Get(), start.bytes, kProbeSize);
    }
    start.size = static_cast<int>(start.bytes.size());
    start.bytes.resize(start.bytes.size() + AVPROBE_PADDING_SIZE, 0);
    return start;
}

// The score the named reader's own probe gives that start; 0 for a file that was not read.
int ProbeScore(const TFileStart& start, const std::string& libraryName, const char* reader) {
    const AVInputFormat* format = fn::av_find_input_format(reader);
    if (start.size == 0 || format == nullptr || format->read_probe == nullptr) {
        return 0;
    }
    AVProbeData data{};
    data.filename = libraryName.c_str();
    data.buf = const_cast<unsigned char*>(start.bytes.data()); // the probes only read
    data.buf_size = start.size;
    return format->read_probe(&data);
}

// Playlists of these kinds open their entries through their own context's opener, which a
// reader made by a concat playlist does not inherit.
constexpr std::array<const char*, 3> kOwnOpeners = {"hls", "dash", "imf"};

bool OpensItsOwnEntries(std::string_view format) {
    return std::find(kOwnOpeners.begin(), kOwnOpeners.end(), format) != kOwnOpeners.end();
}

bool IsOwnOpenerPlaylist(const TFileStart& start, const std::string& libraryName) {
    return std::any_of(kOwnOpeners.begin(), kOwnOpeners.end(), [&](const char* reader) {
        return ProbeScore(start, libraryName, reader) > AVPROBE_SCORE_RETRY;
    });
}

// One playlist's check; playlists counts those reached so far.
int CheckPlaylist(const std::string& path, int depth, int& playlists, std::string& refused) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    int result = 0;
    const auto checkEntry = [&](const std::string& line) {
        const std::string entry = FileDirective(line);
        if (entry.empty()) {
            return true;
        }
        // A "file:" address is opened as it stands, from the current folder; any other
        // protocol or scheme reaches beyond local files.
        std::string local = entry;
        const bool fromCurrentFolder = entry.rfind("file:", 0) == 0;
        if (fromCurrentFolder) {
            local.erase(0, 5);
        } else if (entry.find(':') < entry.find('/')) {
            local.clear(); // the libraries read what comes before the colon as a scheme
        } else if (local.front() != '/' && !folder.empty()) {
            local = folder + "/" + local;
        }
        if (local.empty() || entry.rfind("file,", 0) == 0 || HasParentStep(local) ||
            !TPlaylistGuard::InsideFolder(path, local)) {
            result = TMediaFile::ErrorEntryOutsideFolder;
        } else if (const int special = TPlaylistGuard::SpecialKind(local); special != 0) {
            result = special; // a pipe or device would hold the reader for good
        } else if (const TFileStart start = ReadFileStart(local);
                   IsOwnOpenerPlaylist(start, ToLibraryFileName(local))) {
            // Its reader would open them unchecked; the format whitelist refuses it too.
            result = TPlaylistGuard::ErrorPlaylistKind;
        } else if (ProbeScore(start, ToLibraryFileName(local), "concat") > AVPROBE_SCORE_RETRY) {
            if (depth + 1 > TPlaylistGuard::MaxNesting ||
                ++playlists > TPlaylistGuard::MaxPlaylists) {
                result = TPlaylistGuard::ErrorPlaylistNesting;
            } else {
                result = CheckPlaylist(local, depth + 1, playlists, refused);
                return result == 0;
            }
        }
        if (result != 0) {
            refused = entry;
        }
        return result == 0;
    };
    if (!ForEachLine(path, checkEntry) && result == 0) {
        // Read as a playlist a moment ago: something has taken its place since.
        refused = path;
        return AVERROR(EIO);
    }
    return result;
}

} // namespace

int TPlaylistGuard::SpecialKind(const std::string& path, bool characterDevicesAllowed) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return 0;
    }
    if (S_ISFIFO(st.st_mode)) {
        return ErrorNamedPipe;
    }
    if (S_ISSOCK(st.st_mode)) {
        return ErrorSocketFile;
    }
    if (S_ISDIR(st.st_mode)) {
        return ErrorDirectory;
    }
    return S_ISCHR(st.st_mode) && !characterDevicesAllowed ? ErrorCharacterDevice : 0;
}

std::string TPlaylistGuard::LocalPathOf(const std::string& libraryName) {
    if (IsUnicodeName(libraryName)) {
        return FromLibraryFileName(libraryName);
    }
    const char* protocol = fn::avio_find_protocol_name(libraryName.c_str());
    if (protocol == nullptr || std::string(protocol) != "file") {
        return {};
    }
    return libraryName.compare(0, 5, "file:") == 0 ? libraryName.substr(5) : libraryName;
}

bool TPlaylistGuard::InsideFolder(const std::string& input, const std::string& entry) {
    const std::string realInput = RealPath(input);
    const size_t slash = realInput.rfind('/');
    if (slash == std::string::npos) {
        return false;
    }
    const std::string folder = realInput.substr(0, slash + 1);
    const std::string realEntry = RealPath(entry);
    if (realEntry.empty()) {
        return errno == ENOENT && RealPath(std::filesystem::path(entry).parent_path().string())
                                          .append("/")
                                          .rfind(folder, 0) == 0;
    }
    return realEntry.rfind(folder, 0) == 0;
}

bool TPlaylistGuard::IsConcatPlaylist(const std::string& path, const std::string& libraryName) {
    return ProbeScore(ReadFileStart(path), libraryName, "concat") > AVPROBE_SCORE_RETRY;
}

int TPlaylistGuard::CheckConcatPlaylist(const std::string& path, std::string& refused) {
    int playlists = 1;
    return CheckPlaylist(path, 0, playlists, refused);
}

std::string TPlaylistGuard::FormatWhitelist(bool concat) {
    std::string list;
    void* opaque = nullptr;
    while (const AVInputFormat* format = fn::av_demuxer_iterate(&opaque)) {
        if (concat ? OpensItsOwnEntries(format->name)
                   : std::string_view(format->name) == "concat") {
            continue;
        }
        if (!list.empty()) {
            list += ',';
        }
        list += format->name;
    }
    return list;
}
