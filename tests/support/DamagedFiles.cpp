#include "DamagedFiles.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace testing_support {

namespace {

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

void PutLE(std::vector<char>& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

} // namespace

void FlipBytes(const std::string& source, const std::string& target, std::uint32_t seed,
               int count) {
    std::vector<char> bytes = ReadBytes(source);
    ASSERT_FALSE(bytes.empty()) << source;
    // The raw generator output, so that the damage is the same with every standard library.
    std::mt19937 random(seed);
    for (int i = 0; i < count; ++i) {
        const std::size_t at = random() % bytes.size();
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
    }
    WriteBytes(target, bytes);
}

void RandomBytes(const std::string& target, std::uint32_t seed, std::size_t count) {
    std::mt19937 random(seed);
    std::vector<char> bytes(count);
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xff);
    }
    WriteBytes(target, bytes);
}

void TruncatedCopy(const std::string& source, const std::string& target, std::size_t bytes) {
    std::vector<char> content = ReadBytes(source);
    ASSERT_GT(content.size(), bytes) << source;
    content.resize(bytes);
    WriteBytes(target, content);
}

std::size_t MarkerOffset(const std::string& path, const std::string& marker) {
    const std::vector<char> bytes = ReadBytes(path);
    const auto found = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    EXPECT_NE(found, bytes.end()) << marker << " not in " << path;
    return static_cast<std::size_t>(found - bytes.begin());
}

void InvertAfter(const std::string& source, const std::string& target, const std::string& marker,
                 std::size_t offset, std::size_t length) {
    std::vector<char> bytes = ReadBytes(source);
    const auto found = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    ASSERT_NE(found, bytes.end()) << marker << " not in " << source;
    const std::size_t start = static_cast<std::size_t>(found - bytes.begin()) + offset;
    ASSERT_LE(start + length, bytes.size()) << source;
    for (std::size_t i = start; i < start + length; ++i) {
        bytes[i] = static_cast<char>(~bytes[i]);
    }
    WriteBytes(target, bytes);
}

void WriteSilentWav(const std::string& path, int channels, int sampleRate, int samples) {
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2;
    const std::uint32_t dataSize = blockAlign * static_cast<std::uint32_t>(samples);
    std::vector<char> bytes;
    const auto tag = [&](const char* name) { bytes.insert(bytes.end(), name, name + 4); };
    tag("RIFF");
    PutLE(bytes, 4 + 8 + 16 + 8 + dataSize, 4);
    tag("WAVE");
    tag("fmt ");
    PutLE(bytes, 16, 4);
    PutLE(bytes, 1, 2); // PCM
    PutLE(bytes, static_cast<std::uint32_t>(channels), 2);
    PutLE(bytes, static_cast<std::uint32_t>(sampleRate), 4);
    PutLE(bytes, static_cast<std::uint32_t>(sampleRate) * blockAlign, 4);
    PutLE(bytes, blockAlign, 2);
    PutLE(bytes, 16, 2);
    tag("data");
    PutLE(bytes, dataSize, 4);
    bytes.resize(bytes.size() + dataSize, 0);
    WriteBytes(path, bytes);
}

std::string FileChecksum(const std::string& path) {
    // Reading a pipe would block.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return "(not a regular file)";
    }
    return RunCommand("md5sum " + ShellQuote(path)).output.substr(0, 32);
}

} // namespace testing_support
