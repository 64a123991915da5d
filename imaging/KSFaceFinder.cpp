#include "KSFaceFinder.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

// Where features lie in the detector's face box (from its top, in box
// heights), measured on frontal faces: the eye line, the chin, and the
// crown with hair when no alpha shows it.
constexpr double kEyeLineInBox = 0.40;
constexpr double kChinInBox = 1.07;
constexpr double kCrownAboveBox = 0.28;
// How far above the box the crown is looked for in the alpha, and which
// middle share of the box's width is searched (shoulders and raised hands
// lie outside it).
constexpr double kCrownSearchAbove = 1.2;
constexpr double kCrownSearchShare = 0.6;
constexpr int kOpaque = 128;
// A face narrower than this share of the largest is a stray.
constexpr double kStrayShare = 0.5;
// The smallest face looked for, as a share of the reduced copy's shorter side.
constexpr double kSmallestFaceShare = 0.06;
constexpr int kSmallestFace = 24;

// The detector reads its data once per thread: a cascade is not safe to
// share between threads.
cv::CascadeClassifier *cascade(QString *error)
{
    thread_local std::unique_ptr<cv::CascadeClassifier> loaded;
    if (!loaded) {
        auto classifier = std::make_unique<cv::CascadeClassifier>();
        const QString path = KSFaceFinder::cascadePath();
        try {
            if (!QFileInfo::exists(path) || !classifier->load(path.toStdString())) {
                *error = QStringLiteral("the face detector's data %1 is missing (package opencv-data)").arg(path);
                return nullptr;
            }
        } catch (const cv::Exception &e) {
            *error = QStringLiteral("the face detector's data %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what()));
            return nullptr;
        }
        loaded = std::move(classifier);
    }
    return loaded.get();
}

// The first opaque row above the face, in the reduced copy; none when the
// head reaches the top edge (its crown is then outside the picture) or the
// alpha shows nothing there.
std::optional<int> crownFromAlpha(const cv::Mat &alpha, const cv::Rect &face)
{
    const int inset = int(face.width * (1 - kCrownSearchShare) / 2);
    const int left = std::clamp(face.x + inset, 0, alpha.cols - 1);
    const int right = std::clamp(face.x + face.width - inset, left + 1, alpha.cols);
    const int top = std::max(0, int(face.y - kCrownSearchAbove * face.height));
    const int bottom = std::clamp(face.y + face.height / 3, top, alpha.rows);
    for (int y = top; y < bottom; ++y) {
        const uchar *row = alpha.ptr<uchar>(y);
        if (std::any_of(row + left, row + right, [](uchar a) { return a >= kOpaque; }))
            return y == 0 ? std::nullopt : std::optional<int>(y);
    }
    return std::nullopt;
}

} // namespace

QString KSFaceFinder::cascadePath()
{
    return QStringLiteral("/usr/share/opencv4/haarcascades/haarcascade_frontalface_alt2.xml");
}

KSFaceFinder::Result KSFaceFinder::find(const QImage &picture)
{
    Result result;
    if (picture.isNull()) {
        result.error = QStringLiteral("no picture to look for faces in");
        return result;
    }
    cv::CascadeClassifier *detector = cascade(&result.error);
    if (!detector)
        return result;

    const double scale = std::min(1.0, double(kAnalysisSide) / std::max(picture.width(), picture.height()));
    const QImage reduced = (scale < 1.0 ? picture.scaled(QSize(std::max(1, int(picture.width() * scale)),
                                                               std::max(1, int(picture.height() * scale))),
                                                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                        : picture)
                               .convertToFormat(QImage::Format_ARGB32);
    const double back = double(picture.width()) / reduced.width();

    // Grey on white, as the face would look on a plain backdrop, and the alpha.
    cv::Mat grey(reduced.height(), reduced.width(), CV_8U);
    cv::Mat alpha(reduced.height(), reduced.width(), CV_8U);
    bool transparent = false;
    for (int y = 0; y < reduced.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(reduced.constScanLine(y));
        uchar *g = grey.ptr<uchar>(y);
        uchar *a = alpha.ptr<uchar>(y);
        for (int x = 0; x < reduced.width(); ++x) {
            const int opacity = qAlpha(line[x]);
            const int luma = (qRed(line[x]) * 77 + qGreen(line[x]) * 150 + qBlue(line[x]) * 29) >> 8;
            g[x] = uchar((luma * opacity + 255 * (255 - opacity)) / 255);
            a[x] = uchar(opacity);
            transparent = transparent || opacity < kOpaque;
        }
    }
    cv::equalizeHist(grey, grey);

    std::vector<cv::Rect> found;
    const int smallest = std::max(kSmallestFace, int(std::min(grey.cols, grey.rows) * kSmallestFaceShare));
    try {
        detector->detectMultiScale(grey, found, 1.1, 4, 0, cv::Size(smallest, smallest));
    } catch (const cv::Exception &e) {
        result.error = QStringLiteral("the face detector failed: ") + QString::fromUtf8(e.what());
        return result;
    }
    std::sort(found.begin(), found.end(), [](const cv::Rect &a, const cv::Rect &b) { return a.area() > b.area(); });

    for (const cv::Rect &face : found) {
        if (face.width < kStrayShare * found.front().width)
            continue;
        KSHeadMeasures head;
        head.face = QRectF(face.x * back, face.y * back, face.width * back, face.height * back);
        head.centreX = (face.x + face.width / 2.0) * back;
        head.eyeLineY = (face.y + kEyeLineInBox * face.height) * back;
        head.chinY = (face.y + kChinInBox * face.height) * back;
        const std::optional<int> crown = transparent ? crownFromAlpha(alpha, face) : std::nullopt;
        head.crownY = crown ? *crown * back : (face.y - kCrownAboveBox * face.height) * back;
        result.heads.append(head);
    }
    return result;
}
