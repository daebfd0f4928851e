#pragma once

// Texts of the batch run, the progress window, snapshots and preferences, kept in one place
// so that the windows and the tests quote the same words.
namespace batchmsg {
inline constexpr const char* NoCheckedRow = "Please select a file by clicking the check box!";

// Row "Progress" cells besides the percentage.
inline constexpr const char* RowFailed = "Failed";
inline constexpr const char* RowStopped = "Stopped";
// A saved row whose source is gone (Start skips it).
inline constexpr const char* RowMissing = "Missing";
// A row whose conversion the end of the program cut off.
inline constexpr const char* RowInterrupted = "Interrupted";
inline constexpr const char* UnknownPercent = "?";

// Progress window figures.
inline constexpr const char* SecondUnit = " Second";
inline constexpr const char* KiloByteUnit = " kb";
inline constexpr const char* UnknownClock = "--:--:--";

// Progress window captions.
inline constexpr const char* ProgressCaption = "Progress";
inline constexpr const char* PauseCaption = "Pause";
inline constexpr const char* ResumeCaption = "Resume";
inline constexpr const char* CancelCaption = "Cancel";
inline constexpr const char* TimeLabel = "Current Time:";
inline constexpr const char* SizeLabel = "File Size:";
inline constexpr const char* LengthLabel = "Length:";
inline constexpr const char* ProgressLabel = "Progress:";
inline constexpr const char* FileLabel = "File:";
inline constexpr const char* RemainingLabel = "Remaining:";
inline constexpr const char* BatchRemainingLabel = "All files:";
inline constexpr const char* ShutDownCheck = "Shut down computer after conversion";
inline constexpr const char* OpenFolderCheck = "Open the output folder after conversion";
inline constexpr const char* SnapshotHint = "Save snapshot picture";
// The window title while a batch runs: the caption and the batch's overall percentage.
inline constexpr const char* TitleWithPercent = "%s - %d%%";
// A line of the progress window's list of running files: name, percentage, time converted.
inline constexpr const char* RunningFileLine = "%s   %s   %s";
inline constexpr const char* RunningFilesName = "Running files";

// Snapshot files, replaced by every snapshot.
inline constexpr const char* SnapshotFullBmp = "Snapshot_full.bmp";
inline constexpr const char* SnapshotSmallBmp = "Snapshot_small.bmp";
inline constexpr const char* SnapshotFullJpg = "Snapshot_full.jpg";
inline constexpr const char* SnapshotSmallJpg = "Snapshot_small.jpg";
inline constexpr const char* SnapshotWriteFailed = "Cannot write the snapshot %s: %s";
inline constexpr const char* JpegFailed = "JPEG encoding failed: %s";

// Preferences.
inline constexpr const char* PreferenceCaption = "Preference";
inline constexpr const char* InvalidDirectory = "The path %s is not a valid directory.";
inline constexpr const char* NoWritePermission =
    "You login as %s .You don't have permission to write to directory:%s";
} // namespace batchmsg
