#include "KSBusyBackdropRules.h"

#include "KSHybridCutoutEngine.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace KSBusyBackdropRules {
namespace {

constexpr float sure = 0.9f;

cv::Mat disc(int radius)
{
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * radius + 1, 2 * radius + 1});
}

cv::Rect sureBox(const cv::Mat &map)
{
    std::vector<cv::Point> points;
    cv::findNonZero(map >= sure, points);
    return points.empty() ? cv::Rect() : cv::boundingRect(points);
}

// The subject split where a photo's scenery joins it: the main body, and the
// parts that are either components of their own or joined to the body only
// through a neck narrower than the opening's disc. Each part comes with the
// disc's radius it survived.
struct Split
{
    cv::Mat subject, body;
    std::vector<cv::Mat> parts;
    int radius = 0;
};

Split pieces(const cv::Mat &map)
{
    Split s;
    s.subject = map >= 0.5f;
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(s.subject, labels, stats, centroids, 8, CV_32S);
    if (count <= 1)
        return s;
    int main = 1;
    for (int i = 2; i < count; ++i)
        if (stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(main, cv::CC_STAT_AREA))
            main = i;
    const cv::Mat mainComponent = labels == main;
    const double minimum = std::max(0.001 * double(map.total()), 0.02 * stats.at<int>(main, cv::CC_STAT_AREA));
    for (int i = 1; i < count; ++i)
        if (i != main && stats.at<int>(i, cv::CC_STAT_AREA) >= minimum)
            s.parts.push_back(labels == i);

    // The opening's disc from the main body's thickness: a quarter of its
    // inscribed radius keeps a torso whole but parts a flower from a stem.
    cv::Mat distance;
    cv::distanceTransform(mainComponent, distance, cv::DIST_L2, 3);
    double thickest = 0;
    cv::minMaxLoc(distance, nullptr, &thickest);
    s.radius = std::max(2, int(std::lround(0.25 * thickest)));
    // The cores left after eroding by the disc: the opening would keep two
    // fat shapes that merely touch as one, erosion parts them.
    cv::Mat cores;
    cv::erode(mainComponent, cores, disc(s.radius));
    const int pieces = cv::connectedComponentsWithStats(cores, labels, stats, centroids, 8, CV_32S);
    if (pieces <= 2) {
        s.body = mainComponent;
        return s;
    }
    int largest = 1;
    for (int i = 2; i < pieces; ++i)
        if (stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA))
            largest = i;
    cv::Mat body;
    cv::dilate(labels == largest, body, disc(s.radius));
    body &= mainComponent;
    // The body keeps the thin parts erosion took off it (arms, stems,
    // necks), as far as they are not a part's.
    s.body = mainComponent.clone();
    for (int i = 1; i < pieces; ++i) {
        if (i == largest)
            continue;
        // "Much narrower than itself": the part is at least twice as thick
        // as the neck erosion cut.
        double pieceThickest = 0;
        cv::minMaxLoc(distance, nullptr, &pieceThickest, nullptr, nullptr, labels == i);
        if (pieceThickest < 2.0 * s.radius)
            continue;
        cv::Mat part;
        cv::dilate(labels == i, part, disc(s.radius + 1));
        part &= mainComponent & ~body;
        if (cv::countNonZero(part) < minimum)
            continue;
        s.body.setTo(0, part);
        s.parts.push_back(part);
    }
    return s;
}

Split split(const cv::Mat &map)
{
    Split s = pieces(map);
    // A part as large as what is left of the body may be the subject
    // itself (a face beside a large flower the network preferred), and a
    // part the frame cuts is the frame-cut rule's to judge: a subject that
    // fills the frame runs off it.
    const double bodyArea = cv::countNonZero(s.body);
    const cv::Rect inner(1, 1, map.cols - 2, map.rows - 2);
    std::erase_if(s.parts, [&](const cv::Mat &part) {
        const cv::Rect box = cv::boundingRect(part);
        return cv::countNonZero(part) > 0.5 * bodyArea || (box & inner) != box;
    });
    return s;
}

// The photo's colours, quantised in Lab (16 levels each), with the bins a
// region holds at least a little of, grown by one bin for the shades a
// palette of a few pixels misses.
constexpr int levels = 16;

cv::Mat binsOf(const cv::Mat &lab)
{
    cv::Mat bins(lab.size(), CV_16U);
    for (int y = 0; y < lab.rows; ++y) {
        const cv::Vec3b *p = lab.ptr<cv::Vec3b>(y);
        ushort *b = bins.ptr<ushort>(y);
        for (int x = 0; x < lab.cols; ++x)
            b[x] = ushort((p[x][0] / levels) * levels * levels + (p[x][1] / levels) * levels + p[x][2] / levels);
    }
    return bins;
}

std::vector<uchar> palette(const cv::Mat &bins, const cv::Mat &region)
{
    std::vector<int> count(levels * levels * levels, 0);
    int total = 0;
    for (int y = 0; y < bins.rows; ++y) {
        const ushort *b = bins.ptr<ushort>(y);
        const uchar *r = region.ptr<uchar>(y);
        for (int x = 0; x < bins.cols; ++x)
            if (r[x]) {
                ++count[b[x]];
                ++total;
            }
    }
    std::vector<uchar> held(count.size(), 0);
    const int least = std::max(2, int(0.002 * total));
    for (int l = 0; l < levels; ++l)
        for (int a = 0; a < levels; ++a)
            for (int b = 0; b < levels; ++b) {
                if (count[size_t((l * levels + a) * levels + b)] < least)
                    continue;
                for (int dl = std::max(0, l - 1); dl <= std::min(levels - 1, l + 1); ++dl)
                    for (int da = std::max(0, a - 1); da <= std::min(levels - 1, a + 1); ++da)
                        for (int db = std::max(0, b - 1); db <= std::min(levels - 1, b + 1); ++db)
                            held[size_t((dl * levels + da) * levels + db)] = 1;
            }
    return held;
}

// The share of a region's pixels whose colour the palette holds.
double shareIn(const cv::Mat &bins, const cv::Mat &region, const std::vector<uchar> &held)
{
    int in = 0, total = 0;
    for (int y = 0; y < bins.rows; ++y) {
        const ushort *b = bins.ptr<ushort>(y);
        const uchar *r = region.ptr<uchar>(y);
        for (int x = 0; x < bins.cols; ++x)
            if (r[x]) {
                in += held[b[x]];
                ++total;
            }
    }
    return total ? double(in) / total : 1.0;
}

// Clears a dropped part and its soft fringe from the map, but not the kept
// subject's fringe.
void clear(cv::Mat &map, const cv::Mat &part, const cv::Mat &kept)
{
    cv::Mat fringe, keptFringe;
    cv::dilate(part, fringe, disc(3));
    cv::dilate(kept, keptFringe, disc(2));
    map.setTo(0.0f, (fringe & ~keptFringe) | part);
}

// The Laplacian's and the gradient's energy at each pixel of a grey picture.
struct Energies
{
    cv::Mat laplacian, gradient;
    explicit Energies(const cv::Mat &grey)
    {
        cv::Mat g, lap, gx, gy;
        grey.convertTo(g, CV_32F);
        cv::Laplacian(g, lap, CV_32F, 3);
        cv::Sobel(g, gx, CV_32F, 1, 0, 3);
        cv::Sobel(g, gy, CV_32F, 0, 1, 3);
        laplacian = lap.mul(lap);
        gradient = gx.mul(gx) + gy.mul(gy);
    }
    double sharpness(const cv::Mat &region) const
    {
        if (cv::countNonZero(region) == 0)
            return 0.0;
        const double g = cv::mean(gradient, region)[0];
        return g > 0 ? cv::mean(laplacian, region)[0] / g : 0.0;
    }
};

// The map with the parts `isScenery` picks cleared; *dropped counts them.
template<typename Picks>
cv::Mat dropParts(const Split &s, const cv::Mat &map, int *dropped, Picks isScenery)
{
    int count = 0;
    cv::Mat result = map;
    for (const cv::Mat &part : s.parts) {
        if (!isScenery(part))
            continue;
        if (count++ == 0)
            result = map.clone();
        clear(result, part, s.subject & ~part);
    }
    if (dropped)
        *dropped = count;
    return result;
}

} // namespace

cv::Rect secondLookCrop(const cv::Mat &map)
{
    const cv::Rect box = sureBox(map);
    if (box.empty())
        return {};
    const int margin = int(std::lround(0.2 * std::max(box.width, box.height)));
    const cv::Rect crop = cv::Rect(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin)
                          & cv::Rect(0, 0, map.cols, map.rows);
    // Most of the frame: the network would see the subject no larger.
    if (crop.area() > 0.6 * double(map.total()))
        return {};
    return crop;
}

bool wantsSecondLook(const cv::Mat &map, double fromUnsure)
{
    const cv::Rect box = sureBox(map);
    return !box.empty()
           && (KSHybridCutoutEngine::unsureShare(map) >= fromUnsure || box.area() < 0.1 * double(map.total()));
}

cv::Mat secondLook(const cv::Mat &photo, const cv::Mat &map, const NetworkPass &pass, Blend blend, double fromUnsure,
                   bool *ran, double keepsSure)
{
    if (ran)
        *ran = false;
    if (!pass || !wantsSecondLook(map, fromUnsure))
        return map;
    const cv::Rect crop = secondLookCrop(map);
    if (crop.empty())
        return map;
    const double sx = double(photo.cols) / map.cols, sy = double(photo.rows) / map.rows;
    const cv::Rect inPhoto = cv::Rect(int(std::floor(crop.x * sx)), int(std::floor(crop.y * sy)),
                                      int(std::ceil(crop.width * sx)), int(std::ceil(crop.height * sy)))
                             & cv::Rect(0, 0, photo.cols, photo.rows);
    if (inPhoto.width < 8 || inPhoto.height < 8)
        return map;
    const cv::Mat second = pass("crop", photo(inPhoto).clone());
    if (second.empty())
        return map;
    if (ran)
        *ran = true;
    cv::Mat placed;
    cv::resize(second, placed, crop.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat result = map.clone();
    cv::Mat first = map(crop), out = result(crop);
    if (keepsSure > 0) {
        const cv::Mat sure = first >= 0.9f;
        const int sureCount = cv::countNonZero(sure);
        if (sureCount > 0 && cv::countNonZero(sure & (placed > 0.5f)) < keepsSure * sureCount)
            return map;
    }
    switch (blend) {
    case Blend::mean:
        out = 0.5 * (first + placed);
        break;
    case Blend::product: {
        cv::Mat product = first.mul(placed);
        cv::sqrt(product, out);
        break;
    }
    case Blend::unsure:
        placed.copyTo(out, (first > 0.1f) & (first < 0.9f));
        break;
    }
    return result;
}

double sharpness(const cv::Mat &grey, const cv::Mat &region)
{
    return Energies(grey).sharpness(region);
}

cv::Mat dropBlurredParts(const cv::Mat &bgr, const cv::Mat &map, int *dropped)
{
    const Split s = split(map);
    if (s.parts.empty())
        return dropParts(s, map, dropped, [](const cv::Mat &) { return false; });
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    const Energies energies(grey);
    // Inside each region, away from the outline, whose sharpness is the
    // edge between subject and backdrop rather than the region's own.
    auto inside = [](const cv::Mat &region) {
        cv::Mat inner;
        cv::erode(region, inner, disc(2));
        return inner;
    };
    cv::Mat nearSubject;
    cv::dilate(s.subject, nearSubject, disc(6));
    const double body = energies.sharpness(inside(s.body)),
                 backdrop = energies.sharpness((map < 0.05f) & ~nearSubject);
    // Only when the photo has a depth of field to tell by.
    const bool depthOfField = body > 0 && backdrop < 0.4 * body;
    return dropParts(s, map, dropped, [&](const cv::Mat &part) {
        const cv::Mat inner = inside(part);
        return depthOfField && cv::countNonZero(inner) >= 20 && energies.sharpness(inner) < 0.35 * body;
    });
}

cv::Mat dropNeckedParts(const cv::Mat &bgr, const cv::Mat &map, int *dropped)
{
    const Split s = split(map);
    cv::Mat bins;
    if (!s.parts.empty()) {
        cv::Mat lab;
        cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
        bins = binsOf(lab);
    }
    return dropParts(s, map, dropped, [&](const cv::Mat &part) {
        // The rest of the subject, thin parts and all: a head's skin is the
        // hands' and neck's.
        return shareIn(bins, part, palette(bins, s.subject & ~part)) < 0.5;
    });
}

} // namespace KSBusyBackdropRules
