#include "KSMatteRefine.h"

#include "KSBoxFilters.h"
#include "KSPhotoRenderTools.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// Side of the square tiles the band is cut into.
constexpr int tileSide = 64;
// The band's slope is steepened by this factor about the middle level: the
// network's edges, stretched from its own resolution, are softer than the
// photo's (measured on the scored set, where this lowers the edges' colour
// error and the mask's error; a guided filter led by the photo raised both).
constexpr double edgeSteepness = 1.3;
// Foreground estimation: the coarse pass's long side and blur radius (as a
// share of that side), and the fine blur's radius in mask pixels.
constexpr int coarseSide = 320;
constexpr double coarseRadiusShare = 1.0 / 60.0;
constexpr double fineRadiusInMaskPixels = 2.0;
// A mask far smaller than the photo would otherwise give radii of hundreds
// of pixels, and every tile would read a window many times its size.
constexpr int maxFineRadius = tileSide / 2;

bool inBand(uchar value)
{
    return uchar(value - 1) < 254; // 1..254
}

// The tiles that hold part of the band. `alpha` is a plane of its own
// (step 1) or the fourth byte of a 4-channel photo (step 4).
std::vector<cv::Rect> bandTiles(const cv::Mat &alpha, int step = 1, int offset = 0)
{
    const int columns = (alpha.cols + tileSide - 1) / tileSide, rows = (alpha.rows + tileSide - 1) / tileSide;
    std::vector<uchar> flagged(size_t(columns) * size_t(rows), 0);
    cv::parallel_for_(cv::Range(0, rows), [&](const cv::Range &range) {
        for (int ty = range.start; ty < range.end; ++ty) {
            for (int y = ty * tileSide; y < std::min(alpha.rows, (ty + 1) * tileSide); ++y) {
                const uchar *row = alpha.ptr<uchar>(y) + offset;
                for (int x = 0; x < alpha.cols; ++x)
                    if (inBand(row[x * step]))
                        flagged[size_t(ty) * size_t(columns) + size_t(x / tileSide)] = 1;
            }
        }
    });
    std::vector<cv::Rect> tiles;
    const cv::Rect frame(0, 0, alpha.cols, alpha.rows);
    for (int ty = 0; ty < rows; ++ty)
        for (int tx = 0; tx < columns; ++tx)
            if (flagged[size_t(ty) * size_t(columns) + size_t(tx)])
                tiles.push_back(cv::Rect(tx * tileSide, ty * tileSide, tileSide, tileSide) & frame);
    return tiles;
}

cv::Rect grown(const cv::Rect &r, int margin, const cv::Size &size)
{
    return cv::Rect(r.x - margin, r.y - margin, r.width + 2 * margin, r.height + 2 * margin)
           & cv::Rect(0, 0, size.width, size.height);
}

cv::Mat floatColour(const cv::Mat &bgra)
{
    cv::Mat bgr, result;
    cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
    bgr.convertTo(result, CV_32F, 1.0 / 255.0);
    return result;
}

// The colour's local mean where the weight lies (3-channel float, weight
// one-channel float), within 0..1.
cv::Mat weightedMean(const cv::Mat &colour, const cv::Mat &weight, int radius)
{
    // Where the weight is nearly nil all round, both sums are rounding noise
    // and their ratio can be anything: a colour stays a colour.
    cv::Mat mean = KSBoxFilters::weightedMean(colour, weight, radius);
    cv::min(cv::max(mean, 0.0), 1.0, mean);
    return mean;
}

// One blur-fusion step: from the local means of subject and backdrop, the
// subject's and backdrop's colours that explain the photo under alpha.
void fuse(const cv::Mat &image, const cv::Mat &alpha, const cv::Mat &meanF, const cv::Mat &meanB, cv::Mat *f,
          cv::Mat *b)
{
    cv::Mat alpha3;
    cv::merge(std::vector<cv::Mat>(3, alpha), alpha3);
    const cv::Mat inverse3 = cv::Scalar::all(1.0) - alpha3;
    const cv::Mat residual = image - alpha3.mul(meanF) - inverse3.mul(meanB);
    *f = meanF + alpha3.mul(residual);
    if (b)
        *b = meanB + inverse3.mul(residual);
}

struct Coarse
{
    cv::Mat meanF, meanB; // at the mask's size, 3-channel float
    double scaleX = 1, scaleY = 1; // photo pixels per mask pixel
};

// The coarse pass: local means of subject and backdrop over a wide radius,
// on a small copy of the photo. They are smooth, so stretching them back
// costs nothing; sampling the photo there without averaging is fine too,
// since the wide blur averages anyway.
Coarse coarsePass(const cv::Mat &bgra, const cv::Mat &mask)
{
    const double shrink = std::min(1.0, double(coarseSide) / std::max(mask.cols, mask.rows));
    const cv::Size size(std::max(1, int(std::lround(mask.cols * shrink))), std::max(1, int(std::lround(mask.rows * shrink))));
    Coarse c;
    c.scaleX = double(bgra.cols) / size.width;
    c.scaleY = double(bgra.rows) / size.height;
    cv::Mat small, smallMask, alpha;
    cv::resize(bgra, small, size, 0, 0, cv::INTER_LINEAR);
    cv::resize(mask, smallMask, size, 0, 0, cv::INTER_AREA);
    smallMask.convertTo(alpha, CV_32F, 1.0 / 255.0);
    const cv::Mat image = floatColour(small);
    const int radius = std::max(2, int(std::lround(std::max(size.width, size.height) * coarseRadiusShare)));
    c.meanF = weightedMean(image, alpha, radius);
    c.meanB = weightedMean(image, cv::Scalar::all(1.0) - alpha, radius);
    return c;
}

// A smaller map sampled at the photo's pixels of `region`, pixel centres on
// pixel centres, as cv::resize stretches; `scaleX` and `scaleY` are photo
// pixels per map pixel.
void stretched(const cv::Mat &map, double scaleX, double scaleY, const cv::Rect &region, cv::Mat &result)
{
    const cv::Mat toSource = (cv::Mat_<double>(2, 3) << 1.0 / scaleX, 0, (region.x + 0.5) / scaleX - 0.5, 0,
                              1.0 / scaleY, (region.y + 0.5) / scaleY - 0.5);
    cv::warpAffine(map, result, toSource, region.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                   cv::BORDER_REPLICATE);
}

cv::Mat stretched(const cv::Mat &coarse, const Coarse &c, const cv::Rect &region)
{
    cv::Mat result;
    stretched(coarse, c.scaleX, c.scaleY, region, result);
    return result;
}

// The subject's own colours over one tile (BGR, 8-bit): the coarse pass's
// means brought to the photo's pixels, then a fine blur-fusion pass.
// `alpha` is the mask at the photo's size, or empty when it lies in the
// photo's fourth byte.
cv::Mat subjectColours(const cv::Mat &bgra, const cv::Mat &alpha, const Coarse &coarse, const cv::Rect &tile,
                       int fine)
{
    const cv::Rect region = grown(tile, fine, bgra.size());
    const cv::Mat image = floatColour(bgra(region));
    cv::Mat levels, a, f, b;
    if (alpha.empty())
        cv::extractChannel(bgra(region), levels, 3);
    else
        levels = alpha(region);
    levels.convertTo(a, CV_32F, 1.0 / 255.0);
    fuse(image, a, stretched(coarse.meanF, coarse, region), stretched(coarse.meanB, coarse, region), &f, &b);
    fuse(image, a, weightedMean(f, a, fine), weightedMean(b, cv::Scalar::all(1.0) - a, fine), &f, nullptr);
    cv::Mat bytes;
    f(cv::Rect(tile.tl() - region.tl(), tile.size())).convertTo(bytes, CV_8UC3, 255.0);
    return bytes;
}


// The subject's own colours written over the band's pixels of `bgra`;
// `alpha` as for subjectColours.
void estimateColours(cv::Mat &bgra, const cv::Mat &alpha, const cv::Mat &mask, const std::vector<cv::Rect> &tiles)
{
    const double scale = std::max(double(bgra.cols) / mask.cols, double(bgra.rows) / mask.rows);
    const Coarse coarse = coarsePass(bgra, mask);
    const int fine = std::clamp(int(std::lround(fineRadiusInMaskPixels * scale)), 2, maxFineRadius);
    const auto write = [&](const cv::Rect &tile, cv::Mat &colours) {
        for (int y = 0; y < tile.height; ++y) {
            const auto *f = colours.ptr<cv::Vec3b>(y);
            auto *out = bgra.ptr<cv::Vec4b>(tile.y + y) + tile.x;
            const uchar *a = alpha.empty() ? &out[0][3] : alpha.ptr<uchar>(tile.y + y) + tile.x;
            const int step = alpha.empty() ? 4 : 1;
            for (int x = 0; x < tile.width; ++x)
                if (inBand(a[x * step]))
                    out[x] = cv::Vec4b(f[x][0], f[x][1], f[x][2], out[x][3]);
        }
        colours.release();
    };
    // Tiles read their neighbours' pixels (at most maxFineRadius, less than
    // a tile, beyond their edges), so a row of tiles is written only once
    // the row below it is worked out: two rows of results are held, not
    // the whole band's, which on a soft mask can be most of the photo.
    std::vector<cv::Mat> colours(tiles.size());
    size_t pending = 0; // the first tile of the row not written yet
    for (size_t row = 0; row < tiles.size();) {
        size_t next = row;
        while (next < tiles.size() && tiles[next].y == tiles[row].y)
            ++next;
        cv::parallel_for_(cv::Range(int(row), int(next)), [&](const cv::Range &range) {
            for (int i = range.start; i < range.end; ++i)
                colours[size_t(i)] = subjectColours(bgra, alpha, coarse, tiles[size_t(i)], fine);
        });
        // The rows above the one just worked out: no row still to come
        // reads them.
        for (; pending < row && tiles[pending].y <= tiles[row].y - tileSide; ++pending)
            write(tiles[pending], colours[pending]);
        row = next;
    }
    for (; pending < tiles.size(); ++pending)
        write(tiles[pending], colours[pending]);
}

// The steepened level of every stretched level (0 and 255 stay).
std::array<uchar, 256> steepened()
{
    std::array<uchar, 256> table{};
    for (int level = 0; level < 256; ++level)
        table[size_t(level)] = cv::saturate_cast<uchar>(level * edgeSteepness + 127.5 * (1.0 - edgeSteepness));
    return table;
}

// Writes the refined mask into `alpha`, which is used as it is when it
// already has the photo's size (so that a caller's buffer takes it without
// a copy: at 200 megapixels every byte per pixel counts).
bool refineInto(cv::Mat &bgra, const cv::Mat &mask, KSMatteRefine::Steps steps, cv::Mat &alpha)
{
    if (bgra.empty() || mask.empty() || bgra.type() != CV_8UC4 || mask.type() != CV_8UC1)
        return false;
    cv::resize(mask, alpha, bgra.size(), 0, 0, cv::INTER_LINEAR);
    const std::vector<cv::Rect> tiles = bandTiles(alpha);
    if (tiles.empty())
        return true;

    // The band steepened; 0 and 255 stay where they are.
    if (steps.steepenEdges)
        alpha.convertTo(alpha, CV_8U, edgeSteepness, 127.5 * (1.0 - edgeSteepness));
    if (!steps.estimateColours)
        return true;

    estimateColours(bgra, alpha, mask, tiles);
    return true;
}

} // namespace

cv::Mat KSMatteRefine::refine(cv::Mat &bgra, const cv::Mat &mask)
{
    return refine(bgra, mask, Steps());
}

cv::Mat KSMatteRefine::refine(cv::Mat &bgra, const cv::Mat &mask, Steps steps)
{
    cv::Mat alpha;
    if (!refineInto(bgra, mask, steps, alpha))
        return {};
    return alpha;
}

QImage KSMatteRefine::refine(QImage &photo, const QImage &mask)
{
    if (photo.isNull() || mask.isNull())
        return {};
    // Format_(A)RGB32 is B, G, R, A in memory on the little-endian machines
    // we build for; anything else is converted once.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the 32-bit layouts are read as B, G, R, A");
    if (photo.format() != QImage::Format_RGB32 && photo.format() != QImage::Format_ARGB32)
        photo = std::move(photo).convertToFormat(photo.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                         : QImage::Format_RGB32);
    const QImage grey = mask.format() == QImage::Format_Grayscale8 ? mask
                                                                   : mask.convertToFormat(QImage::Format_Grayscale8);
    if (photo.isNull() || grey.isNull() || !photo.bits())
        return {};
    cv::Mat bgra(photo.height(), photo.width(), CV_8UC4, photo.bits(), size_t(photo.bytesPerLine()));
    const cv::Mat levels(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                         size_t(grey.bytesPerLine()));
    QImage result(photo.size(), QImage::Format_Grayscale8);
    if (result.isNull())
        return {};
    cv::Mat alpha(result.height(), result.width(), CV_8UC1, result.bits(), size_t(result.bytesPerLine()));
    if (!refineInto(bgra, levels, Steps(), alpha) || alpha.data != result.constBits())
        return {};
    return result;
}

QImage KSMatteRefine::cutout(QImage photo, const QImage &mask)
{
    if (photo.isNull() || mask.isNull())
        return {};
    if (photo.format() != QImage::Format_RGB32) {
        // A photo with an alpha of its own, or in another layout: the mask
        // is refined beside it and multiplied in.
        const QImage alpha = refine(photo, mask);
        if (alpha.isNull())
            return {};
        return KSPhotoRenderTools::cutoutImage(std::move(photo), alpha);
    }
    const QImage grey = mask.format() == QImage::Format_Grayscale8 ? mask
                                                                   : mask.convertToFormat(QImage::Format_Grayscale8);
    // bits() detaches: from here on the pixels are ours alone.
    if (grey.isNull() || !photo.bits())
        return {};
    try {
        cv::Mat bgra(photo.height(), photo.width(), CV_8UC4, photo.bits(), size_t(photo.bytesPerLine()));
        const cv::Mat levels(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                             size_t(grey.bytesPerLine()));
        // The opaque photo's unused fourth byte takes the mask, stretched a
        // strip at a time, so that no mask at the photo's size is held.
        const double scaleX = double(bgra.cols) / levels.cols, scaleY = double(bgra.rows) / levels.rows;
        constexpr int stripRows = 64;
        cv::Mat strip;
        for (int y = 0; y < bgra.rows; y += stripRows) {
            const cv::Rect region(0, y, bgra.cols, std::min(stripRows, bgra.rows - y));
            stretched(levels, scaleX, scaleY, region, strip);
            cv::Mat target = bgra(region);
            cv::insertChannel(strip, target, 3);
        }
        const std::vector<cv::Rect> tiles = bandTiles(bgra, 4, 3);
        if (!tiles.empty()) {
            const std::array<uchar, 256> table = steepened();
            for (const cv::Rect &tile : tiles)
                for (int y = tile.y; y < tile.y + tile.height; ++y) {
                    auto *row = bgra.ptr<cv::Vec4b>(y) + tile.x;
                    for (int x = 0; x < tile.width; ++x)
                        row[x][3] = table[row[x][3]];
                }
                    estimateColours(bgra, cv::Mat(), levels, tiles);
        }
    } catch (const cv::Exception &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {};
    }
    // B, G, R, A with straight colours: the cut-out's layout, converted in place.
    photo.reinterpretAsFormat(QImage::Format_ARGB32);
    photo = std::move(photo).convertToFormat(QImage::Format_RGBA8888);
    photo.setDevicePixelRatio(1.0);
    return photo;
}
