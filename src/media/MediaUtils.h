#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecParameters;
struct AVDictionary;
struct AVFilterContext;
struct AVFilterGraph;

// The libraries' missing-timestamp value: time values of the media layer use it for "not set".
inline constexpr std::int64_t NoTimestamp = INT64_MIN;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

bool SameText(const std::string& a, const std::string& b);
std::string LowerCase(std::string text);
std::string UpperCase(std::string text);
std::string Trim(const std::string& text);

// Whole-text decimal conversions; malformed text raises FFmpegException with the platform's
// conversion message.
int StrToInt(const std::string& text);
std::int64_t StrToInt64(const std::string& text);
double StrToFloat(const std::string& text);
// Whole-text conversions that report failure instead of raising.
bool TryStrToInt(const std::string& text, int& value);
bool TryStrToFloat(const std::string& text, double& value);

// "%.2d:%.2d:%.2d.%.3d" (hours not wrapped), "N/A" for NoTimestamp.
std::string FormatDuration(std::int64_t microseconds);
// Seconds with one decimal, without a trailing ".0": "3", "2.5", "100".
std::string FormatSeconds(std::int64_t microseconds);
std::string FormatSize(std::int64_t bytes);
// Error codes of the media layer's own, in the form of the libraries' codes (negative tags).
constexpr int MediaErrorTag(char a, char b, char c, char d) {
    return -static_cast<int>(static_cast<unsigned>(a) | static_cast<unsigned>(b) << 8 |
                             static_cast<unsigned>(c) << 16 | static_cast<unsigned>(d) << 24);
}
// Inputs that are not regular files.
inline constexpr int ErrorNamedPipe = MediaErrorTag('V', 'F', 'I', 'F');
inline constexpr int ErrorSocketFile = MediaErrorTag('V', 'S', 'O', 'K');
inline constexpr int ErrorDirectory = MediaErrorTag('V', 'D', 'I', 'R');
inline constexpr int ErrorCharacterDevice = MediaErrorTag('V', 'C', 'H', 'R');

// prefix + ": " + the message for an error code of the libraries.
std::string ErrorText(const std::string& prefix, int code);
std::string ErrorMessage(int code);
// Name (and long name) of the codec a stream carries, for reports and the probe.
std::string CodecDescription(const AVCodecParameters* parameters, bool encoder);
std::string CodecDescription(int codecId, unsigned int codecTag, bool encoder);
std::string CodecTypeName(int mediaType);
// Makes a filter of the graph; on failure errorText says which filter and why.
int AddGraphFilter(AVFilterGraph* graph, const char* filterName, const char* instance,
                   const std::string& args, AVFilterContext** made, std::string& errorText);
// Parses a filter chain into the graph, from the source's output to the sink's input;
// returns 0 or the library's error code.
int ParseFilterChain(AVFilterGraph* graph, const std::string& chain, AVFilterContext* source,
                     AVFilterContext* sink);
std::string MetadataValue(const AVDictionary* metadata, const std::string& key,
                          const std::string& defaultValue);

// Calendar date-times count days since 1899-12-30 in local time.
double UnixToLocalDateTime(std::int64_t seconds);
std::int64_t LocalDateTimeToUnix(double dateTime);
double NowLocalDateTime();
// "yyyy-mm-dd hh:nn:ss" is the form used.
std::string FormatDateTime(const std::string& format, double dateTime);
// Minutes to add to local time to get UTC at the given moment.
int TimeZoneBiasMinutes(std::int64_t unixSeconds);

// The part before the first delimiter; with remove, text keeps what follows it.
std::string SplitFirst(std::string& text, char delimiter, bool remove);
std::vector<std::string> SplitText(const std::string& text, char delimiter);

bool FileExists(const std::string& path);
// Size of an existing file, -1 when missing or unreadable.
std::int64_t FileSizeOf(const std::string& path);
// The whole file plus a terminating zero: 0, -1 (cannot open) or -12 (no memory).
int ReadWholeFile(const std::string& path, std::vector<char>& buffer);
