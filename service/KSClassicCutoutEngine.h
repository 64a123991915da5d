#pragma once

#include "KSCutoutEngine.h"

// The classical engine, with no learned weights: good on plain backgrounds
// (studio, product and ID-photo shots).
// 1. A colour model of the background from the picture's border: the border's
//    colour clusters that line at least two sides, plus those close to them.
//    A backdrop that changes smoothly (a gradient, a vignette) is first taken
//    off as a surface fitted to the border, so that it is one colour.
// 2. GrabCut, started from the mask that model gives (background-coloured
//    areas reached from the border, the rest probably subject) rather than
//    from an inset rectangle, so that subjects touching the frame are kept.
// 3. The subject's components kept, stray blobs dropped, small holes filled.
// 4. Edges refined with a guided filter at the picture's own size.
class KSClassicCutoutEngine : public KSCutoutEngine
{
public:
    // The steps that can be left out, for scoring them (bench_engine_quality).
    struct Rules
    {
        bool smoothBackdrop = true;
    };

    KSClassicCutoutEngine() = default;
    explicit KSClassicCutoutEngine(Rules rules);

    cv::Mat mask(const cv::Mat &bgr, KSEraserType type, std::string *error) override;
    std::string name() const override;

    // Whether the picture's border is a plain backdrop: a few close colours
    // line at least three sides (from the border colour model of the
    // picture's own colours, a smooth backdrop not taken off).
    [[nodiscard]] static bool plainBackdrop(const cv::Mat &bgr);

    // Long side of the picture the segmentation works on.
    static constexpr int workSide = 480;

private:
    Rules m_rules;
};
