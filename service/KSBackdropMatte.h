#pragma once

#include <opencv2/core.hpp>

// Alpha from colour on a plain backdrop. The network works at 768 pixels
// and fills fine gaps (between a palm's fronds, a bicycle's spokes) and
// loses thin parts (a stem, an antenna), while on a plain backdrop the
// backdrop's colour B is known everywhere: a smooth surface fitted to the
// sure backdrop (KSBackdropSurface) plus the local mean of what it leaves.
// With the subject's colour F nearby (the sure subject's colours spread by
// normalised convolution), a pixel I is the mix alpha F + (1 - alpha) B, and
// alpha the projection of I - B onto F - B. That answer replaces the mask
// where the mix explains the pixel:
// - in the mask's soft band;
// - in narrow backdrop-coloured parts of the subject (gaps the network
//   closed), while a broad one (a white shirt on white) stays subject;
// - along thin parts joined to the subject whose colours are far from the
//   backdrop's, which come in with alpha by their contrast.
// A pixel that is the backdrop darkened (a shadow) is never made more
// opaque. When the surface does not explain the backdrop the mask stands.
namespace KSBackdropMatte {

// The long side the matte is solved at (the photo's own when smaller).
constexpr int workSide = 1500;

// `mask`: 8-bit, any size; `bgr`: the photo. Returns the mask at the
// photo's size, solved from colour where that can be done; `applied`,
// when given, says whether the backdrop was explained well enough.
[[nodiscard]] cv::Mat solve(const cv::Mat &bgr, const cv::Mat &mask, bool *applied = nullptr);

} // namespace KSBackdropMatte
