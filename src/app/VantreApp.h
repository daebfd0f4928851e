#pragma once

#include "FFEncoder.h"
#include "FFPlayer.h"
#include "MainWindowModel.h"
#include "ShellServices.h"

#include <memory>
#include <optional>
#include <string>

// What the desktop program is made of, made before its main window and gone after it: the
// media libraries, loaded here once; the settings, catalog and job list (the main window's
// model); the encoder and the preview player; the shell that asks the person and opens
// folders. Windows are handed what they need and own none of it.
class TVantreApp {
public:
    // With a shell, it serves the program for the object's life; without one the shell
    // already installed stays (tests install their own).
    TVantreApp(TUserPlaces places, const std::string& libraryFolder,
               std::unique_ptr<IShellServices> shell = nullptr);
    TVantreApp(const TVantreApp&) = delete;
    TVantreApp& operator=(const TVantreApp&) = delete;

    // "LibAV" beside the program.
    static std::string DefaultLibraryFolder();

    // Why the libraries could not be loaded; empty when they were.
    const std::string& LibraryError() const { return libraryError_; }

    TMainWindowModel& Model() { return model_; }
    TFFEncoder& Encoder() { return encoder_; }
    TFFPlayer& Player() { return player_; }

private:
    std::string libraryError_;
    std::unique_ptr<IShellServices> shell_;
    std::optional<TScopedShell> scopedShell_;
    TMainWindowModel model_;
    // After the model: they go first, while the records they were given still exist.
    TFFEncoder encoder_;
    TFFPlayer player_;
};
