#pragma once

#include <stdexcept>
#include <string>

// Invalid options and configuration errors of the media layer; carries a message only.
class FFmpegException : public std::runtime_error {
public:
    explicit FFmpegException(const std::string& message) : std::runtime_error(message) {}
};

// A programming error inside the media layer (the old "Assertion failure" of the units).
class FFmpegAssertion : public std::logic_error {
public:
    explicit FFmpegAssertion(const std::string& where)
        : std::logic_error("Assertion failure (" + where + ")") {}
};
