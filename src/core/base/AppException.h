#pragma once

#include <exception>
#include <string>

// The text an exception that reached the event loop is shown with: its message, with a full
// stop added when the last character sorts after ".".
std::string AppExceptionText(const std::string& message);
// Shows an exception with the application title as caption: the warning icon for the media
// layer's configuration errors, the error icon for any other.
void ShowAppException(const std::exception& error, const std::string& title);
