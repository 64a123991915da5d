#include "KSLearnedCutoutEngine.h"

#include "KSComponents.h"
#include "KSEdgeRefine.h"
#include "KSLearnedModel.h"
#include "KSServiceLog.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {
// A region of this probability is surely the subject; one of the lower is
// joined to the subject when it touches it (soft edges, thin parts).
constexpr float surely = 0.5f;
constexpr float joined = 0.1f;

} // namespace

KSLearnedCutoutEngine::KSLearnedCutoutEngine(std::shared_ptr<KSLearnedModel> model)
    : m_model(std::move(model))
{
}

std::string KSLearnedCutoutEngine::name() const
{
    if (!m_lastEngine.empty())
        return m_lastEngine;
    return m_model && m_model->state() != KSLearnedModel::State::failed ? m_model->name().toStdString()
                                                                         : m_classic.name();
}

cv::Mat KSLearnedCutoutEngine::subjectRegion(const cv::Mat &probability, KSEraserType type)
{
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(probability >= surely, labels, stats, centroids, 8, CV_32S);
    if (count <= 1)
        return cv::Mat(probability.size(), CV_8U, cv::Scalar(255)); // nothing sure: leave the map as it is

    // A person stands on the bottom edge more often than not, so a region
    // there counts double when looking for the person.
    int main = 1;
    double mainScore = 0;
    for (int i = 1; i < count; ++i) {
        const int bottom = stats.at<int>(i, cv::CC_STAT_TOP) + stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const double area = stats.at<int>(i, cv::CC_STAT_AREA);
        const double score = type == KSEraserType::person && bottom >= probability.rows - 2 ? 2 * area : area;
        if (score > mainScore) {
            mainScore = score;
            main = i;
        }
    }
    const double mainArea = stats.at<int>(main, cv::CC_STAT_AREA);
    // Another person of a group photo is about as large as the first; the
    // parts of an object (a pair of earrings) may be smaller, but a blob of
    // the backdrop that the model found salient is smaller still.
    const double share = type == KSEraserType::person ? 0.25 : 0.08;
    const double minimum = std::max(share * mainArea, 0.0005 * double(probability.total()));
    std::vector<uchar> keep(size_t(count), 0);
    for (int i = 1; i < count; ++i)
        keep[size_t(i)] = i == main || stats.at<int>(i, cv::CC_STAT_AREA) >= minimum;
    const cv::Mat sure = KSComponents::kept(labels, keep);

    // Hysteresis: the low regions that hold a kept sure region.
    cv::Mat region = KSComponents::touching(probability >= joined, sure);
    // The faint fringe just outside stays too.
    cv::dilate(region, region, cv::getStructuringElement(cv::MORPH_ELLIPSE, {5, 5}));
    return region;
}

cv::Mat KSLearnedCutoutEngine::mask(const cv::Mat &input, KSEraserType type, std::string *error)
{
    const cv::Mat bgr = KSEdgeRefine::colourPicture(input, error);
    if (bgr.empty())
        return {};

    std::string modelError;
    const cv::Mat probability = m_model ? m_model->predict(bgr, &modelError) : cv::Mat();
    if (probability.empty()) {
        if (!m_fallbackLogged) {
            KSServiceLog::E(QStringLiteral("the classical engine cuts out: %1")
                                .arg(QString::fromStdString(modelError.empty() ? "no learned model" : modelError)));
            m_fallbackLogged = true;
        }
        m_lastEngine = m_classic.name();
        return m_classic.mask(bgr, type, error);
    }
    m_lastEngine = m_model->name().toStdString();

    // Back to the picture's proportions at about the model's resolution,
    // where the clean-up works.
    const cv::Size modelSize = probability.size();
    const double workScale = std::min(1.0, double(std::max(modelSize.width, modelSize.height))
                                               / double(std::max(bgr.cols, bgr.rows)));
    const cv::Size work(std::max(1, int(std::lround(bgr.cols * workScale))),
                        std::max(1, int(std::lround(bgr.rows * workScale))));
    cv::Mat soft;
    cv::resize(probability, soft, work, 0, 0, cv::INTER_LINEAR);
    const cv::Mat region = subjectRegion(soft, type);
    soft.setTo(0.0f, region == 0);

    // At the picture's size, edges that follow the photo: a guided filter
    // with a radius of about two model pixels.
    return KSEdgeRefine::toPicture(bgr, soft, std::max(2, int(std::lround(2.0 / workScale))), 1e-4);
}
