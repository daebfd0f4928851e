#pragma once

#include "FFPlayer.h"
#include "PreviewSession.h"

#include <cstdint>
#include <functional>
#include <string>

class IPictureSink;
class TWaterMarkModel;

// The watermark editor's preview: a preview session of its own player that plays the job's
// file into the editor's picture panel through the model's preview hook, and turns the
// session's events into the model's. Runs on the window thread; only the hook runs on the
// player's decoding thread, and it hands its pictures over through the model's preview hook.
class TWaterMarkPlayback {
public:
    struct TEvents {
        std::function<void()> FileOpened; // the model has rebuilt its list
        std::function<void(std::int64_t pts)> Position;
        std::function<void()> Ended; // rewound to the start and paused
        // On the decoding thread: a preview picture waits for TWaterMarkModel::TakePreview.
        std::function<void()> PictureWaiting;
    };

    // The player draws at the size of the editor's panel.
    static constexpr int SurfaceWidth = 440;
    static constexpr int SurfaceHeight = 330;

    TWaterMarkPlayback(TWaterMarkModel& model, TEvents events);
    ~TWaterMarkPlayback();
    TWaterMarkPlayback(const TWaterMarkPlayback&) = delete;
    TWaterMarkPlayback& operator=(const TWaterMarkPlayback&) = delete;

    // The duration of the file's first video stream in microseconds (the file's when the
    // stream gives none), a first estimate until the player reports the file open; -1 when
    // unknown. Needs the libraries.
    static std::int64_t EstimateDuration(const std::string& file);

    // The program loads the player's libraries at start; without them nothing plays.
    bool LibrariesLoaded() const { return player_.LibrariesLoaded(); }
    // Plays file into sink; the file-open event has rebuilt the model's list when it returns.
    // False when the file cannot be opened (LastErrorText says why).
    bool Open(const std::string& file, IPictureSink* sink);
    bool IsOpen() const { return session_.IsOpen(); }
    void Play();
    void Pause();
    bool Paused() const;
    void Seek(std::int64_t position);
    // The hook off, playing resumed when paused, the player stopped and waited for.
    void Close();
    std::string LastErrorText() const { return session_.LastErrorText(); }
    TFFPlayer& Player() { return player_; }
    TPreviewSession& Session() { return session_; }

private:
    TPreviewSession::TEvents SessionEvents();
    void FileOpened(std::int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                    int& screenHeight);

    TWaterMarkModel& model_;
    TEvents events_;
    TFFPlayer player_;
    TPreviewSession session_; // after the player it drives
};
