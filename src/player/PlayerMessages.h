#pragma once

// Message texts of the player, kept in one place so that tests can quote them.
namespace playermsg {
inline constexpr const char* Version = "2.3";
inline constexpr const char* LibrariesNotLoaded = "libav or libsdl not loaded.";
inline constexpr const char* CouldNotInitSDL = "Could not initialize SDL with ScreenHandle(%u): %s";
inline constexpr const char* GetVideoInfoFailed = "SDL_GetVideoInfo() failed";
inline constexpr const char* MallocFailed = "av_mallocz() failed.";
inline constexpr const char* CreateThreadFailed = "SDL_CreateThread() failed.";
inline constexpr const char* NoCodecParameters = "%s: could not find codec parameters";
inline constexpr const char* NoStreamToPlay = "%s: could not open codecs, no stream to play.";
inline constexpr const char* CodecOpenFailed = "avcodec_open() failed.";
inline constexpr const char* OpenAudioFailed = "SDL_OpenAudio() failed: ";
inline constexpr const char* SetVideoModeFailed = "SDL: could not set video mode.";
inline constexpr const char* SeekFailed = "%s: error while seeking";
inline constexpr const char* ReadError = "error #%d while reading file: %s";
inline constexpr const char* EndOfFile = "reach end of file: %s";
inline constexpr const char* PlayThreadException = "PlayThread Exception: ";
inline constexpr const char* HookError = "Error occurs OnHook: ";
inline constexpr const char* DecodeAudioFailed = "avcodec_decode_audio2() failed";
inline constexpr const char* CannotConvertSampleFormat =
    "Cannot convert %s sample format to %s sample format";
inline constexpr const char* AudioConvertFailed = "av_audio_convert() failed";
inline constexpr const char* ToRGBFailed = "Cannot initialize the toRGB conversion context";
inline constexpr const char* FromRGBFailed = "Cannot initialize the fromRGB conversion context";
inline constexpr const char* UsingAudioDriver = "using audio driver: %s";
inline constexpr const char* UnknownError = "unknown error";
} // namespace playermsg
