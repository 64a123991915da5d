#pragma once

#include <opencv2/core.hpp>

#include <functional>
#include <string>

// Over a busy photographic backdrop the network also finds the scenery's own
// salient things (a flower, a splash of water) where they touch or stand
// near the subject. These rules tell them apart by what a photograph shows
// besides saliency. They work on the map (CV_32F, 0..1) at about the
// network's resolution with the photo (8-bit BGR) at the same size.
namespace KSBusyBackdropRules {

// A further forward pass over a picture made from the photo: its map at the
// model's size, or empty.
using NetworkPass = std::function<cv::Mat(const std::string &key, const cv::Mat &picture)>;

enum class Blend {
    mean,    // the two maps' mean
    product, // both must find it: their product's square root
    unsure,  // the crop's map where the first was unsure, the first elsewhere
};

// The crop round the subject for a second look, in the work map's
// coordinates: the box of its sure part widened by a fifth of its size on
// each side; empty when a second look would see the subject no larger (the
// crop holds most of the frame) or there is no sure part.
[[nodiscard]] cv::Rect secondLookCrop(const cv::Mat &map);

// Whether the first map calls for a second look: at least `fromUnsure` of
// its subject unsure, or the subject small in the frame.
[[nodiscard]] bool wantsSecondLook(const cv::Mat &map, double fromUnsure);

// The network once more on the crop of `photo` (full size; the map is at
// `map`'s size) round the subject, at its input size, so at a larger scale;
// its map is blended with the first inside the crop. Returns the blended
// map, or `map` when no second look is wanted or the pass cannot run.
// *ran says whether the pass ran. When the crop's map keeps less than
// `keepsSure` of what the first map was sure of in the crop, the second look
// lost the subject rather than parted it from the scenery (a close-up whose
// sure part is a handle: alone in the crop it reads as nothing), and the
// first map stands (0: no such check).
[[nodiscard]] cv::Mat secondLook(const cv::Mat &photo, const cv::Mat &map, const NetworkPass &pass, Blend blend,
                                 double fromUnsure, bool *ran = nullptr, double keepsSure = 0);

// How sharp each part of a grey picture is, independent of its contrast:
// the Laplacian's energy over the gradient's, both summed over `region`.
// A blur of width s lowers it by about s².
[[nodiscard]] double sharpness(const cv::Mat &grey, const cv::Mat &region);

// Depth of field: when the subject's main body is clearly sharper than the
// backdrop, a part of the subject (a component, or a part joined to the main
// body by a narrow neck) much blurrier than the main body is backdrop and
// goes. Returns the map with those parts cleared; *dropped counts them.
[[nodiscard]] cv::Mat dropBlurredParts(const cv::Mat &bgr, const cv::Mat &map, int *dropped = nullptr);

// A part joined to the subject's main body only through a neck much
// narrower than itself, whose colours are mostly not the rest of the
// subject's, is scenery and goes. Thin parts of the subject (an arm, a
// handle) do not survive the opening that finds such parts and so stay.
// Returns the map with those parts cleared; *dropped counts them.
[[nodiscard]] cv::Mat dropNeckedParts(const cv::Mat &bgr, const cv::Mat &map, int *dropped = nullptr);

} // namespace KSBusyBackdropRules
