#include "UnicodeProtocol.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace {

std::atomic<int> gRegistrations{0};

// Converts between encodings; false when the text cannot be represented.
bool Convert(const std::string& text, const char* from, const char* to, std::string& out) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string input = text;
    char* in = input.data();
    size_t inLeft = input.size();
    out.assign(input.size() * 4 + 16, '\0');
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (result == static_cast<size_t>(-1) || inLeft != 0) {
        return false;
    }
    out.resize(out.size() - outLeft);
    return true;
}

} // namespace

bool NeedsUnicodeName(const std::string& name) {
    const auto colon = name.find(':');
    if (colon != std::string::npos) {
        std::string probe(1, ':');
        probe.append(name, 0, colon);
        probe += ':';
        if (std::strstr(KnownProtocols, probe.c_str()) != nullptr) {
            return false; // a URL of a known protocol
        }
    }
    // The name's round trip through the locale's character set.
    const char* codeset = ::nl_langinfo(CODESET);
    std::string narrow;
    std::string back;
    if (!Convert(name, "UTF-8", codeset, narrow) || !Convert(narrow, codeset, "UTF-8", back)) {
        return true;
    }
    return back != name;
}

std::string ToLibraryFileName(const std::string& name) {
    // On this platform file names are the bytes the caller gives; only names the locale cannot
    // represent take the "unicode" form.
    return NeedsUnicodeName(name) ? UnicodePrefix + name : name;
}

bool IsUnicodeName(const std::string& name) {
    return name.size() >= 14 && name.compare(0, 13, UnicodePrefix) == 0;
}

std::string FromLibraryFileName(const std::string& name) {
    if (!IsUnicodeName(name)) {
        return name;
    }
    std::string rest = name;
    for (int i = 0; i < 2; ++i) {
        const auto colon = rest.find(':');
        rest.erase(0, colon + 1);
    }
    return rest;
}

bool RegisterUnicodeProtocol() {
    return gRegistrations.fetch_add(1) == 0;
}

bool UnicodeProtocolRegistered() {
    return gRegistrations.load() > 0;
}
