#include "AppException.h"

#include "FFmpegException.h"
#include "ShellServices.h"

std::string AppExceptionText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

void ShowAppException(const std::exception& error, const std::string& title) {
    const bool engine = dynamic_cast<const FFmpegException*>(&error) != nullptr;
    Shell().MessageBox(AppExceptionText(error.what()), title,
                       engine ? TMsgIcon::Warning : TMsgIcon::Error, TMsgButtons::Ok);
}
