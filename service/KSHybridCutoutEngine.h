#pragma once

#include "KSClassicCutoutEngine.h"
#include "KSLearnedCutoutEngine.h"

#include <memory>

class KSLearnedModel;

// The engine used when a learned model is installed. The network always
// runs; where the photo's border is a plain backdrop, the classical engine
// runs too and its subject parts that overlap the network's subject are
// added to it: the network keeps its edges and photographed subjects, the
// backdrop colour model restores the flat, light parts of drawn subjects the
// network loses. On a busy backdrop the network's mask stands alone, less
// the salient scenery the frame cuts (see dropFrameCutScenery).
class KSHybridCutoutEngine : public KSCutoutEngine
{
public:
    explicit KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model);

    cv::Mat mask(const cv::Mat &bgr, KSEraserType type, std::string *error) override;
    // What made the last mask: the model's name, "<model>+classic-grabcut"
    // when both contributed, or "classic-grabcut" when the model could not
    // run; before any mask, the learned engine's.
    std::string name() const override;

    // The classical subject's components whose outline (the frame aside)
    // lies along the network's subject for at least `outlineShare` of its
    // length join it: the network drew the outline of a part it then took
    // for background. Only what the network missed is added, with the
    // classical engine's soft fringe; where both found an edge, the
    // network's stands. For a person, a component running off the bottom
    // of the frame joins too when a tenth of it is the network's subject or
    // it holds half of that subject (the head the network found).
    // When the network found next to nothing, the classical mask stands.
    // Both masks 8-bit and of one size.
    static cv::Mat fuse(const cv::Mat &learned, const cv::Mat &classic, KSEraserType type,
                        double outlineShare = 0.7, bool *classicAdded = nullptr);

    // On a busy backdrop the network also finds the scenery's own salient
    // things (a flower, a splash of water), which the frame tends to cut.
    // When the largest component lies inside the frame (and holds half a
    // percent of the picture), the components the frame cuts are dropped
    // with their soft fringe; for a person the bottom edge does not count.
    static cv::Mat dropFrameCutScenery(const cv::Mat &mask, KSEraserType type);

private:
    KSClassicCutoutEngine m_classic;
    KSLearnedCutoutEngine m_learned;
    std::string m_last;
};
