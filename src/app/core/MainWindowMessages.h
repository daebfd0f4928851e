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
// Commands whose windows are not there yet.
} // namespace mainmsg
