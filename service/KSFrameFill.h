#pragma once

#include <opencv2/core.hpp>

#include <functional>
#include <string>

// A subject that fills the frame. The network learnt subjects with backdrop
// round them: a close-up (a face filling the picture) comes out gutted, or
// with nothing found at all. A further pass over the photo padded with grey
// gives the network the margin it expects, and the photo reads as one thing
// on a backdrop. The padded pass turns a busy scene round a small subject,
// or a plain backdrop round a head the frame cuts, into subject as readily,
// so it runs only when the first map calls for it: nothing found in a
// photo whose border is not one plain backdrop (a blank wall padded with
// grey reads as a subject, and must stay "no subject"), or a
// border far sharper than the part the network is sure of with much of the
// map in doubt. Padding with the mirrored border (a part the frame cuts
// carried on past it) is measured in bench_engine_framefill, not chosen:
// it lost as often as it won.
class KSFrameFill
{
public:
    enum class Padding { none, grey, mirror };

    // What the first map and the photo's border look like, at the rules'
    // working size.
    struct Look
    {
        double kept = 0;         // share of the picture the map keeps (level above one half)
        double unsure = 0;       // share of the picture the map doubts (levels 0.1 to 0.9)
        double borderDetail = 0; // the border band's fine texture (mean absolute Laplacian, 0-255 levels)
        double texture = 0;      // borderDetail against the sure subject's (0 without a sure subject)
        bool plainBorder = false; // one smooth, plain backdrop lines the frame (a blank wall, a sweep)
    };

    using NetworkPass = std::function<cv::Mat(const std::string &key, const cv::Mat &picture)>;

    // `small`: the photo at the working size; `soft`: the map there (CV_32F);
    // `plainBackdrop`: KSClassicCutoutEngine::plainBackdrop of `small`, which
    // the caller has already asked.
    static Look look(const cv::Mat &small, const cv::Mat &soft, bool plainBackdrop);
    static Padding choose(const Look &look);

    // The photo padded by `margin` pixels on every side.
    static cv::Mat pad(const cv::Mat &bgr, Padding padding, int margin);
    // The margin for a photo: a quarter of its long side.
    static int margin(cv::Size photo);
    // The network's map of the padded photo, cropped back to the photo and
    // brought to `work` (CV_32F).
    static cv::Mat cropBack(const cv::Mat &paddedMap, cv::Size photo, int margin, cv::Size work);

    // The network's map of the photo padded by margin(): the pass keyed
    // "pad-grey" or "pad-mirror", cropped back to the photo at `work`; empty
    // when the pass cannot run.
    static cv::Mat paddedPass(const cv::Mat &bgr, Padding padding, const NetworkPass &pass, cv::Size work);

    // The map at the working size after the rule: the padded pass's map
    // when the look calls for one, else `soft` itself. *chosen, when given,
    // says which padding ran.
    static cv::Mat apply(const cv::Mat &bgr, const cv::Mat &small, const cv::Mat &soft, bool plainBackdrop,
                         const NetworkPass &pass,
                         Padding *chosen = nullptr);
};
