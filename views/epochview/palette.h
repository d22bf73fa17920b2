#pragma once
// The colour scale of the 3D spectrum viewer: 256 levels over the range of
// powers, coloured along the visible spectrum so that the largest powers are
// deep red and the smallest violet.
#include <array>
#include <cstdint>

namespace rc {

// A colour packed as red in the low byte, then green, then blue.
using PackedColour = std::uint32_t;
inline constexpr int redOf(PackedColour c) { return static_cast<int>(c & 0xFF); }
inline constexpr int greenOf(PackedColour c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int blueOf(PackedColour c) { return static_cast<int>((c >> 16) & 0xFF); }

// The colour of a wavelength w in nanometres. Each channel c in [0, 1] of the
// range table is scaled by the intensity f (rising over 380..420 nm, falling
// over 700..780 nm) and becomes 255 (c f)^0.8, rounded to the nearest whole
// number with exact halves rounded toward zero; 0 stays 0. Outside 380..780
// nm (780 itself included) the colour is black.
PackedColour wavelengthColour(double w);

inline constexpr int kPaletteLevels = 256;

// Level i (1 .. 256) starts at the power P - (256 - i) P / 256 and has the
// colour of the wavelength 380 + 400 i / 256 nm.
struct PaletteLevel {
  double start = 0.0;
  PackedColour colour = 0;
};
std::array<PaletteLevel, kPaletteLevels> spectrumPalette(double largestPower);  // [i - 1] is level i

}  // namespace rc
