#pragma once

#include <cstdint>
#include <initializer_list>

// Load order: the libraries others depend on come first, so that a folder copy's dependencies
// resolve to the copies in the same folder.
enum class TLibraryKind : std::uint8_t {
    libAVUtil,
    libSWResample,
    libSWScale,
    libPostProc,
    libAVCodec,
    libAVFormat,
    libAVFilter,
    libSDL2,
};

inline constexpr int LibraryKindCount = 8;

class TLibrarySet {
public:
    constexpr TLibrarySet() = default;
    constexpr TLibrarySet(std::initializer_list<TLibraryKind> kinds) {
        for (TLibraryKind k : kinds) {
            bits_ |= Bit(k);
        }
    }
    constexpr bool Contains(TLibraryKind kind) const { return (bits_ & Bit(kind)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TLibrarySet With(TLibraryKind kind) const {
        TLibrarySet s = *this;
        s.bits_ |= Bit(kind);
        return s;
    }
    constexpr bool operator==(const TLibrarySet&) const = default;

private:
    static constexpr std::uint32_t Bit(TLibraryKind k) { return 1u << static_cast<unsigned>(k); }
    std::uint32_t bits_ = 0;
};

inline constexpr TLibrarySet EncoderLibraries{TLibraryKind::libAVUtil,  TLibraryKind::libSWResample,
                                              TLibraryKind::libSWScale, TLibraryKind::libPostProc,
                                              TLibraryKind::libAVCodec, TLibraryKind::libAVFormat,
                                              TLibraryKind::libAVFilter};

inline constexpr TLibrarySet PlayerLibraries = EncoderLibraries.With(TLibraryKind::libSDL2);
