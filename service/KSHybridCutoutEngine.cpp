#include "KSHybridCutoutEngine.h"

#include "KSLearnedModel.h"

KSHybridCutoutEngine::KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model)
    : m_learned(std::move(model))
{
}

cv::Mat KSHybridCutoutEngine::mask(const cv::Mat &bgr, KSCutoutType type, std::string *error)
{
    KSCutoutEngine &engine = KSClassicCutoutEngine::plainBackdrop(bgr)
                                 ? static_cast<KSCutoutEngine &>(m_classic)
                                 : static_cast<KSCutoutEngine &>(m_learned);
    m_last = &engine;
    return engine.mask(bgr, type, error);
}

std::string KSHybridCutoutEngine::name() const
{
    return (m_last ? m_last : &m_learned)->name();
}
