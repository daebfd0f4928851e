#include "VantreApp.h"

#include "GlobalObject.h"

TVantreApp::TVantreApp(TUserPlaces places, const std::string& libraryFolder,
                       std::unique_ptr<IShellServices> shell)
    : shell_(std::move(shell)), model_(std::move(places)) {
    if (shell_) {
        scopedShell_.emplace(*shell_);
    }
    // The player's set includes the sound library; without it conversions still work, so the
    // encoder's set is tried alone. The first failure is the one reported.
    if (!player_.LoadLibraries(libraryFolder)) {
        libraryError_ = player_.LastErrorText();
        encoder_.LoadLibraries(libraryFolder);
    }
}

std::string TVantreApp::DefaultLibraryFolder() {
    return TGlobalObject::ProgramFolder() + "/LibAV";
}
