#include "views/epochview/palette.h"

#include <cmath>

namespace rc {
namespace {

int channel(double c, double f) {
  if (c == 0.0) return 0;
  const double v = 255.0 * std::pow(c * f, 0.8);
  // Nearest whole number, exact halves toward zero (v is never negative).
  return static_cast<int>(std::ceil(v - 0.5));
}

}  // namespace

PackedColour wavelengthColour(double w) {
  double r = 0, g = 0, b = 0;
  if (w >= 380 && w < 440) {
    r = (440 - w) / 60;
    b = 1;
  } else if (w >= 440 && w < 490) {
    g = (w - 440) / 50;
    b = 1;
  } else if (w >= 490 && w < 510) {
    g = 1;
    b = (510 - w) / 20;
  } else if (w >= 510 && w < 580) {
    r = (w - 510) / 70;
    g = 1;
  } else if (w >= 580 && w < 645) {
    r = 1;
    g = (645 - w) / 65;
    b = 0.5;
  } else if (w >= 645 && w < 780) {
    r = 1;
    b = 0.5;
  }
  double f = 0;
  if (w >= 380 && w < 420)
    f = 0.3 + 0.7 * (w - 380) / 40;
  else if (w >= 420 && w < 700)
    f = 1;
  else if (w >= 700 && w < 780)
    f = 0.3 + 0.7 * (780 - w) / 80;
  const auto pack = [](int red, int green, int blue) {
    return static_cast<PackedColour>(red) | static_cast<PackedColour>(green) << 8 |
           static_cast<PackedColour>(blue) << 16;
  };
  return pack(channel(r, f), channel(g, f), channel(b, f));
}

std::array<PaletteLevel, kPaletteLevels> spectrumPalette(double p) {
  std::array<PaletteLevel, kPaletteLevels> out{};
  for (int i = kPaletteLevels; i >= 1; --i) {
    PaletteLevel& l = out[static_cast<std::size_t>(i - 1)];
    l.start = p - (kPaletteLevels - i) * p / kPaletteLevels;
    l.colour = wavelengthColour(380.0 + 400.0 * i / kPaletteLevels);
  }
  return out;
}

}  // namespace rc
