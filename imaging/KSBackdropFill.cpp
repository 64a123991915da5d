#include "KSBackdropFill.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A view of a 32-bit picture's pixels (B, G, R, A bytes on little-endian
// hosts, which the channel order does not matter to here).
cv::Mat view32(const QImage &image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC4, const_cast<uchar *>(image.constBits()),
                   size_t(image.bytesPerLine()));
}

cv::Mat view8(const QImage &image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC1, const_cast<uchar *>(image.constBits()),
                   size_t(image.bytesPerLine()));
}

// The fill is made on a copy of at most this many pixels.
constexpr double kFillPixels = 2'000'000;

// Format_RGB32 wants its fourth byte at 0xff.
void opaque(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] |= 0xff000000u;
    }
}

cv::Size halved(const cv::Size &size)
{
    return cv::Size(std::max(1, (size.width + 1) / 2), std::max(1, (size.height + 1) / 2));
}

// Push-pull: `premultiplied` is colour x weight and `weight` 0..1, both
// float, at a pyramid level; returns the colour filled everywhere.
cv::Mat pulled(const cv::Mat &premultiplied, const cv::Mat &weight)
{
    if (premultiplied.cols <= 1 && premultiplied.rows <= 1) {
        const float w = weight.at<float>(0, 0);
        return w > 1e-6f ? cv::Mat(premultiplied / w) : cv::Mat();
    }
    const cv::Size next = halved(premultiplied.size());
    cv::Mat smallColour;
    cv::Mat smallWeight;
    cv::resize(premultiplied, smallColour, next, 0, 0, cv::INTER_AREA);
    cv::resize(weight, smallWeight, next, 0, 0, cv::INTER_AREA);
    const cv::Mat coarse = pulled(smallColour, smallWeight);
    if (coarse.empty())
        return {};
    cv::Mat up;
    cv::resize(coarse, up, premultiplied.size(), 0, 0, cv::INTER_LINEAR);
    // Known colour where the weight is whole, the coarser level's where it is nil.
    cv::Mat missing;
    cv::subtract(cv::Scalar::all(1.0), weight, missing);
    cv::Mat missing4;
    cv::merge(std::vector<cv::Mat>(4, missing), missing4);
    return premultiplied + up.mul(missing4);
}

} // namespace

QImage KSBackdropFill::filled(const QImage &colours, const QImage &mask, const QSize &size, int margin)
{
    if (colours.isNull() || mask.size() != colours.size() || size.isEmpty())
        return {};
    try {
        const QImage source = colours.depth() == 32 ? colours : colours.convertToFormat(QImage::Format_RGB32);
        const QImage grey = mask.format() == QImage::Format_Grayscale8 ? mask
                                                                         : mask.convertToFormat(QImage::Format_Grayscale8);
        const QSize target(std::min(size.width(), source.width()), std::min(size.height(), source.height()));
        QImage result(target, QImage::Format_RGB32);
        if (result.isNull())
            return {};
        cv::Mat colour = view32(result);
        cv::Mat subject = view8(grey);
        if (target != source.size()) {
            cv::resize(view32(source), colour, colour.size(), 0, 0, cv::INTER_AREA);
            cv::Mat reducedMask;
            // Area averaging spreads the subject into every pixel it touches.
            cv::resize(subject, reducedMask, colour.size(), 0, 0, cv::INTER_AREA);
            subject = reducedMask;
        } else {
            view32(source).copyTo(colour);
        }
        cv::Mat hole;
        cv::compare(subject, kSubjectLevel, hole, cv::CMP_GT);
        if (margin > 0) {
            const cv::Mat disc =
                cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * margin + 1, 2 * margin + 1));
            cv::dilate(hole, hole, disc);
        }
        if (cv::countNonZero(hole) > 0) {
            // The fill is smooth: it is made on a copy of at most
            // kFillPixels, reduced in bytes (the colours with the hole black,
            // and the weight), so that no float copy of the full size is
            // made; the coarser levels are float.
            cv::Mat known;
            cv::bitwise_not(hole, known);
            cv::Mat premultiplied = cv::Mat::zeros(colour.size(), colour.type());
            colour.copyTo(premultiplied, known);
            // By a whole factor, over the part of the picture it divides, so
            // that the area reduction takes its fast path.
            const int factor = std::max(2, int(std::ceil(std::sqrt(double(colour.total()) / kFillPixels))));
            const cv::Size reduced(std::max(1, colour.cols / factor), std::max(1, colour.rows / factor));
            const cv::Rect divided(0, 0, std::min(colour.cols, reduced.width * factor),
                                   std::min(colour.rows, reduced.height * factor));
            cv::Mat reducedColour;
            cv::Mat reducedWeight;
            cv::resize(premultiplied(divided), reducedColour, reduced, 0, 0, cv::INTER_AREA);
            cv::resize(known(divided), reducedWeight, reduced, 0, 0, cv::INTER_AREA);
            premultiplied.release();
            reducedColour.convertTo(reducedColour, CV_32FC4);
            reducedWeight.convertTo(reducedWeight, CV_32F, 1.0 / 255.0);
            const cv::Mat fill = pulled(reducedColour, reducedWeight);
            if (fill.empty()) {
                // Nothing but subject: its mean colour stands in.
                colour.setTo(cv::mean(colour), hole);
            } else {
                // Enlarged in bytes: a float copy of the full size would be
                // four times the picture.
                cv::Mat fillBytes;
                fill.convertTo(fillBytes, CV_8UC4);
                cv::Mat up;
                cv::resize(fillBytes, up, colour.size(), 0, 0, cv::INTER_LINEAR);
                up.copyTo(colour, hole);
            }
        }
        opaque(result);
        return result;
    } catch (const cv::Exception &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QImage KSBackdropFill::blurred(const QImage &picture, double sigma)
{
    if (picture.isNull() || !(sigma >= 1.0 / 3.0))
        return picture;
    try {
        const bool grey = picture.format() == QImage::Format_Grayscale8;
        QImage result(picture.size(), picture.format());
        if (result.isNull())
            return {};
        const cv::Mat source = grey ? view8(picture) : view32(picture);
        cv::Mat target = grey ? view8(result) : view32(result);
        cv::GaussianBlur(source, target, cv::Size(0, 0), sigma, sigma, cv::BORDER_REFLECT_101);
        return result;
    } catch (const cv::Exception &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QImage KSBackdropFill::warped(const QImage &source, const QTransform &transform, const QSize &size)
{
    if (source.isNull() || size.isEmpty() || !transform.isAffine() || !transform.isInvertible())
        return {};
    try {
        QImage picture = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
        QTransform toTarget = transform;
        // Bilinear sampling skips pixels when shrinking: reduce by area first.
        const double scale = std::sqrt(std::abs(transform.determinant()));
        if (scale < 0.5) {
            const QSize reduced(std::max(1, int(std::ceil(picture.width() * scale * 1.5))),
                                std::max(1, int(std::ceil(picture.height() * scale * 1.5))));
            if (reduced.width() < picture.width() && reduced.height() < picture.height()) {
                QImage smaller(reduced, QImage::Format_RGB32);
                if (smaller.isNull())
                    return {};
                cv::Mat target = view32(smaller);
                cv::resize(view32(picture), target, target.size(), 0, 0, cv::INTER_AREA);
                toTarget = QTransform::fromScale(double(picture.width()) / reduced.width(),
                                                 double(picture.height()) / reduced.height())
                    * transform;
                picture = smaller;
            }
        }
        QImage result(size, QImage::Format_RGB32);
        if (result.isNull())
            return {};
        // OpenCV puts pixel centres at whole numbers: shift by half a pixel
        // on both sides.
        const QTransform centred = QTransform::fromTranslate(0.5, 0.5) * toTarget * QTransform::fromTranslate(-0.5, -0.5);
        const cv::Matx23d forward(centred.m11(), centred.m21(), centred.dx(), centred.m12(), centred.m22(),
                                  centred.dy());
        cv::Mat target = view32(result);
        cv::warpAffine(view32(picture), target, forward, target.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT_101);
        return result;
    } catch (const cv::Exception &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {};
    }
}
