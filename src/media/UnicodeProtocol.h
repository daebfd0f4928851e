#pragma once

#include <string>

struct AVFormatContext;
struct AVInputFormat;
struct AVDictionary;

// File names are handed to the libraries as bytes; a name the current locale cannot represent
// goes as "unicode:utf8:" + the name and is opened by our own I/O callbacks, which every
// opener of the media layer (probe, engine, player) installs through TMediaFile.
inline constexpr const char* UnicodePrefix = "unicode:utf8:";
inline constexpr const char* KnownProtocols = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";

bool NeedsUnicodeName(const std::string& name);
std::string ToLibraryFileName(const std::string& name);
bool IsUnicodeName(const std::string& name);
std::string FromLibraryFileName(const std::string& name);

// Makes the "unicode" opener available; called each time libavformat is bound. Returns true
// only for the first registration of the process.
bool RegisterUnicodeProtocol();
bool UnicodeProtocolRegistered();
