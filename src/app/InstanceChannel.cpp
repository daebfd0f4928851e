#include "InstanceChannel.h"

#include "JobListFile.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* Header = "vantre-files 1\n";
constexpr const char* Trailer = "end\n";
constexpr const char* Accepted = "ok\n";
constexpr const char* Refused = "refused\n";
constexpr std::size_t MaxPaths = 100000;
// Room a socket address has for its path, with a margin.
constexpr std::size_t MaxSocketPath = 100;
constexpr int ReceiveTimeoutMs = 10000;

std::string SocketPathFor(const std::string& dataFolder) {
    std::string path = dataFolder + "/vantre.socket";
    if (path.size() <= MaxSocketPath) {
        return path;
    }
    // A data folder too deep for a socket address: a private name elsewhere, one per folder.
    const std::string tag =
        std::to_string(::getuid()) + "-" + std::to_string(std::hash<std::string>{}(dataFolder));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const std::string base = !runtime.isEmpty() && runtime.startsWith('/')
                                 ? runtime.toStdString()
                                 : QDir::tempPath().toStdString();
    return base + "/vantre-" + tag + ".socket";
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

TInstanceChannel::TInstanceChannel(const std::string& dataFolder, QObject* parent)
    : QObject(parent), socketPath_(SocketPathFor(dataFolder)) {
    const std::string lockPath = dataFolder + "/vantre.lock";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        owner_ = errno != EWOULDBLOCK;
    }
}

TInstanceChannel::~TInstanceChannel() {
    if (server_ != nullptr) {
        server_->close();
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_); // releases the lock
    }
}

std::string TInstanceChannel::Encode(const std::vector<std::string>& paths) {
    std::string message = Header;
    for (const std::string& path : paths) {
        message += TJobListFile::Escape(path);
        message += '\n';
    }
    message += Trailer;
    return message;
}

std::optional<std::vector<std::string>> TInstanceChannel::Decode(const std::string& message) {
    const std::string header = Header;
    if (message.size() > static_cast<std::size_t>(MaxMessageBytes) ||
        message.compare(0, header.size(), header) != 0 || !EndsWith(message, Trailer)) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    std::size_t pos = header.size();
    const std::size_t end = message.size() - std::string(Trailer).size();
    while (pos < end) {
        const std::size_t newline = message.find('\n', pos);
        if (newline == std::string::npos || newline >= end || paths.size() >= MaxPaths) {
            return std::nullopt;
        }
        try {
            std::string path = TJobListFile::Unescape(message.substr(pos, newline - pos));
            if (path.empty() || path.front() != '/' || path.size() > TJobListFile::MaxPathBytes ||
                path.find('\0') != std::string::npos) {
                return std::nullopt;
            }
            paths.push_back(std::move(path));
        } catch (const std::exception&) {
            return std::nullopt;
        }
        pos = newline + 1;
    }
    return paths;
}

bool TInstanceChannel::Listen(std::function<void(std::vector<std::string>)> onFiles,
                              std::string& error) {
    onFiles_ = std::move(onFiles);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = QString::fromStdString(socketPath_);
    // We hold the lock: a socket left at the name is a dead owner's.
    QLocalServer::removeServer(name);
    if (!server_->listen(name)) {
        error = server_->errorString().toStdString();
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &TInstanceChannel::Accept);
    return true;
}

void TInstanceChannel::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        Receive(socket);
    }
}

void TInstanceChannel::Receive(QLocalSocket* socket) {
    auto buffer = std::make_shared<std::string>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A client that never finishes its message is dropped.
    QTimer::singleShot(ReceiveTimeoutMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
        const QByteArray data = socket->readAll();
        buffer->append(data.constData(), static_cast<std::size_t>(data.size()));
        if (buffer->size() > static_cast<std::size_t>(MaxMessageBytes)) {
            socket->abort();
            return;
        }
        if (!EndsWith(*buffer, Trailer)) {
            return;
        }
        auto paths = Decode(*buffer);
        buffer->clear();
        socket->write(paths ? Accepted : Refused);
        socket->flush();
        socket->disconnectFromServer();
        if (paths && onFiles_) {
            onFiles_(std::move(*paths));
        }
    });
}

bool TInstanceChannel::HandOver(const std::vector<std::string>& paths, std::string& error,
                                int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto left = [&] {
        return static_cast<int>(
            std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                          deadline - std::chrono::steady_clock::now())
                                          .count()));
    };
    QLocalSocket socket;
    // The owner may still be starting: it listens once its window is made.
    for (;;) {
        socket.connectToServer(QString::fromStdString(socketPath_));
        if (socket.waitForConnected(std::min(left(), 1000))) {
            break;
        }
        if (left() == 0) {
            error = socket.errorString().toStdString();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string message = Encode(paths);
    socket.write(message.data(), static_cast<qint64>(message.size()));
    std::string answer;
    while (!EndsWith(answer, "\n")) {
        if (!socket.waitForReadyRead(std::max(left(), 1))) {
            error = socket.errorString().toStdString();
            return false;
        }
        const QByteArray data = socket.readAll();
        answer.append(data.constData(), static_cast<std::size_t>(data.size()));
    }
    if (answer != Accepted) {
        error = "the running program refused the files";
        return false;
    }
    return true;
}
