#pragma once

// Fixtures of hostile input, made from generated files by the tests themselves: every damage
// is reproducible (fixed seeds, fixed offsets).

#include <cstdint>
#include <string>

namespace testing_support {

// Copies source to target, flipping one bit in each of count bytes picked by a generator with
// the given seed.
void FlipBytes(const std::string& source, const std::string& target, std::uint32_t seed, int count);
// count bytes from a generator with the given seed (an "AVI" that is noise throughout).
void RandomBytes(const std::string& target, std::uint32_t seed, std::size_t count);
// The first bytes of source.
void TruncatedCopy(const std::string& source, const std::string& target, std::size_t bytes);
// Where marker first occurs in the file; fails the test when it does not.
std::size_t MarkerOffset(const std::string& path, const std::string& marker);
// Copies source to target with length bytes inverted, starting offset bytes after the first
// occurrence of marker (a box or chunk name); fails the test when the marker is missing.
void InvertAfter(const std::string& source, const std::string& target, const std::string& marker,
                 std::size_t offset, std::size_t length);
// A 16-bit PCM WAV of silence with any channel count (the ffmpeg tool writes at most a few).
void WriteSilentWav(const std::string& path, int channels, int sampleRate, int samples);
// An MD5 of the file's content, to show that a source was left alone (a fixed text for
// anything but a regular file).
std::string FileChecksum(const std::string& path);

} // namespace testing_support
