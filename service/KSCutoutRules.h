#pragma once

#include "KSEraserType.h"

#include <opencv2/core.hpp>

// Rules the default engine applies to the network's map, each kept because
// it scores better on photographs (bench_engine_rules measures each one).
// They work on the map (CV_32F, 0..1) at about the network's resolution with
// the photo (8-bit BGR) at the same size.
namespace KSCutoutRules {

// The backdrop's colour at every pixel (3-channel float, 0..255): the mean of
// the backdrop the frame reaches within `radius`, so that inside the subject
// it is the backdrop just around it.
[[nodiscard]] cv::Mat backdropColour(const cv::Mat &bgr, const cv::Mat &outside, int radius);

// Shadows are backdrop: the parts of the subject that are the backdrop
// around them evenly darkened (same colour, less light), where the map is
// below `surest`, and that join the backdrop the frame reaches. When most of
// the subject looks so (a grey subject on a grey backdrop) there is no
// shadow to tell. A shadow also lies below the subject's middle and is
// smooth. Returns the shadow (8-bit, 255 there).
[[nodiscard]] cv::Mat castShadow(const cv::Mat &bgr, const cv::Mat &map, float surest);

// Whether the photo is greyscale (nearly no pixel has a colour).
[[nodiscard]] bool looksGreyscale(const cv::Mat &bgr);

// Holes by their colour: an enclosed hole in the subject whose colours are
// not those of the backdrop around the subject is part of the subject (the
// white spots of a butterfly's wing, a fish's pale fin) and is filled; one
// whose colours are the backdrop's stays a hole. Returns the map with those
// holes filled.
[[nodiscard]] cv::Mat fillSubjectColouredHoles(const cv::Mat &bgr, const cv::Mat &map);

// The pixels of `bgr` whose colour is one of the backdrop's around the
// subject (8-bit, 255 there), from a palette of the ring of backdrop just
// outside the subject of `map`.
[[nodiscard]] cv::Mat backdropColoured(const cv::Mat &bgr, const cv::Mat &map);

} // namespace KSCutoutRules
