#pragma once
// Colours as the game names them, kept free of the GUI module so the engine
// needs QtCore only.

#include <cstdint>

namespace typetoki {

// 0xRRGGBB.
using Rgb = std::uint32_t;
constexpr Rgb MakeRgb(int r, int g, int b)
{
    return (Rgb(r) << 16) | (Rgb(g) << 8) | Rgb(b);
}

}  // namespace typetoki
