#pragma once

#include <functional>
#include <string>
#include <vector>

class TSettings;
class TOutputNameReservations;

// Shows a message with an OK button: text, caption.
using TShowWarning = std::function<void(const std::string& text, const std::string& caption)>;

// The output path for a source: the output folder ("OutPutDir") + the source's base name +
// "_(new)" + suffix, or "_(new_1)", "_(new_2)", ... when that file exists or the name is
// reserved. The suffix brings its own dot ("_ipod.mp4" when a file is added, ".mp4" at Start).
// An output folder that cannot be created is reported through warn and replaced, for this
// name and the stored setting, by the default folder. With reservations the returned name is
// reserved (in memory only: TOutputReservation creates the file).
std::string OutputName(const std::string& source, const std::string& suffix, TSettings& settings,
                       const TShowWarning& warn, TOutputNameReservations* reservations);
// The same rule in a given folder (created when missing; empty when it cannot be made).
std::string OutputNameIn(const std::string& folder, const std::string& source,
                         const std::string& suffix, TOutputNameReservations* reservations);
// The stored output folder, made when missing; when it cannot be made, the default folder
// after a warning (and stored).
std::string UsableOutputFolder(TSettings& settings, const TShowWarning& warn);

// Candidate n of the rule (0: "_(new)", n: "_(new_n)") in folder. The source part is cut, on
// a character boundary, so that the longest name made for the output (its unfinished name)
// fits the folder's file system.
std::string OutputNameCandidate(const std::string& folder, const std::string& source,
                                const std::string& suffix, int n);

// What this process appends to an output's name for the file it writes until the output is
// complete: ".unfinished-" + host name + "-" + process id. The host and the process id let a
// later run on the same host tell whether the writer is gone.
std::string UnfinishedTail();
std::string UnfinishedName(const std::string& finalName);

// The first free name of the rule in folder (the folder is neither made nor checked),
// reserved in reservations when given.
std::string FreeName(const std::string& folder, const std::string& source,
                     const std::string& suffix, TOutputNameReservations* reservations);
// The names a batch in folder would give the sources, in their order, by the same rule as
// OutputNameIn, without touching anything: no folder is made, nothing is reserved beyond
// the given set (which gets the predicted names), nothing is shown.
std::string PredictOutputName(const std::string& folder, const std::string& source,
                              const std::string& suffix, TOutputNameReservations& predicted);
// The folder a batch would write into: the stored output folder when it exists or could be
// made, else the default folder that replaces it. Makes nothing.
std::string PredictOutputFolder(const TSettings& settings);
