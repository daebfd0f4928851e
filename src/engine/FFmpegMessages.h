#pragma once

#include <cinttypes>

// Message texts of the transcoding engine, in one place so that tests can quote them.
namespace enginemsg {
inline constexpr const char* NoOutputFile = "At least one output file must be specified";
inline constexpr const char* NoInputFile = "At least one input file must be specified";
} // namespace enginemsg

namespace enginemsg {
inline constexpr const char* UnknownCodec = "Unknown %s '%s'";
inline constexpr const char* InvalidCodecType = "Invalid %s type '%s'";
inline constexpr const char* ExperimentalCodec =
    "%s '%s' is experimental and might produce bad results.\r\nAdd '-strict experimental' if you "
    "want to use it.";
inline constexpr const char* NonExperimentalCodec = "Or use the non experimental %s '%s'.";
inline constexpr const char* EncoderAlias = "Encoder %s is not available, using %s";
} // namespace enginemsg

namespace enginemsg {
inline constexpr const char* DoNothing = "Do nothing: option - ";
inline constexpr const char* TodoOption = "TODO: option - ";
inline constexpr const char* UseVfiltersPad = "Please use vfilters=pad";
inline constexpr const char* PgmyuvDeprecated = "pgmyuv format is deprecated, use image2";
inline constexpr const char* TimelimitNotImplemented =
    "Warning: -timelimit not implemented on Windows";
inline constexpr const char* InvalidTimeSpec = "Invalid %s specification for %s: %s";
inline constexpr const char* TooManyStreamMaps = "Too many stream maps (at most %d)";
inline constexpr const char* TooManyMetaDataMaps = "Too many meta-data maps (at most %d)";
inline constexpr const char* StreamIndexOverMax = "stream index over MAX_STREAMS(%d)";
inline constexpr const char* MissingEquals = "Missing =";
inline constexpr const char* StreamIdSyntax =
    "Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"";
inline constexpr const char* BitrateTooLow =
    "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
inline constexpr const char* IncorrectFrameRate = "Incorrect frame rate";
inline constexpr const char* IncorrectFrameSize = "Incorrect frame size";
inline constexpr const char* IncorrectAspect = "Incorrect aspect ratio specification.";
inline constexpr const char* UnknownPixelFormat = "Unknown pixel format requested: %s";
inline constexpr const char* VerticalCrop =
    "Vertical crop dimensions are outside the range of the original image.\nRemember to crop "
    "first and scale second.";
inline constexpr const char* HorizontalCrop =
    "Horizontal crop dimensions are outside the range of the original image.\nRemember to crop "
    "first and scale second.";
inline constexpr const char* CropDeprecated = "CropXXX is deprecated in favor of the crop avfilter";
inline constexpr const char* QscaleRange = "qscale must be > 0.0 and <= 255";
inline constexpr const char* PassNumber = "pass number can be only 1 or 2";
inline constexpr const char* VideoTagLength = "video tag parameter must be 4 chars";
inline constexpr const char* AudioTagLength = "audio tag parameter must be 4 chars";
inline constexpr const char* SubtitleTagLength = "subtitle tag parameter must be 4 chars";
inline constexpr const char* MatrixSyntax = "Syntax error in matrix \"%s\" at coeff %d";
inline constexpr const char* UnknownBitstreamFilter = "Unknown bitstream filter %s";
inline constexpr const char* VhookAddFailed = "Failed to add video hook function: ";
} // namespace enginemsg

// Input files.
namespace enginemsg {
inline constexpr const char* UnknownInputFormat = "Unknown input format: \"%s\"";
inline constexpr const char* AllocContextFailed = "avformat_alloc_context failed";
inline constexpr const char* ProgramIdNotFound = "Specified program id not found";
inline constexpr const char* NoCodecParameters = "%s: could not find codec parameters";
inline constexpr const char* CouldNotSeek = "%s: could not seek to position %0.3f";
inline constexpr const char* InvalidCodecTypeValue = "invalid codec_type";
inline constexpr const char* FrameRateDiffers =
    "Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f "
    "(%d/%d)";
inline constexpr const char* TooManyInputFiles = "max input files %d reached";
} // namespace enginemsg

// Output files and streams.
namespace enginemsg {
inline constexpr const char* CannotJoinMore = "Cannot join more than one output file.";
inline constexpr const char* UnsuitableOutputFormat =
    "Requested output format '%s' is not a suitable output format";
inline constexpr const char* NoSuitableOutputFormat =
    "Unable to find a suitable output format for '%s'";
inline constexpr const char* InvalidInputCodecType = "invalid codec_type of input file";
inline constexpr const char* CheckInputsFail = "check_audio_video_sub_inputs fail: %s";
inline constexpr const char* NewVideoStreamFail = "new_video_stream fail: %s";
inline constexpr const char* NewAudioStreamFail = "new_audio_stream fail: %s";
inline constexpr const char* NewSubtitleStreamFail = "new_subtitle_stream fail: %s";
inline constexpr const char* NumberSyntaxExpected = "%s: Number syntax expected in filename";
inline constexpr const char* CouldNotAllocStream = "Could not alloc stream";
inline constexpr const char* ErrorParsingRcOverride = "error parsing rc_override";
inline constexpr const char* SampleRateUnsupported =
    "Requested sampling rate unsupported using closest supported (%d)";
inline constexpr const char* OutputIsInput =
    "%s: the output file is input file #%d; choose another output name (nothing was written)";
inline constexpr const char* TooManyOutputFiles = "max output files %d reached";
} // namespace enginemsg

// Conversion set-up.
namespace enginemsg {
inline constexpr const char* AvMalloczFail = "av_mallocz fail";
inline constexpr const char* OutputHasNoStream = "Output file #%d does not contain any stream";
inline constexpr const char* MapCountMismatch =
    "Number of stream maps must match number of output streams";
inline constexpr const char* NoInputStream = "Could not find input stream #%d.%d";
inline constexpr const char* NoSyncStream = "Could not find sync stream #%d.%d";
inline constexpr const char* CodecTypeMismatch =
    "Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)";
inline constexpr const char* NoMatchingInputStream =
    "Could not find input stream matching output stream #%d.%d (%s)";
inline constexpr const char* EncoderNotFound =
    "Encoder (codec id %d) not found for output stream #%d.%d (%s)";
inline constexpr const char* EncoderOpenError =
    "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters "
    "such as bit_rate, rate, width or height. Please check error log message to find out more "
    "detail information.";
inline constexpr const char* DecoderNotFound =
    "Decoder (codec id %d) not found for input stream #%d.%d (%s)";
inline constexpr const char* DecoderOpenError =
    "Error while opening decoder for input stream #%d.%d (%s)";
inline constexpr const char* InvalidMetaOutput =
    "Invalid output file index %d map_meta_data(%d,%d)";
inline constexpr const char* InvalidMetaInput = "Invalid input file index %d map_meta_data(%d,%d)";
inline constexpr const char* AvReallocFail = "av_realloc fail";
inline constexpr const char* CouldNotWriteHeader =
    "Could not write header for output file #%d (incorrect codec parameters ?)";
inline constexpr const char* SdpText = "SDP:\r\n%s";
inline constexpr const char* ExtradataTooLarge = "icodec.extradata_size is invalid (too large)";
inline constexpr const char* CopyAndCustomHook =
    "-vcodec copy and CustomHook are incompatible (frames are not decoded)";
inline constexpr const char* CopyAndVhook =
    "-vcodec copy and -vhook are incompatible (frames are not decoded)";
inline constexpr const char* CopyAndPostHooks =
    "-vcodec copy and PostHooks are incompatible (frames are not decoded)";
inline constexpr const char* CopyAndVolume =
    "-acodec copy and -vol are incompatible (frames are not decoded)";
inline constexpr const char* InvalidOutputCodecType = "invalid codec_type of output stream";
inline constexpr const char* DamagedStreamHeader =
    "Input stream #%d.%d (%s) has a damaged codec header; it cannot be copied";
inline constexpr const char* StartBeyondEnd =
    "trim start %s s is beyond the end of the source (%s s)";
inline constexpr const char* PixelFormatUnknown =
    "Video pixel format is unknown, stream cannot be encoded";
inline constexpr const char* PictureSizeUnknown =
    "Input stream #%d.%d does not tell its picture size (is it damaged?); it cannot be converted";
inline constexpr const char* SizeMadeEven =
    "Frame size %dx%d does not suit pixel format %s: using %dx%d";
inline constexpr const char* CropMadeEven = "Crop band %d does not suit pixel format %s: using %d";
inline constexpr const char* FifoAllocFail = "av_fifo_alloc fail";
inline constexpr const char* TempPictureFail = "Cannot allocate temp picture, check pix fmt";
inline constexpr const char* ResamplingContextFail = "Cannot get resampling context";
inline constexpr const char* ErrorOpeningFiltersText = "Error opening filters: ";
inline constexpr const char* ErrorOpeningFilters = "Error opening filters!";
inline constexpr const char* CannotWriteLogFile = "Cannot write log file %s for pass-1 encoding";
inline constexpr const char* CannotAllocateLogBuffer =
    "Could not allocate file buffer: Error reading log file \"%s\" for pass-2 encoding";
inline constexpr const char* CannotReadLogFile =
    "Cannot read file: Error reading log file \"%s\" for pass-2 encoding";
inline constexpr const char* DefaultPassLogPrefix = "ffmpeg2pass";
inline constexpr const char* StreamMapping = "Stream mapping:";
inline constexpr const char* StreamMappingLine = "  Stream #%d.%d -> #%d.%d (%s)";
inline constexpr const char* StreamMappingSync = " [sync #%d.%d (%s)]";
} // namespace enginemsg

// The conversion loop, packets and status.
namespace enginemsg {
inline constexpr const char* TimestampDiscontinuity =
    "timestamp discontinuity %" PRId64 ", new offset= %" PRId64;
inline constexpr const char* ErrorWhileDecoding = "Error while decoding stream #%d.%d (%s)";
inline constexpr const char* SubtitleNeedsPts = "Subtitle packets must have a pts";
inline constexpr const char* SubtitleEncodingFailed = "Subtitle encoding failed";
inline constexpr const char* AudioEncodingFailed = "Audio encoding failed";
inline constexpr const char* VideoEncodingFailed = "Video encoding failed";
inline constexpr const char* BitstreamFilterFailed = "%s failed for stream %d, codec %s";
inline constexpr const char* WriteFrameFailed = "av_interleaved_write_frame()";
inline constexpr const char* WriteTrailerFailed = "av_write_trailer()";
inline constexpr const char* NoFramesWritten = "%s: no frames were written";
inline constexpr const char* StatusFrame = "frame=%5d fps=%3d q=%3.1f ";
inline constexpr const char* StatusLater = "q=%2.1f ";
inline constexpr const char* StatusSize = "size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s";
inline constexpr const char* StatusDupDrop = " dup=%d drop=%d";
inline constexpr const char* StatusSummary =
    "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n";
} // namespace enginemsg

// Video and audio output paths.
namespace enginemsg {
inline constexpr const char* HookBufMallocError = "hook buf malloc error.";
inline constexpr const char* DeinterlacingFailed = "Deinterlacing failed.";
inline constexpr const char* ToRGBContextFail = "Cannot initialize the toRGB conversion context";
inline constexpr const char* FromRGBContextFail =
    "Cannot initialize the fromRGB conversion context";
inline constexpr const char* CustomHookError = "Error occurs OnCustomHook: ";
inline constexpr const char* ErrorCroppingPicture = "error cropping picture";
inline constexpr const char* PictureUndescribed =
    "A decoded picture without size or format is skipped";
inline constexpr const char* FrameSizeChanged =
    "Input Stream #%d.%d frame size changed to %dx%d, %s";
inline constexpr const char* FopenFail = "fopen fail: ";
inline constexpr const char* Drop = "*** drop!";
inline constexpr const char* Dup = "*** %d dup!";
inline constexpr const char* CannotResample =
    "Can not resample %d channels @ %d Hz to %d channels @ %d Hz";
inline constexpr const char* DiscardingSamples = "discarding %d audio samples";
inline constexpr const char* AddingSilence = "adding %d audio samples of silence";
inline constexpr const char* CompensatingDrift =
    "compensating audio timestamp drift:%f compensation:%d in:%d";
inline constexpr const char* OutOfMemoryAudio = "Out of memory in do_audio_out";
inline constexpr const char* ConvertFailed = "av_audio_convert() failed";
} // namespace enginemsg

namespace enginemsg {
inline constexpr const char* PresetNotFound = "Preset \"%s\" not found";
inline constexpr const char* PresetSyntax = "%s: Invalid syntax: \"%s\"";
inline constexpr const char* PresetInvalidOption =
    "%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"";
inline constexpr const char* FrameRateInvalid = "frame_rate is invalid.";
inline constexpr const char* AssumingNorm = "Assuming %s for target.";
inline constexpr const char* UnknownTargetType = "Unknown target type";
inline constexpr const char* AssumingAspect43 = "Assuming 4:3 for aspect ratio";
inline constexpr const char* AssumingAspect169 = "Assuming 16:9 for aspect ratio";
inline constexpr const char* LegacyOptionIgnored =
    "Option %s=%s has no equivalent in these libraries (it applied to %s) and is ignored";
inline constexpr const char* LegacyOptionTranslated = "Option %s=%s is passed on as %s=%s";
// Frame-hook plug-ins: written to the library log.
inline constexpr const char* HookNoProcess = "Failed to find Process entrypoint in %s\n";
inline constexpr const char* HookNoConfigure = "Failed to find Configure entrypoint in %s\n";
inline constexpr const char* HookConfigureFailed = "Failed to Configure %s\n";
} // namespace enginemsg

namespace enginemsg {
// Encoders that take pictures in device memory.
inline constexpr const char* HardwareDeviceFailed = "Cannot open the VAAPI device %s";
inline constexpr const char* HardwarePoolFailed = "Cannot make device pictures of %dx%d";
inline constexpr const char* HardwareUploadFailed = "Cannot copy a picture to the device";
inline constexpr const char* HardwareEncoderMissing = "The library has no encoder %s";
inline constexpr const char* HardwareEncoderOpenFailed = "The encoder %s does not open";
inline constexpr const char* HardwareTrialFailed = "The encoder %s wrote nothing from %d pictures";
} // namespace enginemsg
