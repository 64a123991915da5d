#include "KSHybridCutoutEngine.h"

#include "KSBackdropMatte.h"
#include "KSCutoutRules.h"
#include "KSEdgeRefine.h"
#include "KSFrameFill.h"
#include "KSTaskStatus.h"
#include "KSLearnedModel.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <map>

namespace {
// The network's map from this level on is a part it is sure of; the level
// above any map lets a rule consider every pixel.
constexpr float networkSure = 0.9f;
constexpr float anyLevel = 2.0f;
} // namespace

KSHybridCutoutEngine::KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model)
    : KSHybridCutoutEngine(std::move(model), Rules())
{
}

KSHybridCutoutEngine::KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model, Rules rules)
    : m_model(model)
    , m_rules(rules)
    , m_learned(std::move(model))
{
}

cv::Mat KSHybridCutoutEngine::fuse(const cv::Mat &learned, const cv::Mat &classic, KSEraserType type,
                                   double outlineShare, bool *classicAdded)
{
    if (classicAdded)
        *classicAdded = false;
    if (classic.empty() || classic.size() != learned.size() || classic.type() != CV_8U || learned.type() != CV_8U)
        return learned;
    const cv::Mat subject = learned >= 128;
    const double subjectArea = cv::countNonZero(subject);
    if (subjectArea < 0.002 * double(learned.total())) {
        if (classicAdded)
            *classicAdded = cv::countNonZero(classic >= 128) > 0;
        return classic.clone();
    }

    // The network's outline may lie a few pixels off the classical one, and
    // be faint where it took the inside for background.
    const int radius = std::max(2, int(std::lround(std::hypot(learned.cols, learned.rows) / 500.0)));
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * radius + 1, 2 * radius + 1});
    cv::Mat nearTrace, nearSubject;
    cv::dilate(learned >= 48, nearTrace, disc);
    cv::dilate(subject, nearSubject, disc);

    const cv::Mat classicSubject = classic >= 128;
    cv::Mat inner;
    cv::erode(classicSubject, inner, cv::Mat(), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(255));
    const cv::Mat outline = classicSubject & ~inner;

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(classicSubject, labels, stats, centroids, 8, CV_32S);
    std::vector<int> outlineLength(size_t(std::max(count, 1)), 0), outlineNear(outlineLength),
        missed(outlineLength), overlap(outlineLength);
    for (int y = 1; y + 1 < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        const uchar *o = outline.ptr<uchar>(y), *t = nearTrace.ptr<uchar>(y), *n = nearSubject.ptr<uchar>(y),
                    *s = subject.ptr<uchar>(y);
        for (int x = 1; x + 1 < labels.cols; ++x) {
            // The frame is no outline: a subject cut by it has none there.
            outlineLength[size_t(label[x])] += o[x] ? 1 : 0;
            outlineNear[size_t(label[x])] += o[x] && t[x] ? 1 : 0;
            missed[size_t(label[x])] += n[x] ? 0 : 1;
            overlap[size_t(label[x])] += s[x] ? 1 : 0;
        }
    }
    std::vector<uchar> keep(size_t(std::max(count, 1)), 0);
    bool any = false;
    for (int i = 1; i < count; ++i) {
        // A person running off the bottom of the frame whose head alone the
        // network found (it tends to leave what the frame cuts to the
        // background).
        const bool body = type == KSEraserType::person
                          && stats.at<int>(i, cv::CC_STAT_TOP) + stats.at<int>(i, cv::CC_STAT_HEIGHT) == labels.rows
                          && (overlap[size_t(i)] >= 0.1 * stats.at<int>(i, cv::CC_STAT_AREA)
                              || overlap[size_t(i)] >= 0.5 * subjectArea);
        keep[size_t(i)] = missed[size_t(i)] > 0
                          && (body
                              || (outlineLength[size_t(i)] > 0
                                  && outlineNear[size_t(i)] >= outlineShare * outlineLength[size_t(i)]));
        any = any || keep[size_t(i)];
    }
    if (!any)
        return learned;

    cv::Mat added(labels.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        const uchar *n = nearSubject.ptr<uchar>(y);
        uchar *out = added.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x)
            out[x] = keep[size_t(label[x])] && !n[x] ? 255 : 0;
    }
    // Where both engines found an edge the network's stands; the parts it
    // missed come with the classical engine's soft fringe.
    cv::dilate(added, added, disc);
    added.setTo(0, subject);
    cv::Mat result = learned.clone();
    cv::Mat larger;
    cv::max(learned, classic, larger);
    larger.copyTo(result, added);
    if (classicAdded)
        *classicAdded = true;
    return result;
}

cv::Mat KSHybridCutoutEngine::dropFrameCutScenery(const cv::Mat &mask, KSEraserType type)
{
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask >= 128, labels, stats, centroids, 8, CV_32S);
    if (count <= 2)
        return mask;
    std::vector<uchar> cut(size_t(count), 0);
    int largest = 0, largestInside = 0;
    for (int i = 1; i < count; ++i) {
        const int left = stats.at<int>(i, cv::CC_STAT_LEFT), top = stats.at<int>(i, cv::CC_STAT_TOP);
        const int right = left + stats.at<int>(i, cv::CC_STAT_WIDTH), bottom = top + stats.at<int>(i, cv::CC_STAT_HEIGHT);
        // A person stands on the bottom edge more often than not.
        cut[size_t(i)] = left == 0 || top == 0 || right == mask.cols
                         || (type != KSEraserType::person && bottom == mask.rows);
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        largest = std::max(largest, area);
        if (!cut[size_t(i)])
            largestInside = std::max(largestInside, area);
    }
    // Only when the largest thing is inside: a subject the frame cuts (a
    // close-up, someone at the edge of the picture) is never dropped for a
    // smaller thing behind it.
    if (largestInside == 0 || largestInside < largest || largestInside < 0.005 * double(mask.total()))
        return mask;

    cv::Mat scenery(labels.size(), CV_8U), subject(labels.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        uchar *s = scenery.ptr<uchar>(y), *k = subject.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x) {
            s[x] = label[x] && cut[size_t(label[x])] ? 255 : 0;
            k[x] = label[x] && !cut[size_t(label[x])] ? 255 : 0;
        }
    }
    // Their soft fringe goes too, but not the subject's.
    const int radius = std::max(3, int(std::hypot(mask.cols, mask.rows) / 230.0));
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * radius + 1, 2 * radius + 1});
    cv::dilate(scenery, scenery, disc);
    cv::dilate(subject, subject, disc);
    cv::Mat result = mask.clone();
    result.setTo(0, scenery & ~subject);
    return result;
}

double KSHybridCutoutEngine::disagreement(const cv::Mat &a, const cv::Mat &b)
{
    if (a.empty() || a.size() != b.size())
        return 0;
    const cv::Mat parted = (a > 0.5f) != (b > 0.5f);
    return cv::countNonZero(parted) / double(a.total());
}

bool KSHybridCutoutEngine::wantsMirroredPass(const cv::Mat &map, const Rules &rules)
{
    return rules.mirroredPass && (rules.mirroredFromUnsure <= 0 || unsureShare(map) >= rules.mirroredFromUnsure);
}

cv::Mat KSHybridCutoutEngine::fromMaps(const cv::Mat &bgr, const cv::Mat &map, const cv::Mat &mirrored,
                                       KSEraserType type, const Rules &rules, KSCutoutEngine *classic,
                                       bool *classicAdded, const NetworkPass &pass)
{
    if (classicAdded)
        *classicAdded = false;
    // A rule may ask for a pass another rule already ran (the referee and
    // the frame fill both pad with grey): each runs once.
    std::map<std::string, cv::Mat> ran;
    const NetworkPass once = !pass ? NetworkPass() : NetworkPass([&](const std::string &key, const cv::Mat &picture) {
        const auto it = ran.find(key);
        return it != ran.end() ? it->second : (ran[key] = pass(key, picture));
    });
    const bool both = wantsMirroredPass(map, rules) && !mirrored.empty() && mirrored.size() == map.size();
    // A fresh matrix: an expression assigned to a header of `map` would
    // overwrite the caller's map.
    cv::Mat combined;
    if (both && rules.keepTheLarger)
        combined = cv::max(map, mirrored);
    else if (both)
        combined = 0.5 * (map + mirrored);
    else
        combined = map;

    // Back to the photo's proportions at about the network's resolution,
    // where the rules work.
    const double workScale = std::min(1.0, double(std::max(map.cols, map.rows)) / double(std::max(bgr.cols, bgr.rows)));
    const cv::Size work(std::max(1, int(std::lround(bgr.cols * workScale))),
                        std::max(1, int(std::lround(bgr.rows * workScale))));
    cv::Mat soft, small;
    cv::resize(combined, soft, work, 0, 0, cv::INTER_LINEAR);
    cv::resize(bgr, small, work, 0, 0, cv::INTER_AREA);
    if (both && once && rules.refereeFrom > 0 && disagreement(map, mirrored) >= rules.refereeFrom) {
        const cv::Mat third = KSFrameFill::paddedPass(bgr, KSFrameFill::Padding::grey, once, work);
        if (!third.empty()) {
            cv::Mat first, second;
            cv::resize(map, first, work, 0, 0, cv::INTER_LINEAR);
            cv::resize(mirrored, second, work, 0, 0, cv::INTER_LINEAR);
            const cv::Mat lower = cv::min(first, second), upper = cv::max(first, second);
            const cv::Mat capped = cv::min(upper, third);
            soft = cv::max(lower, capped);
        }
    }

    const bool plain = KSClassicCutoutEngine::plainBackdrop(small);
    if (rules.frameFill)
        soft = KSFrameFill::apply(bgr, small, soft, plain, once);
    // The network's second look at the subject, before the rules that
    // judge components: at a larger scale it may part the subject from
    // what touches it.
    if (!plain && rules.secondLook)
        soft = KSBusyBackdropRules::secondLook(bgr, soft, once, rules.secondLookBlend, rules.secondLookFromUnsure,
                                               nullptr, rules.secondLookKeepsSure);
    if (rules.dropBlobs)
        soft.setTo(0.0f, KSLearnedCutoutEngine::subjectRegion(soft, type) == 0);
    if (!plain && rules.dropScenery) {
        cv::Mat levels;
        soft.convertTo(levels, CV_8U, 255.0);
        soft.setTo(0.0f, dropFrameCutScenery(levels, type) == 0);
    }
    if (!plain && rules.blurredParts)
        soft = KSBusyBackdropRules::dropBlurredParts(small, soft);
    if (!plain && rules.neckedParts)
        soft = KSBusyBackdropRules::dropNeckedParts(small, soft);
    // The network is seldom sure of a shadow: only what it doubts goes.
    if (rules.shadows)
        soft.setTo(0.0f, KSCutoutRules::castShadow(small, soft, networkSure));
    if (rules.holes)
        soft = KSCutoutRules::fillSubjectColouredHoles(small, soft);

    cv::Mat stretched, mask;
    cv::resize(soft, stretched, bgr.size(), 0, 0, cv::INTER_LINEAR);
    stretched.convertTo(mask, CV_8U, 255.0);
    // Last, so that nothing added before closes the gaps it opens.
    const auto matte = [&](const cv::Mat &m) { return plain && rules.backdropMatte ? KSBackdropMatte::solve(bgr, m) : m; };
    // In a greyscale photo the classical engine's colour model of the
    // backdrop tells too little, and its additions cost more than they give.
    if (!plain || !classic || !rules.classicOnPlain || KSCutoutRules::looksGreyscale(small))
        return matte(mask);

    std::string classicError;
    cv::Mat classicMask = classic->mask(bgr, type, &classicError);
    if (classicMask.empty())
        return matte(mask);
    // What the classical engine may not add: shadows, and backdrop-coloured
    // pixels (the backdrop it took for subject inside a lamp or a handle).
    cv::Mat excluded = KSCutoutRules::backdropColoured(small, soft);
    if (rules.shadows)
        excluded |= KSCutoutRules::castShadow(small, soft, anyLevel);
    cv::resize(excluded, excluded, bgr.size(), 0, 0, cv::INTER_NEAREST);
    classicMask.setTo(0, excluded);
    return matte(fuse(mask, classicMask, type, 0.7, classicAdded));
}

cv::Mat KSHybridCutoutEngine::mask(const cv::Mat &input, KSEraserType type, std::string *error)
{
    const cv::Mat bgr = KSEdgeRefine::colourPicture(input, error);
    if (bgr.empty())
        return {};
    std::string modelError;
    const cv::Mat map = m_model ? m_model->predict(bgr, &modelError) : cv::Mat();
    if (map.empty()) {
        // The learned engine falls back to the classical one and says why.
        cv::Mat fallback = m_learned.mask(bgr, type, error);
        m_last = m_learned.name();
        return fallback;
    }
    cv::Mat mirrored;
    if (wantsMirroredPass(map, m_rules)) {
        cv::Mat flipped;
        cv::flip(bgr, flipped, 1);
        mirrored = m_model->predict(flipped, &modelError);
        if (!mirrored.empty())
            cv::flip(mirrored, mirrored, 1);
    }
    const NetworkPass pass = [this](const std::string &, const cv::Mat &picture) {
        std::string passError;
        return m_model->predict(picture, &passError);
    };
    bool added = false;
    cv::Mat result = fromMaps(bgr, map, mirrored, type, m_rules, &m_classic, &added, pass);
    m_last = m_model->name().toStdString() + (added ? "+" + m_classic.name() : std::string());
    if (!KSEdgeRefine::hasSubject(result)) {
        if (error)
            *error = std::string(KSTaskStatus::noSubjectError) + ": the network saw nothing salient in the picture";
        return {};
    }
    return result;
}

double KSHybridCutoutEngine::unsureShare(const cv::Mat &map)
{
    const double subject = cv::countNonZero(map > 0.5f);
    if (subject <= 0)
        return 1.0;
    return cv::countNonZero((map > 0.1f) & (map < 0.9f)) / subject;
}

std::string KSHybridCutoutEngine::name() const
{
    return m_last.empty() ? m_learned.name() : m_last;
}
