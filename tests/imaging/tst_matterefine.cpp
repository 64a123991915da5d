#include "KSMatteRefine.h"
#include "KSPhotoRenderTools.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

// The cut-out's edge at the photo's size: a generated subject with a soft
// outline over a saturated backdrop, its mask given at a third of the size.
class TestMatteRefine : public QObject
{
    Q_OBJECT

private:
    struct Photo
    {
        cv::Mat bgra;   // the photo
        cv::Mat alpha;  // the true alpha, 8-bit
        cv::Mat colour; // the subject's own colours, BGR 8-bit
    };

    static constexpr int side = 240; // at scale 1

    // A pale, lightly textured subject with a soft outline over pure green,
    // drawn at `scale` times the base size.
    static Photo photo(int scale)
    {
        const cv::Size size(side * scale * 4 / 3, side * scale);
        Photo p;
        cv::Mat hard = cv::Mat::zeros(size, CV_8U);
        cv::ellipse(hard, {size.width / 2, size.height / 2}, {size.width / 4, size.height / 3}, 20, 0, 360, 255,
                    cv::FILLED, cv::LINE_AA);
        cv::GaussianBlur(hard, p.alpha, cv::Size(), 1.2 * scale);
        p.colour = cv::Mat(size, CV_8UC3);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                p.colour.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(170 + 40 * x / size.width), 200, 230);
        cv::Mat a, a3, subject, backdrop(size, CV_32FC3, cv::Scalar(0, 255, 0)), mixed;
        p.alpha.convertTo(a, CV_32F, 1.0 / 255.0);
        cv::merge(std::vector<cv::Mat>(3, a), a3);
        p.colour.convertTo(subject, CV_32FC3);
        mixed = subject.mul(a3) + backdrop.mul(cv::Scalar::all(1.0) - a3);
        cv::Mat bgr;
        mixed.convertTo(bgr, CV_8UC3);
        cv::cvtColor(bgr, p.bgra, cv::COLOR_BGR2BGRA);
        return p;
    }

    // The mask the service would send: the true alpha at the base size.
    static cv::Mat uploadMask(const Photo &p)
    {
        cv::Mat mask;
        cv::resize(p.alpha, mask, {side * 4 / 3, side}, 0, 0, cv::INTER_AREA);
        return mask;
    }

    // Green left in the band: how far green rises above the subject's own.
    static double greenCast(const cv::Mat &bgra, const Photo &p)
    {
        const cv::Mat band = (p.alpha > 40) & (p.alpha < 250);
        double total = 0;
        int count = 0;
        for (int y = 0; y < band.rows; ++y)
            for (int x = 0; x < band.cols; ++x)
                if (band.at<uchar>(y, x)) {
                    total += std::max(0, bgra.at<cv::Vec4b>(y, x)[1] - p.colour.at<cv::Vec3b>(y, x)[1]);
                    ++count;
                }
        return count ? total / count : 0.0;
    }

private slots:
    void theBackdropsColourLeavesTheBand()
    {
        const Photo p = photo(3);
        cv::Mat bgra = p.bgra.clone();
        const cv::Mat alpha = KSMatteRefine::refine(bgra, uploadMask(p));
        QCOMPARE(alpha.size(), p.bgra.size());
        const double before = greenCast(p.bgra, p), after = greenCast(bgra, p);
        QVERIFY2(after < 0.25 * before, qPrintable(QStringLiteral("green %1 -> %2").arg(before).arg(after)));
        // Where the mask is 0 or 255 the photo's own colours stay.
        QCOMPARE(bgra.at<cv::Vec4b>(5, 5), p.bgra.at<cv::Vec4b>(5, 5));
        const cv::Point centre(bgra.cols / 2, bgra.rows / 2);
        QCOMPARE(bgra.at<cv::Vec4b>(centre), p.bgra.at<cv::Vec4b>(centre));
        QCOMPARE(alpha.at<uchar>(centre), uchar(255));
        QCOMPARE(alpha.at<uchar>(5, 5), uchar(0));
    }

    // The same photo at two sizes gives the same mask within tolerance.
    void theRefinementIsSizeConsistent()
    {
        const Photo small = photo(1), large = photo(3);
        cv::Mat smallPixels = small.bgra.clone(), largePixels = large.bgra.clone();
        const cv::Mat smallAlpha = KSMatteRefine::refine(smallPixels, uploadMask(small));
        cv::Mat largeAlpha = KSMatteRefine::refine(largePixels, uploadMask(large));
        cv::resize(largeAlpha, largeAlpha, smallAlpha.size(), 0, 0, cv::INTER_AREA);
        cv::Mat difference;
        cv::absdiff(smallAlpha, largeAlpha, difference);
        QVERIFY2(cv::mean(difference)[0] < 2.0, qPrintable(QString::number(cv::mean(difference)[0])));
        const double overlap = double(cv::countNonZero((smallAlpha >= 128) & (largeAlpha >= 128)))
                               / cv::countNonZero((smallAlpha >= 128) | (largeAlpha >= 128));
        QVERIFY2(overlap > 0.98, qPrintable(QString::number(overlap)));
    }

    void picturesItCannotRefine_data()
    {
        QTest::addColumn<QImage>("photo");
        QTest::addColumn<QImage>("mask");
        QImage mask(40, 30, QImage::Format_Grayscale8);
        mask.fill(128);
        QImage photo(120, 90, QImage::Format_RGB32);
        photo.fill(Qt::red);
        QTest::newRow("no photo") << QImage() << mask;
        QTest::newRow("no mask") << photo << QImage();
    }
    void picturesItCannotRefine()
    {
        QFETCH(QImage, photo);
        QFETCH(QImage, mask);
        QVERIFY(KSMatteRefine::refine(photo, mask).isNull());
        cv::Mat empty;
        QVERIFY(KSMatteRefine::refine(empty, cv::Mat(4, 4, CV_8U, cv::Scalar(128))).empty());
    }

    // A photo in any layout comes back in a 32-bit one with its colours, the
    // mask at its size.
    void photosOfEveryLayout_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("RGB888") << int(QImage::Format_RGB888);
        QTest::newRow("greyscale") << int(QImage::Format_Grayscale8);
        QTest::newRow("ARGB32 premultiplied") << int(QImage::Format_ARGB32_Premultiplied);
    }
    void photosOfEveryLayout()
    {
        QFETCH(int, format);
        QImage photo(90, 60, QImage::Format_RGB32);
        photo.fill(QColor(200, 200, 200));
        photo = photo.convertToFormat(QImage::Format(format));
        QImage mask(30, 20, QImage::Format_Grayscale8);
        mask.fill(255);
        const QImage alpha = KSMatteRefine::refine(photo, mask);
        QCOMPARE(alpha.size(), QSize(90, 60));
        QCOMPARE(alpha.format(), QImage::Format_Grayscale8);
        QCOMPARE(qGray(alpha.pixel(45, 30)), 255);
        QVERIFY(photo.format() == QImage::Format_RGB32 || photo.format() == QImage::Format_ARGB32);
        QCOMPARE(QColor(photo.pixel(45, 30)), QColor(200, 200, 200));
    }

    // The cut-out made in the photo's own pixels is the one made with a
    // separate mask, for an opaque photo and for one with an alpha of its own.
    void cutoutInPlaceMatchesTheRefinedMask_data()
    {
        QTest::addColumn<bool>("ownAlpha");
        QTest::newRow("opaque photo") << false;
        QTest::newRow("photo with its own transparency") << true;
    }
    void cutoutInPlaceMatchesTheRefinedMask()
    {
        QFETCH(bool, ownAlpha);
        const Photo p = photo(3);
        QImage image(p.bgra.cols, p.bgra.rows, QImage::Format_RGB32);
        for (int y = 0; y < p.bgra.rows; ++y)
            std::copy_n(p.bgra.ptr<uchar>(y), 4 * p.bgra.cols, image.scanLine(y));
        if (ownAlpha) {
            image = image.convertToFormat(QImage::Format_ARGB32);
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, 10, qRgba(0, 0, 0, 0));
        }
        const cv::Mat small = uploadMask(p);
        const QImage mask(small.data, small.cols, small.rows, int(small.step), QImage::Format_Grayscale8);

        QImage separate = image;
        const QImage alpha = KSMatteRefine::refine(separate, mask);
        const QImage expected = KSPhotoRenderTools::cutoutImage(separate, alpha);
        const QImage cutout = KSMatteRefine::cutout(image, mask);
        QCOMPARE(cutout.format(), QImage::Format_RGBA8888);
        QCOMPARE(cutout.size(), expected.size());
        int worst = 0;
        for (int y = 0; y < cutout.height(); ++y) {
            const uchar *a = cutout.constScanLine(y), *b = expected.constScanLine(y);
            for (int x = 0; x < cutout.width(); ++x) {
                // Colours count as far as they show: a pixel that a level
                // more or less puts into the band gets colours of its own.
                const int shown = std::max(a[4 * x + 3], b[4 * x + 3]);
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(int(a[4 * x + c]) - int(b[4 * x + c])) * shown / 255);
                worst = std::max(worst, std::abs(int(a[4 * x + 3]) - int(b[4 * x + 3])));
            }
        }
        // The strips are stretched in fixed point, the whole mask in finer steps.
        QVERIFY2(worst <= 3, qPrintable(QString::number(worst)));
        if (ownAlpha)
            QCOMPARE(qAlpha(cutout.pixel(cutout.width() / 2, 10)), 0);
        QCOMPARE(qAlpha(cutout.pixel(cutout.width() / 2, cutout.height() / 2)), 255);
        QCOMPARE(qAlpha(cutout.pixel(2, 2)), 0);
        QVERIFY(KSMatteRefine::cutout(QImage(), mask).isNull());
    }
};

QTEST_GUILESS_MAIN(TestMatteRefine)
#include "tst_matterefine.moc"
