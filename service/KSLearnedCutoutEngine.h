#pragma once

#include "KSClassicCutoutEngine.h"
#include "KSCutoutEngine.h"

#include <memory>

class KSLearnedModel;

// The learned engine: the shared model's probability map, cleaned up with
// what the user told us about the subject, brought back to the picture's
// size and refined there with a guided filter, so that edges follow the
// photo rather than the model's grid. While the model cannot be used
// (missing, broken, failing) the classical engine cuts out instead, and
// name() says so.
class KSLearnedCutoutEngine : public KSCutoutEngine
{
public:
    explicit KSLearnedCutoutEngine(std::shared_ptr<KSLearnedModel> model);

    cv::Mat mask(const cv::Mat &bgr, KSEraserType type, std::string *error) override;
    // The engine that made the last mask (the model's name, or the classical
    // engine's after a fallback).
    std::string name() const override;

    // Which parts of a probability map (CV_32F, 0..1) belong to the subject:
    // 255 there, 0 elsewhere. A person keeps the largest person-like region
    // and regions of comparable size; an object keeps every region but small
    // detached blobs. Soft edges and thin parts joined to a kept region stay,
    // and holes are never touched (the inside of a ring, the space between
    // an arm and the body).
    [[nodiscard]] static cv::Mat subjectRegion(const cv::Mat &probability, KSEraserType type);

private:
    std::shared_ptr<KSLearnedModel> m_model;
    KSClassicCutoutEngine m_classic;
    std::string m_lastEngine;
    bool m_fallbackLogged = false;
};
