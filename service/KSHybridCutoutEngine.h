#pragma once

#include "KSClassicCutoutEngine.h"
#include "KSLearnedCutoutEngine.h"

#include <memory>

class KSLearnedModel;

// The engine used when the learned model is asked for: the classical engine
// where the photo's border is a plain backdrop (where its backdrop colour
// model beats the network, which loses flat, light subjects), the learned
// engine where the backdrop is busy (where the network does better).
class KSHybridCutoutEngine : public KSCutoutEngine
{
public:
    explicit KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model);

    cv::Mat mask(const cv::Mat &bgr, KSCutoutType type, std::string *error) override;
    // The engine that made the last mask ("classic-grabcut" or the model's
    // name); before any mask, the learned engine's.
    std::string name() const override;

private:
    KSClassicCutoutEngine m_classic;
    KSLearnedCutoutEngine m_learned;
    const KSCutoutEngine *m_last = nullptr;
};
