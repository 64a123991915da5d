#pragma once

#include "KSCutoutEngine.h"

#include <opencv2/core.hpp>

#include <functional>
#include <string>

// A subject that fills or crosses the frame. The network learnt subjects
// with backdrop round them: a close-up (a face filling the picture) comes
// out gutted, and a part the frame cuts (a tail touching the edge) is often
// left out. A further pass over the photo padded gives the network the
// margin it expects: padded with the mirrored border on a plain backdrop,
// so that the cut part goes on past the frame; with grey when the subject
// fills the frame, so that the photo reads as one thing on a backdrop.
// Neither padding suits every photo (grey padding turns a whole busy scene
// into the subject), so the first map and the photo's border decide.
class KSFrameFill
{
public:
    enum class Padding { none, grey, mirror };

    // What the first map and the photo's border look like, at the rules'
    // working size.
    struct Look
    {
        double kept = 0;       // share of the picture the map keeps (level above one half)
        double touching = 0;   // share of the frame's edge the subject lies on (for a person, the bottom aside)
        double fragments = 0;  // share of the subject outside its largest component
        double unsure = 0;     // share of the picture the map is unsure of (levels 0.1 to 0.9)
        double subjectLike = 0; // share of the border band whose colour is more the sure subject's than the sure backdrop's
        double texture = 0;    // the border band's fine texture against the sure subject's
        double leftAtFrame = 0; // share of the border band left to the backdrop in colours the sure backdrop hardly has
        bool plain = false;    // the border is a plain backdrop
    };

    using NetworkPass = std::function<cv::Mat(const std::string &key, const cv::Mat &picture)>;

    // `small`: the photo at the working size; `soft`: the map there (CV_32F).
    static Look look(const cv::Mat &small, const cv::Mat &soft, KSEraserType type);
    static Padding choose(const Look &look);

    // The photo padded by `margin` pixels on every side.
    static cv::Mat pad(const cv::Mat &bgr, Padding padding, int margin);
    // The margin for a photo: a quarter of its long side.
    static int margin(cv::Size photo);
    // The network's map of the padded photo, cropped back to the photo and
    // brought to `work` (CV_32F).
    static cv::Mat cropBack(const cv::Mat &paddedMap, cv::Size photo, int margin, cv::Size work);

    // The map at the working size after the rule: the padded pass's map
    // when the look calls for one, else `soft` itself. *chosen, when given,
    // says which padding ran.
    static cv::Mat apply(const cv::Mat &bgr, const cv::Mat &small, const cv::Mat &soft, KSEraserType type,
                         const NetworkPass &pass, Padding *chosen = nullptr);
};
