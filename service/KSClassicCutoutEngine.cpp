#include "KSClassicCutoutEngine.h"

#include "KSBackdropSurface.h"
#include "KSComponents.h"
#include "KSEdgeRefine.h"
#include "KSTaskStatus.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>

namespace {
enum Side { top, bottom, left, right, sideCount };

struct BackgroundColour
{
    cv::Vec3f centre;
    float tolerance = 0; // Lab distance within which a pixel counts as this colour
};

struct BorderModel
{
    std::vector<BackgroundColour> colours;
    double borderShare = 0; // part of the border these colours cover
    bool plain = false;     // a few colours line the frame
    // Colours close to one another (one backdrop the clustering split by
    // noise or a gradient) together line at least three sides: a subject may
    // leave the frame on one side, while sky or a wall on two sides of a
    // photograph does not make its backdrop plain.
    bool plainBackdrop = false;
};

float labDistance(const cv::Vec3f &a, const cv::Vec3f &b)
{
    const cv::Vec3f d = a - b;
    return std::sqrt(d.dot(d));
}

// The border colour model's numbers.
// Samples taken around the frame in all (at the working size), and the
// rows of the border band read.
constexpr int borderSamples = 6000;
constexpr int bandRowsRead = 3;
// At most this many colour clusters, each with at least this many samples.
constexpr int maxClusters = 6;
constexpr int samplesPerCluster = 20;
// A cluster lines a side when it holds this share of that side's samples.
constexpr double sideLined = 0.5;
// Busy backdrop: a cluster gathered on one side (this share of its samples
// there, and this share of that side) is where the subject leaves the frame.
constexpr double gatheredShare = 0.6;
constexpr double gatheredSide = 0.3;
// A colour's tolerance: its spread times this factor, clamped (Lab units);
// colours closer than this factor times a tolerance are one backdrop.
constexpr float toleranceSpread = 2.5f;
constexpr float tightestTolerance = 7.0f;
constexpr float loosestTolerance = 22.0f;
constexpr float closeColours = 1.2f;
// A border sample within this distance of the backdrop's smooth surface
// (Lab) is backdrop.
constexpr double surfaceReach = 6.0;

struct BorderSamples
{
    std::vector<cv::Vec3f> colours;
    std::vector<int> sides;
    std::vector<cv::Point> at;
};

// Colours read from a few rows of the border band on every side.
BorderSamples sampleBorder(const cv::Mat &lab, int band)
{
    const int rows = lab.rows, cols = lab.cols;
    BorderSamples samples;
    const int step = std::max(1, 2 * (rows + cols) * band / borderSamples);
    auto take = [&](int y, int x, Side side) {
        samples.colours.push_back(lab.at<cv::Vec3f>(y, x));
        samples.sides.push_back(side);
        samples.at.emplace_back(x, y);
    };
    for (int b = 0; b < band; b += std::max(1, band / bandRowsRead)) {
        for (int x = 0; x < cols; x += step) {
            take(b, x, top);
            take(rows - 1 - b, x, bottom);
        }
        for (int y = 0; y < rows; y += step) {
            take(y, b, left);
            take(y, cols - 1 - b, right);
        }
    }
    return samples;
}

struct Clusters
{
    int k = 0;
    cv::Mat centres; // k x 3, Lab
    std::vector<double> count, squared;
    std::vector<std::array<double, sideCount>> onSide;
    std::array<double, sideCount> sideTotal{0, 0, 0, 0};

    [[nodiscard]] cv::Vec3f centre(int c) const { return centres.at<cv::Vec3f>(c); }
    [[nodiscard]] float tolerance(int c) const
    {
        const float spread = float(std::sqrt(squared[size_t(c)] / std::max(1.0, count[size_t(c)])));
        return std::clamp(toleranceSpread * spread, tightestTolerance, loosestTolerance);
    }
    // How many sides the samples of the clusters `member` says line.
    [[nodiscard]] int sidesLined(const std::function<bool(int)> &member) const
    {
        int lined = 0;
        for (int s = 0; s < sideCount; ++s) {
            double onThisSide = 0;
            for (int c = 0; c < k; ++c)
                onThisSide += member(c) ? onSide[size_t(c)][size_t(s)] : 0.0;
            lined += onThisSide >= sideLined * sideTotal[size_t(s)] ? 1 : 0;
        }
        return lined;
    }
};

Clusters clusterBorder(BorderSamples &samples)
{
    Clusters clusters;
    clusters.k = std::min<int>(maxClusters, int(samples.colours.size()) / samplesPerCluster);
    if (clusters.k < 1)
        return clusters;
    const int k = clusters.k;
    cv::Mat data(int(samples.colours.size()), 3, CV_32F, samples.colours.data());
    cv::Mat labels;
    cv::theRNG().state = 0x5eed; // the same picture always gives the same mask
    cv::kmeans(data, k, labels, cv::TermCriteria(cv::TermCriteria::EPS | cv::TermCriteria::COUNT, 20, 0.5), 2,
               cv::KMEANS_PP_CENTERS, clusters.centres);
    clusters.count.assign(size_t(k), 0.0);
    clusters.squared.assign(size_t(k), 0.0);
    clusters.onSide.assign(size_t(k), {0, 0, 0, 0});
    for (size_t i = 0; i < samples.colours.size(); ++i) {
        const int c = labels.at<int>(int(i));
        const float distance = labDistance(samples.colours[i], clusters.centre(c));
        clusters.count[size_t(c)] += 1;
        clusters.squared[size_t(c)] += double(distance) * distance;
        clusters.onSide[size_t(c)][size_t(samples.sides[i])] += 1;
        clusters.sideTotal[size_t(samples.sides[i])] += 1;
    }
    return clusters;
}

// Groups of close colours: one backdrop the clustering split by noise, a
// vignette or a gradient (each cluster's group, by index).
std::vector<int> closeColourGroups(const Clusters &clusters)
{
    const int k = clusters.k;
    std::vector<int> group(static_cast<size_t>(k));
    for (int c = 0; c < k; ++c)
        group[size_t(c)] = c;
    for (int c = 0; c < k; ++c) {
        for (int b = 0; b < c; ++b) {
            const int from = group[size_t(c)], to = group[size_t(b)];
            if (from != to
                && labDistance(clusters.centre(c), clusters.centre(b))
                       < closeColours * std::min(clusters.tolerance(c), clusters.tolerance(b)))
                std::replace(group.begin(), group.end(), from, to);
        }
    }
    return group;
}

// How many sides the clusters of group `g` line together.
int sidesLinedByGroup(const Clusters &clusters, const std::vector<int> &group, int g)
{
    return clusters.sidesLined([&](int c) { return group[size_t(c)] == g; });
}

// Plain backdrop: the clusters lining at least two sides, alone or with
// the close colours noise split them into (a one-colour backdrop may come
// out as six clusters none of which lines a side on its own). Busy backdrop
// (none does): every cluster but those gathered on one side, which is where
// a subject leaves the frame.
std::vector<bool> backgroundClusters(const Clusters &clusters, bool *plain)
{
    const int k = clusters.k;
    std::vector<bool> background(size_t(k), false);
    const std::vector<int> group = closeColourGroups(clusters);
    *plain = false;
    for (int c = 0; c < k; ++c) {
        background[size_t(c)] = clusters.sidesLined([c](int other) { return other == c; }) >= 2
                                || sidesLinedByGroup(clusters, group, group[size_t(c)]) >= 2;
        *plain = *plain || background[size_t(c)];
    }
    if (*plain)
        return background;
    for (int c = 0; c < k; ++c) {
        const auto &perSide = clusters.onSide[size_t(c)];
        const size_t main = size_t(std::max_element(perSide.begin(), perSide.end()) - perSide.begin());
        background[size_t(c)] = !(perSide[main] >= gatheredShare * clusters.count[size_t(c)]
                                  && perSide[main] >= gatheredSide * clusters.sideTotal[main]);
    }
    return background;
}

// Colours close to a background colour are background too (a gradient
// backdrop splits into neighbouring clusters).
void growByCloseness(const Clusters &clusters, std::vector<bool> &background)
{
    for (bool grew = true; grew;) {
        grew = false;
        for (int c = 0; c < clusters.k; ++c) {
            for (int b = 0; b < clusters.k && !background[size_t(c)]; ++b) {
                if (background[size_t(b)]
                    && labDistance(clusters.centre(c), clusters.centre(b)) < closeColours * clusters.tolerance(b))
                    background[size_t(c)] = grew = true;
            }
        }
    }
}

// Whether close colours together line at least three sides.
bool closeColoursLineThreeSides(const Clusters &clusters)
{
    const std::vector<int> group = closeColourGroups(clusters);
    for (int g = 0; g < clusters.k; ++g)
        if (sidesLinedByGroup(clusters, group, g) >= 3)
            return true;
    return false;
}

// Clusters the colours of the border band; a cluster is background when it
// lines at least two sides, or when its colour is close to one that does.
// A subject that touches the frame usually fills one side only, so it
// stays out.
// `flatBackdrop`, when given, is the colour of a backdrop whose smooth
// surface was taken off: it is plain by construction, and the clusters
// noise splits it into are all background, whether or not one of them
// alone lines two sides.
BorderModel borderModel(BorderSamples &samples, const std::optional<cv::Vec3f> &flatBackdrop = std::nullopt)
{
    const Clusters clusters = clusterBorder(samples);
    BorderModel model;
    if (clusters.k < 1)
        return model;
    std::vector<bool> background = backgroundClusters(clusters, &model.plain);
    if (flatBackdrop) {
        // Not the busy backdrop's rule, which would take in a subject's
        // colours split between clusters.
        model.plain = true;
        for (int c = 0; c < clusters.k; ++c)
            background[size_t(c)] =
                labDistance(clusters.centre(c), *flatBackdrop) < std::max(clusters.tolerance(c), float(surfaceReach))
                || clusters.sidesLined([c](int other) { return other == c; }) >= 2;
    }
    growByCloseness(clusters, background);
    model.plainBackdrop = closeColoursLineThreeSides(clusters);
    for (int c = 0; c < clusters.k; ++c) {
        if (!background[size_t(c)])
            continue;
        model.colours.push_back({clusters.centre(c), clusters.tolerance(c)});
        model.borderShare += clusters.count[size_t(c)] / double(samples.colours.size());
    }
    return model;
}

BorderModel borderModel(const cv::Mat &lab, int band, const std::optional<cv::Vec3f> &flatBackdrop = std::nullopt)
{
    BorderSamples samples = sampleBorder(lab, band);
    return borderModel(samples, flatBackdrop);
}

// How far a colour is from the nearest background colour, in units of that
// colour's tolerance: below 1 means background-coloured.
float backgroundDistance(const cv::Vec3f &colour, const BorderModel &model)
{
    float nearest = 1e6f;
    for (const BackgroundColour &background : model.colours)
        nearest = std::min(nearest, labDistance(colour, background.centre) / background.tolerance);
    return nearest;
}

// How far each pixel is from the nearest background colour, in units of
// that colour's tolerance: below 1 means background-coloured.
cv::Mat backgroundDistance(const cv::Mat &lab, const BorderModel &model)
{
    cv::Mat distance(lab.size(), CV_32F);
    for (int y = 0; y < lab.rows; ++y) {
        const auto *pixel = lab.ptr<cv::Vec3f>(y);
        auto *out = distance.ptr<float>(y);
        for (int x = 0; x < lab.cols; ++x)
            out[x] = backgroundDistance(pixel[x], model);
    }
    return distance;
}

// A backdrop that is plain but not one colour is a smooth surface
// (KSBackdropSurface) fitted to the border's backdrop samples. A quadratic
// is what the border of a rectangle determines alone, so the inside is not
// guessed wildly.
// The spread of residuals is never taken below the noise of a clean
// backdrop (Lab).
constexpr double spreadFloor = 1.5;
// The surface is taken off only when it changes by at least this much over
// the picture (Lab): a backdrop of one colour is left as it is.
constexpr double smallestChange = 4.0;
constexpr int changeGrid = 9;

// The surface's coefficients (KSBackdropSurface::terms x 3, CV_64F), or
// empty when it does not line at least three sides or hardly changes.
cv::Mat backdropSurface(const BorderSamples &samples, const BorderModel &model, cv::Size size)
{
    const int n = int(samples.colours.size());
    std::vector<cv::Point2d> at(static_cast<size_t>(n));
    std::vector<double> weight(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        at[size_t(i)] = {samples.at[size_t(i)].x + 0.5, samples.at[size_t(i)].y + 0.5};
        // The border model's backdrop colours are where the fit starts.
        weight[size_t(i)] = backgroundDistance(samples.colours[size_t(i)], model) < 1.0f ? 1.0 : 0.0;
    }
    std::vector<double> residual;
    const cv::Mat coefficients = KSBackdropSurface::fit(at, samples.colours, weight, size, spreadFloor, &residual);
    if (coefficients.empty())
        return {};

    std::array<double, sideCount> near{0, 0, 0, 0}, total{0, 0, 0, 0};
    for (int i = 0; i < n; ++i) {
        total[size_t(samples.sides[size_t(i)])] += 1;
        near[size_t(samples.sides[size_t(i)])] += residual[size_t(i)] < surfaceReach ? 1 : 0;
    }
    int lined = 0;
    for (int s = 0; s < sideCount; ++s)
        lined += near[size_t(s)] >= sideLined * total[size_t(s)] ? 1 : 0;
    if (lined < 3)
        return {};

    std::vector<cv::Vec3d> grid;
    cv::Vec3d mean(0, 0, 0);
    for (int gy = 0; gy < changeGrid; ++gy)
        for (int gx = 0; gx < changeGrid; ++gx) {
            const cv::Mat value = cv::Mat(KSBackdropSurface::termsAt(size.width * gx / (changeGrid - 1.0),
                                                                     size.height * gy / (changeGrid - 1.0), size))
                * coefficients;
            grid.emplace_back(value.at<double>(0), value.at<double>(1), value.at<double>(2));
            mean += grid.back() / double(changeGrid * changeGrid);
        }
    double change = 0;
    for (const cv::Vec3d &value : grid)
        change = std::max(change, cv::norm(value - mean));
    return change >= smallestChange ? coefficients : cv::Mat();
}

// The GrabCut start: background reached from the border is background (for
// certain away from the subject's outline), enclosed background-coloured
// areas probably background, everything else probably subject, and, when
// the backdrop is plain, the inside of large subject areas certainly subject.
cv::Mat initialMask(const cv::Mat &distance, const BorderModel &model)
{
    const cv::Mat backgroundColoured = distance < 1.0f;
    const cv::Mat outside = KSEdgeRefine::touchingFrame(backgroundColoured);

    cv::Mat nearOutline;
    const int margin = std::max(2, std::min(distance.rows, distance.cols) / 100);
    cv::dilate(~outside, nearOutline, cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * margin + 1, 2 * margin + 1}));

    cv::Mat mask(distance.size(), CV_8U, cv::Scalar(cv::GC_PR_FGD));
    mask.setTo(cv::GC_PR_BGD, backgroundColoured);
    if (!model.plain) {
        // On a busy backdrop colours say little: only the frame's own
        // background-coloured pixels are certain.
        cv::Mat frame(distance.size(), CV_8U, cv::Scalar(255));
        frame(cv::Rect(margin, margin, distance.cols - 2 * margin, distance.rows - 2 * margin)).setTo(0);
        mask.setTo(cv::GC_BGD, frame & backgroundColoured);
        return mask;
    }
    mask.setTo(cv::GC_BGD, outside & ~nearOutline);

    if (model.borderShare >= 0.6) {
        cv::Mat inside;
        cv::distanceTransform(~outside, inside, cv::DIST_L2, 3);
        const float deep = float(std::min(distance.rows, distance.cols)) * 0.05f;
        mask.setTo(cv::GC_FGD, (inside > deep) & ~backgroundColoured);
    }
    return mask;
}

// Keeps the subject's components (the largest and those of comparable size),
// drops stray blobs, fills small holes and holes GrabCut left although they
// are not background-coloured.
cv::Mat cleanSubject(const cv::Mat &subject, const cv::Mat &distance, KSEraserType type)
{
    cv::Mat clean;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, {3, 3});
    cv::morphologyEx(subject, clean, cv::MORPH_OPEN, kernel);
    cv::morphologyEx(clean, clean, cv::MORPH_CLOSE, kernel);

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(clean, labels, stats, centroids, 8, CV_32S);
    if (count <= 1)
        return clean;
    int largest = 0;
    for (int i = 1; i < count; ++i)
        largest = std::max(largest, stats.at<int>(i, cv::CC_STAT_AREA));
    const double imageArea = double(subject.total());
    const double keepShare = type == KSEraserType::person ? 0.2 : 0.08;
    std::vector<uchar> keep(size_t(count), 0);
    for (int i = 1; i < count; ++i) {
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        keep[size_t(i)] = area == largest || (area >= keepShare * largest && area >= 0.002 * imageArea);
    }

    cv::Mat result = KSComponents::kept(labels, keep);

    const cv::Mat holes = ~result & ~KSEdgeRefine::touchingFrame(~result);
    const int holeCount = cv::connectedComponentsWithStats(holes, labels, stats, centroids, 4, CV_32S);
    std::vector<double> coloured(size_t(holeCount), 0.0);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        const float *d = distance.ptr<float>(y);
        for (int x = 0; x < labels.cols; ++x)
            coloured[size_t(label[x])] += d[x] < 1.0f ? 1.0 : 0.0;
    }
    for (int i = 1; i < holeCount; ++i) {
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        if (area < 0.001 * imageArea || coloured[size_t(i)] < 0.5 * area)
            result.setTo(255, labels == i);
    }
    return result;
}
// What the segmentation kept must look like a subject, not slivers of the
// scenery (shares of the picture; bench_engine_refusals measures them on the
// quality set, whose smallest subject covers 12.6 % of its photo, while the
// slivers kept of busy greyscale photos covered 0.7 to 3.3 %, or 7.9 % by
// the frame, and missed the subject). On a plain backdrop the engine is
// trusted down to a small subject, in parts or whole, wherever it stands. On
// a busy one, where colours tell little, the mask's largest part must be of
// a subject's size, and not a small thing by the frame away from where
// photographs put their subject: GrabCut there settles on pieces of scenery.
constexpr double smallestSubject = 0.01;
constexpr double smallestOnBusyBackdrop = 0.05;
// Busy backdrop: a largest part below this share whose centre lies this far
// out (1: the frame's edge, along each axis from the centre) is by the frame.
constexpr double smallOnBusyBackdrop = 0.10;
constexpr double edgeDistance = 0.75;

// Why the subject (binary, at the working size) is no subject; empty when it is one.
std::string notASubject(const cv::Mat &subject, bool plainBackdrop)
{
    const double area = double(subject.total());
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(subject, labels, stats, centroids, 8, CV_32S);
    int largest = 0;
    double total = 0;
    for (int i = 1; i < count; ++i) {
        total += stats.at<int>(i, cv::CC_STAT_AREA);
        if (!largest || stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA))
            largest = i;
    }
    const double largestShare = largest ? stats.at<int>(largest, cv::CC_STAT_AREA) / area : 0.0;
    if (total / area < smallestSubject || (!plainBackdrop && largestShare < smallestOnBusyBackdrop))
        return "no subject found: the segmentation kept only slivers of the picture";
    if (plainBackdrop || largestShare >= smallOnBusyBackdrop)
        return {};
    const double x = (centroids.at<double>(largest, 0) - subject.cols / 2.0) / (subject.cols / 2.0);
    const double y = (centroids.at<double>(largest, 1) - subject.rows / 2.0) / (subject.rows / 2.0);
    if (std::hypot(x, y) > edgeDistance)
        return "no subject found: the segmentation kept a small part by the frame, away from the picture's subject";
    return {};
}

struct WorkPicture
{
    double scale = 1;
    cv::Mat small, lab; // BGR 8-bit and Lab float at the working size; empty when too small
    int band = 2;       // width of the border band the backdrop is read from
};

WorkPicture workPicture(const cv::Mat &bgr, int side)
{
    WorkPicture work;
    work.scale = std::min(1.0, double(side) / std::max(bgr.cols, bgr.rows));
    cv::resize(bgr, work.small, cv::Size(), work.scale, work.scale, cv::INTER_AREA);
    if (work.small.cols < 8 || work.small.rows < 8) {
        work.small.release();
        return work;
    }
    work.small.convertTo(work.lab, CV_32F, 1.0 / 255.0);
    cv::cvtColor(work.lab, work.lab, cv::COLOR_BGR2Lab);
    work.band = std::max(2, std::min(work.small.rows, work.small.cols) / 50);
    return work;
}
// The picture with its backdrop's smooth surface taken off (when it has
// one): its colours less the surface plus the surface's mean, so that the
// backdrop is one colour and the subject's colours move by no more than
// the backdrop's own change.
// Returns the backdrop's one colour, or nothing when it is left as it was.
std::optional<cv::Vec3f> flattenBackdrop(WorkPicture &work)
{
    BorderSamples samples = sampleBorder(work.lab, work.band);
    const BorderModel model = borderModel(samples);
    const cv::Mat coefficients = backdropSurface(samples, model, work.lab.size());
    if (coefficients.empty())
        return std::nullopt;
    const cv::Mat surface = KSBackdropSurface::render(coefficients, work.lab.size());
    const cv::Scalar mean = cv::mean(surface);
    work.lab = work.lab - surface + mean;
    cv::Mat bgr;
    cv::cvtColor(work.lab, bgr, cv::COLOR_Lab2BGR);
    bgr.convertTo(work.small, CV_8U, 255.0);
    return cv::Vec3f(float(mean[0]), float(mean[1]), float(mean[2]));
}
} // namespace

KSClassicCutoutEngine::KSClassicCutoutEngine(Rules rules)
    : m_rules(rules)
{
}

bool KSClassicCutoutEngine::plainBackdrop(const cv::Mat &input)
{
    const cv::Mat bgr = KSEdgeRefine::colourPicture(input, nullptr);
    if (bgr.empty())
        return true;
    const WorkPicture work = workPicture(bgr, workSide);
    return work.small.empty() || borderModel(work.lab, work.band).plainBackdrop;
}

std::string KSClassicCutoutEngine::name() const
{
    return "classic-grabcut";
}

cv::Mat KSClassicCutoutEngine::mask(const cv::Mat &input, KSEraserType type, std::string *error)
{
    const cv::Mat bgr = KSEdgeRefine::colourPicture(input, error);
    if (bgr.empty())
        return {};

    WorkPicture work = workPicture(bgr, KSClassicCutoutEngine::workSide);
    if (work.small.empty()) {
        if (error)
            *error = "the picture is too small to cut out";
        return {};
    }
    const std::optional<cv::Vec3f> flatBackdrop = m_rules.smoothBackdrop ? flattenBackdrop(work) : std::nullopt;
    const double scale = work.scale;
    const cv::Mat &small = work.small, &lab = work.lab;
    const BorderModel model = borderModel(lab, work.band, flatBackdrop);
    const cv::Mat distance = backgroundDistance(lab, model);
    cv::Mat gc = initialMask(distance, model);

    const double subjectShare = double(cv::countNonZero(gc & 1)) / double(gc.total());
    if (subjectShare < KSEdgeRefine::smallestSubject) {
        if (error)
            *error = std::string(KSTaskStatus::noSubjectError) + ": the whole picture has the colours of its border";
        return {};
    }
    if (subjectShare > 1.0 - KSEdgeRefine::smallestSubject)
        return cv::Mat(bgr.size(), CV_8U, cv::Scalar(255));

    try {
        cv::Mat backgroundModel, subjectModel;
        cv::grabCut(small, gc, cv::Rect(), backgroundModel, subjectModel, 4, cv::GC_INIT_WITH_MASK);
    } catch (const cv::Exception &) {
        // A model without samples: the initial mask is the best answer there is.
    }
    const cv::Mat subject = cleanSubject((gc & 1) * 255, distance, type);
    if (const std::string why = notASubject(subject, model.plain); !why.empty()) {
        if (error)
            *error = why;
        return {};
    }

    // Up to the picture's size, then edges that follow the picture's own edges.
    cv::Mat soft;
    subject.convertTo(soft, CV_32F, 1.0 / 255.0);
    cv::GaussianBlur(soft, soft, {3, 3}, 0);
    cv::Mat result = KSEdgeRefine::toPicture(bgr, soft, std::max(2, int(std::lround(1.5 / scale))), 1e-3);
    if (!KSEdgeRefine::hasSubject(result)) {
        if (error)
            *error = std::string(KSTaskStatus::noSubjectError) + ": the segmentation left next to nothing of the picture";
        return {};
    }
    return result;
}
