#pragma once

// Texts of the main window's commands, kept in one place so that tests can quote them.
namespace mainmsg {
inline constexpr const char* StartUpTitle = "Vantre Video Converter";
inline constexpr const char* StartUpVersion = " ver 1.60 ";
// Product addresses (configuration of this build).
inline constexpr const char* WebLink = "https://vantre.example.org/";
inline constexpr const char* HelpLink = "https://vantre.example.org/help/";
inline constexpr const char* SupportLink = "https://vantre.example.org/support/";

inline constexpr const char* ExitQuestion = "Do you really want to exit?";
// The tool bar's button for the commands a narrow window has no room for.
inline constexpr const char* MoreCommands = "More commands";
// The job list's pop-up menu.
inline constexpr const char* JobMenu = "Files";
// "The path " + path + " is not a valid directory."
inline constexpr const char* InvalidFolderBefore = "The path ";
inline constexpr const char* InvalidFolderAfter = " is not a valid directory.";
// "You login as " + user + " .You don't have permission to write to directory:" + path
inline constexpr const char* NoPermissionBefore = "You login as ";
inline constexpr const char* NoPermissionAfter =
    " .You don't have permission to write to directory:";
// The saved job list was refused at start: the reason, then where it was kept.
inline constexpr const char* JobListRejected =
    "The saved job list could not be read (%s). It was kept as %s; the list starts empty.";
inline constexpr const char* JobListRejectedNotKept =
    "The saved job list could not be read (%s); the list starts empty.";
// A second start of the program could not reach the first one, or the first cannot listen.
inline constexpr const char* HandOverFailed =
    "vantre is already running, but the files could not be handed over to it: %s";
inline constexpr const char* ListenFailed =
    "vantre: other starts of the program cannot hand files over: %s";
} // namespace mainmsg
