#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

// One program owns the job list of a data folder: the first one to take the lock file there.
// The owner listens on a local socket; a later start hands its files over that socket and
// ends, so the saved list is never written by two processes. The files travel as the bytes
// the system gave.
class TInstanceChannel final : public QObject {
    Q_OBJECT
public:
    // The largest hand-over taken: far beyond any list of paths, refused beyond.
    static constexpr qint64 MaxMessageBytes = 16 << 20;

    explicit TInstanceChannel(const std::string& dataFolder, QObject* parent = nullptr);
    ~TInstanceChannel() override;
    TInstanceChannel(const TInstanceChannel&) = delete;
    TInstanceChannel& operator=(const TInstanceChannel&) = delete;

    // True when this process holds the lock (or the lock file cannot be made at all).
    bool Owner() const { return owner_; }
    const std::string& SocketPath() const { return socketPath_; }

    // Owner: listens for other starts; onFiles gets every hand-over, on the window thread.
    bool Listen(std::function<void(std::vector<std::string>)> onFiles, std::string& error);
    // Not the owner: hands the paths to the owner and waits for its answer (a plain blocking
    // wait: this process has no window). False with the reason when the owner cannot be
    // reached.
    bool HandOver(const std::vector<std::string>& paths, std::string& error, int timeoutMs = 10000);

    static std::string Encode(const std::vector<std::string>& paths);
    // Nothing when the message is not a whole, sound hand-over.
    static std::optional<std::vector<std::string>> Decode(const std::string& message);

private:
    void Accept();
    void Receive(QLocalSocket* socket);

    std::string socketPath_;
    int lockFd_ = -1;
    bool owner_ = true;
    QLocalServer* server_ = nullptr;
    std::function<void(std::vector<std::string>)> onFiles_;
};
