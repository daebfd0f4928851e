#pragma once

#include "Bitmap24.h"
#include "FFPlayer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class IPictureSink;

// One preview of a media file, as every preview window drives it: opens the file into a
// picture sink, plays, pauses, seeks by time or by a position slider, reports the position and,
// at the end, rewinds to the start and pauses. On request it hands a copy of the latest decoded
// picture to the window thread. Runs on the window thread: the player's events arrive there;
// only Hook runs on the player's decoding thread. The player must outlive the session.
class TPreviewSession {
public:
    struct TEvents {
        // The file is open; the handler may set the surface size the player draws at.
        std::function<void(std::int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                           int& screenHeight)>
            FileOpened;
        std::function<void(std::int64_t pts)> Position;
        // Played to the end: already rewound to the start and paused.
        std::function<void()> Ended;
        // On the decoding thread, every picture before it is shown; may draw on it. Quick,
        // and touching nothing of the window.
        std::function<void(TBitmap24& picture, std::int64_t pts)> Hook;
        // On the window thread, a copy of the latest picture decoded; one not yet handed over
        // is replaced by a newer one, and none comes once the session is closed.
        std::function<void(const TBitmap24& picture, std::int64_t pts)> Picture;
    };

    TPreviewSession(TFFPlayer& player, TEvents events);
    ~TPreviewSession();
    TPreviewSession(const TPreviewSession&) = delete;
    TPreviewSession& operator=(const TPreviewSession&) = delete;

    // The program loads the player's libraries at start; without them nothing opens.
    bool LibrariesLoaded() const;
    // Closes what is open and plays file into sink (paused at its first picture with
    // startPaused). False when it cannot be opened (LastErrorText says why).
    bool Open(const std::string& file, IPictureSink* sink, bool startPaused = false);
    bool IsOpen() const { return open_; }
    // Played to the end and neither played nor opened since.
    bool Ended() const { return ended_; }
    // As last asked for (or as the end left it); true when nothing is open.
    bool Paused() const { return paused_; }
    void Play();
    void Pause();
    // Nothing happens when no file is open or it has ended.
    void Seek(std::int64_t time, TSeekFlag kind = SeekToKeyPicture);
    void SeekToSlider(int position, int maximum);
    // Stops the player and waits for its threads; the player's notices still pending arrive
    // within, no picture is handed over afterwards.
    void Close();

    // The open file's duration in microseconds (0 until known) and the last position reported.
    std::int64_t Duration() const { return duration_; }
    std::int64_t Position() const { return player_.Position(); }
    // The slider mapping over the open file's duration.
    std::int64_t TimeAt(int position, int maximum) const;
    int SliderPosition(std::int64_t time, int maximum) const;

    std::string LastErrorText() const { return player_.LastErrorText(); }
    TFFPlayer& Player() { return player_; }
    const TFFPlayer& Player() const { return player_; }

private:
    struct TMailbox;

    void FileOpened(std::int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                    int& screenHeight);
    void StateChanged(TPlayState state);
    void Hooked(TBitmap24& picture, std::int64_t pts);
    void HandOver();
    bool Hooking() const;

    TFFPlayer& player_;
    TEvents events_;
    // Shared with the calls posted to the window thread, which find it gone after the session.
    std::shared_ptr<TMailbox> mailbox_;
    std::int64_t duration_ = 0;
    bool open_ = false;
    bool ended_ = false;
    bool paused_ = true;
};
