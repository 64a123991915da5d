#pragma once

#include <QImage>

#include <opencv2/core.hpp>

// The cut-out's edge at the photo's own size. The service's mask comes back
// at the upload size; stretched to a large photo its edge is a blur several
// pixels wide, and the photo's colours there still hold the old backdrop.
// Only where the stretched mask is neither 0 nor 255 (the band) is anything
// changed: the mask is refined there by a guided filter led by the full
// photo, and the subject's own colours are estimated there (blur-fusion
// foreground estimation: a coarse pass at the mask's size, a fine one at
// the photo's). Everywhere else the mask's values and the photo's colours
// stay. Work is done in tiles that hold part of the band, on every core.
namespace KSMatteRefine {

// bgra: the full photo, 8-bit, 4 channels (B, G, R, x); mask: 8-bit, one
// channel, any size. Returns the mask at the photo's size, refined in the
// band; with `estimateColours`, the band's colours in `bgra` become the
// subject's own. Empty for empty or mismatched inputs.
[[nodiscard]] cv::Mat refine(cv::Mat &bgra, const cv::Mat &mask, bool estimateColours = true);

// The same for a QImage: `photo` is converted to a 32-bit layout when it is
// in another (its colours unchanged) and its band colours replaced; the
// result is the refined mask (Format_Grayscale8) at the photo's size, null
// when either picture is null.
[[nodiscard]] QImage refine(QImage &photo, const QImage &mask);

} // namespace KSMatteRefine
