#pragma once

#include <QImage>

#include <opencv2/core.hpp>

// The cut-out's edge at the photo's own size. The service's mask comes back
// at the upload size; stretched to a large photo its edge is a blur several
// pixels wide, and the photo's colours there still hold the old backdrop.
// Only where the stretched mask is neither 0 nor 255 (the band) is anything
// changed: the band's slope is steepened (the network's edges are softer
// than the photo's), and the subject's own colours are estimated there from
// the full photo (blur-fusion foreground estimation: a coarse pass on a
// small copy, a fine one at the photo's size). Everywhere else the mask's
// values and the photo's colours stay. The colours are worked out in tiles
// that hold part of the band, on every core.
namespace KSMatteRefine {

// The two steps, each of which can be left out to measure what it earns.
struct Steps
{
    bool steepenEdges = true;
    bool estimateColours = true;
};

// bgra: the full photo, 8-bit, 4 channels (B, G, R, x); mask: 8-bit, one
// channel, any size. Returns the mask at the photo's size, refined in the
// band; with `estimateColours`, the band's colours in `bgra` become the
// subject's own. Empty for empty or mismatched inputs.
[[nodiscard]] cv::Mat refine(cv::Mat &bgra, const cv::Mat &mask, Steps steps);
[[nodiscard]] cv::Mat refine(cv::Mat &bgra, const cv::Mat &mask);

// The same for a QImage: `photo` is converted to a 32-bit layout when it is
// in another (its colours unchanged) and its band colours replaced; the
// result is the refined mask (Format_Grayscale8) at the photo's size, null
// when either picture is null.
[[nodiscard]] QImage refine(QImage &photo, const QImage &mask);

// The cut-out itself (Format_RGBA8888, straight colours): the refined mask
// as the alpha of `photo`, with the band's colours the subject's own. An
// opaque 32-bit photo becomes the cut-out in place, with no mask at its size
// beside it. Null when either picture is null or memory runs out.
[[nodiscard]] QImage cutout(QImage photo, const QImage &mask);

} // namespace KSMatteRefine
