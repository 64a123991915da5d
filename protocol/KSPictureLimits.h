#pragma once

// What the cut-out service accepts of an uploaded picture.
namespace KSPictureLimits {
// Both sides at least this many pixels: fewer hold too little to tell a
// subject from its backdrop.
inline constexpr int kMinSide = 8;
} // namespace KSPictureLimits
