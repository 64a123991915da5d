#include "KSClassicCutoutEngine.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <functional>

Q_DECLARE_METATYPE(cv::Size)
Q_DECLARE_METATYPE(cv::Scalar)
Q_DECLARE_METATYPE(cv::Mat)
Q_DECLARE_METATYPE(cv::Point)
Q_DECLARE_METATYPE(std::uint64_t)
Q_DECLARE_METATYPE(std::function<double(double, double)>)

// The classical engine on generated photos whose true subject is known.
class TestClassicCutoutEngine : public QObject
{
    Q_OBJECT

private:
    struct Photo
    {
        cv::Mat bgr;
        cv::Mat truth; // 255 subject, 0 backdrop
    };

    // A backdrop with a soft gradient and sensor noise, and a two-tone subject.
    static Photo photo(cv::Size size, cv::Scalar backdrop, cv::Scalar subject, bool touchesBottom)
    {
        Photo p;
        p.bgr.create(size, CV_8UC3);
        for (int y = 0; y < size.height; ++y) {
            const double shade = 1.0 - 0.08 * y / size.height;
            p.bgr.row(y).setTo(backdrop * shade);
        }
        p.truth = cv::Mat::zeros(size, CV_8U);
        const cv::Point centre(size.width / 2, size.height * 2 / 5);
        cv::ellipse(p.truth, centre, {size.width / 7, size.height / 5}, 0, 0, 360, 255, cv::FILLED, cv::LINE_8);
        const int bodyTop = size.height * 11 / 20;
        cv::rectangle(p.truth, {size.width / 4, bodyTop}, {size.width * 3 / 4, touchesBottom ? size.height : size.height * 9 / 10},
                      255, cv::FILLED);
        p.bgr.setTo(subject, p.truth);
        cv::Mat lower = p.bgr(cv::Rect(0, bodyTop, size.width, size.height - bodyTop));
        lower.setTo(subject * 0.6, p.truth(cv::Rect(0, bodyTop, size.width, size.height - bodyTop)));
        cv::Mat noise(size, CV_16SC3);
        cv::theRNG().state = 7;
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(3));
        cv::add(p.bgr, noise, p.bgr, cv::noArray(), CV_8UC3);
        return p;
    }

    // A busy scene in grey: smooth noise, shapes of every grey, and a
    // striped, rounded subject in the middle whose greys are the scene's own.
    static Photo busyGreyPhoto(cv::Size size, std::uint64_t seed)
    {
        cv::RNG rng(seed);
        Photo p;
        cv::Mat coarse(6, 8, CV_32F);
        rng.fill(coarse, cv::RNG::UNIFORM, 60.0, 200.0);
        cv::Mat backdrop;
        cv::resize(coarse, backdrop, size, 0, 0, cv::INTER_CUBIC);
        for (int i = 0; i < 40; ++i) {
            const cv::Point at(rng.uniform(0, size.width), rng.uniform(0, size.height));
            const int extent = rng.uniform(size.width / 40, size.width / 8);
            const cv::Scalar grey(rng.uniform(0, 255));
            if (i % 2)
                cv::circle(backdrop, at, extent / 2, grey, cv::FILLED, cv::LINE_AA);
            else
                cv::rectangle(backdrop, at, at + cv::Point(extent, extent * 2 / 3), grey, cv::FILLED);
        }
        p.truth = cv::Mat::zeros(size, CV_8U);
        cv::ellipse(p.truth, {size.width / 2, size.height / 2}, {size.width / 5, size.height / 3}, 0, 0, 360, 255,
                    cv::FILLED);
        cv::Mat subject(size, CV_32F);
        for (int y = 0; y < size.height; ++y)
            subject.row(y).setTo(110 + 30 * std::sin(y * 0.3));
        subject.copyTo(backdrop, p.truth);
        cv::GaussianBlur(backdrop, backdrop, cv::Size(), 1.5);
        cv::Mat noise(size, CV_32F);
        rng.fill(noise, cv::RNG::NORMAL, 0.0, 2.0);
        backdrop += noise;
        backdrop.convertTo(p.bgr, CV_8U);
        cv::cvtColor(p.bgr, p.bgr, cv::COLOR_GRAY2BGR);
        return p;
    }

    // The subject of photo() on a backdrop lit unevenly, so that the
    // backdrop itself spans many colours: `light` gives its brightness
    // (0..1) at each place, from u, v in 0..1.
    static Photo unevenlyLitPhoto(cv::Size size, cv::Scalar lit, const std::function<double(double, double)> &light,
                                  cv::Scalar subject, bool touchesBottom)
    {
        Photo p = photo(size, lit, subject, touchesBottom);
        cv::Mat backdrop(size, CV_8UC3);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                const cv::Scalar c = lit * light(double(x) / size.width, double(y) / size.height);
                backdrop.at<cv::Vec3b>(y, x) = cv::Vec3b(cv::saturate_cast<uchar>(c[0]), cv::saturate_cast<uchar>(c[1]),
                                                         cv::saturate_cast<uchar>(c[2]));
            }
        cv::Mat noise(size, CV_16SC3);
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(3));
        cv::add(backdrop, noise, backdrop, cv::noArray(), CV_8UC3);
        backdrop.copyTo(p.bgr, p.truth == 0);
        return p;
    }

    static double iou(const cv::Mat &mask, const cv::Mat &truth)
    {
        const cv::Mat a = mask >= 128, b = truth >= 128;
        const double intersection = cv::countNonZero(a & b);
        const double unionArea = cv::countNonZero(a | b);
        return unionArea > 0 ? intersection / unionArea : 1.0;
    }

private slots:
    void separatesASubjectFromAPlainBackdrop_data()
    {
        QTest::addColumn<cv::Size>("size");
        QTest::addColumn<cv::Scalar>("backdrop");
        QTest::addColumn<cv::Scalar>("subject");
        QTest::addColumn<bool>("touchesBottom");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("greyChannels"); // 0: a colour photo

        QTest::newRow("object on white") << cv::Size(640, 480) << cv::Scalar(245, 245, 245) << cv::Scalar(40, 90, 200) << false << int(KSEraserType::object) << 0;
        QTest::newRow("person on blue, cut by the bottom edge")
            << cv::Size(480, 640) << cv::Scalar(200, 140, 60) << cv::Scalar(120, 170, 230) << true << int(KSEraserType::person) << 0;
        QTest::newRow("dark subject on grey, above the work size")
            << cv::Size(1600, 1200) << cv::Scalar(128, 128, 128) << cv::Scalar(30, 30, 40) << true << int(KSEraserType::person) << 0;
        QTest::newRow("light subject on a dark backdrop")
            << cv::Size(500, 500) << cv::Scalar(30, 30, 30) << cv::Scalar(220, 230, 240) << false << int(KSEraserType::object) << 0;
        // Greyscale photos: only lightness tells subject from backdrop.
        QTest::newRow("greyscale photo, one channel")
            << cv::Size(640, 480) << cv::Scalar(200, 200, 200) << cv::Scalar(90, 120, 150) << false << int(KSEraserType::object) << 1;
        QTest::newRow("greyscale photo as three equal channels")
            << cv::Size(480, 640) << cv::Scalar(70, 70, 70) << cv::Scalar(160, 190, 210) << true << int(KSEraserType::person) << 3;
    }

    void separatesASubjectFromAPlainBackdrop()
    {
        QFETCH(cv::Size, size);
        QFETCH(cv::Scalar, backdrop);
        QFETCH(cv::Scalar, subject);
        QFETCH(bool, touchesBottom);
        QFETCH(int, type);
        QFETCH(int, greyChannels);

        Photo p = photo(size, backdrop, subject, touchesBottom);
        if (greyChannels > 0) {
            cv::cvtColor(p.bgr, p.bgr, cv::COLOR_BGR2GRAY);
            if (greyChannels == 3)
                cv::cvtColor(p.bgr, p.bgr, cv::COLOR_GRAY2BGR);
        }
        KSClassicCutoutEngine engine;
        std::string error;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType(type), &error);
        QVERIFY2(!mask.empty(), error.c_str());
        QCOMPARE(mask.type(), CV_8UC1);
        QCOMPARE(mask.cols, size.width);
        QCOMPARE(mask.rows, size.height);
        const double score = iou(mask, p.truth);
        QVERIFY2(score >= 0.97, qPrintable(QStringLiteral("IoU %1").arg(score)));
        QCOMPARE(int(mask.at<uchar>(2, 2)), 0);
        QCOMPARE(int(mask.at<uchar>(size.height * 2 / 5, size.width / 2)), 255);
        if (touchesBottom)
            QCOMPARE(int(mask.at<uchar>(size.height - 1, size.width / 2)), 255);
    }

    void separatesASubjectFromAnUnevenlyLitBackdrop_data()
    {
        using Light = std::function<double(double, double)>;
        QTest::addColumn<cv::Scalar>("backdrop");
        QTest::addColumn<Light>("light");
        QTest::addColumn<cv::Scalar>("subject");
        QTest::addColumn<bool>("touchesBottom");

        // The sweep's light grey at the top is darker at the bottom than
        // the subject's lower half.
        QTest::newRow("grey sweep, light to dark") << cv::Scalar(235, 235, 235)
                                                   << Light([](double, double v) { return 1.0 - 0.6 * v; })
                                                   << cv::Scalar(70, 120, 190) << false;
        // The middle of the backdrop is lighter than anything on its border.
        QTest::newRow("strong vignette, cut by the bottom edge")
            << cv::Scalar(215, 215, 220)
            << Light([](double u, double v) { return 1.0 - 0.45 * ((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5)) / 0.5; })
            << cv::Scalar(40, 40, 160) << true;
        QTest::newRow("coloured backdrop lit from the left") << cv::Scalar(210, 170, 100)
                                                             << Light([](double u, double) { return 1.0 - 0.5 * u; })
                                                             << cv::Scalar(120, 200, 240) << false;
    }

    void separatesASubjectFromAnUnevenlyLitBackdrop()
    {
        using Light = std::function<double(double, double)>;
        QFETCH(cv::Scalar, backdrop);
        QFETCH(Light, light);
        QFETCH(cv::Scalar, subject);
        QFETCH(bool, touchesBottom);
        const Photo p = unevenlyLitPhoto({640, 480}, backdrop, light, subject, touchesBottom);
        KSClassicCutoutEngine engine;
        std::string error;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType::person, &error);
        QVERIFY2(!mask.empty(), error.c_str());
        const double score = iou(mask, p.truth);
        QVERIFY2(score >= 0.95, qPrintable(QStringLiteral("IoU %1").arg(score)));
    }

    void leavesABackdropOfOneColourAsItWas()
    {
        // The smooth backdrop changes nothing where the backdrop is one
        // colour: the mask is the one-colour model's, to the pixel.
        const Photo p = unevenlyLitPhoto({640, 480}, cv::Scalar(240, 240, 240), [](double, double) { return 1.0; },
                                         cv::Scalar(60, 60, 180), false);
        const cv::Mat smooth = KSClassicCutoutEngine().mask(p.bgr, KSEraserType::object, nullptr);
        const cv::Mat oneColour = KSClassicCutoutEngine(KSClassicCutoutEngine::Rules{.smoothBackdrop = false})
                                      .mask(p.bgr, KSEraserType::object, nullptr);
        QVERIFY(!smooth.empty());
        QCOMPARE(cv::countNonZero(smooth != oneColour), 0);
    }

    void dropsStrayBlobs()
    {
        Photo p = photo({640, 480}, cv::Scalar(240, 240, 240), cv::Scalar(60, 60, 180), false);
        // Dust on the backdrop, far from the subject.
        cv::circle(p.bgr, {40, 420}, 3, cv::Scalar(20, 20, 20), cv::FILLED);
        cv::circle(p.bgr, {600, 60}, 2, cv::Scalar(20, 20, 20), cv::FILLED);
        KSClassicCutoutEngine engine;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType::object, nullptr);
        QCOMPARE(int(mask.at<uchar>(420, 40)), 0);
        QCOMPARE(int(mask.at<uchar>(60, 600)), 0);
        QVERIFY(iou(mask, p.truth) >= 0.97);
    }

    void neverKeepsASliverOfABusyGreyPhoto_data()
    {
        QTest::addColumn<std::uint64_t>("seed");
        for (std::uint64_t seed = 1; seed <= 4; ++seed)
            QTest::addRow("scene %d", int(seed)) << seed;
    }

    void neverKeepsASliverOfABusyGreyPhoto()
    {
        // Colours tell little here: the engine may fail, with its cause,
        // but a mask it keeps holds the subject.
        QFETCH(std::uint64_t, seed);
        const Photo p = busyGreyPhoto({640, 480}, seed);
        KSClassicCutoutEngine engine;
        std::string error;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType::object, &error);
        if (mask.empty())
            QVERIFY2(error.rfind("no subject found", 0) == 0, error.c_str());
        else
            QVERIFY2(iou(mask, p.truth) >= 0.5, qPrintable(QStringLiteral("IoU %1, mask %2 % of the picture")
                                                               .arg(iou(mask, p.truth))
                                                               .arg(100.0 * cv::countNonZero(mask >= 128) / mask.total())));
    }

    void keepsASmallSubjectOnAPlainBackdrop_data()
    {
        QTest::addColumn<cv::Point>("centre");
        QTest::newRow("in the middle") << cv::Point(320, 240);
        QTest::newRow("by the frame") << cv::Point(60, 420);
    }

    void keepsASmallSubjectOnAPlainBackdrop()
    {
        // A ring on a white table: 2 % of the picture, yet a subject.
        QFETCH(cv::Point, centre);
        Photo p;
        p.bgr = cv::Mat(480, 640, CV_8UC3, cv::Scalar(240, 242, 245));
        p.truth = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::circle(p.truth, centre, 45, 255, cv::FILLED);
        p.bgr.setTo(cv::Scalar(40, 120, 200), p.truth);
        KSClassicCutoutEngine engine;
        std::string error;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType::object, &error);
        QVERIFY2(!mask.empty(), error.c_str());
        QVERIFY(iou(mask, p.truth) >= 0.9);
    }

    void keepsAThinFigureOnAGentlyVignettedBackdrop()
    {
        // A standing figure, 2 % of the picture, on one colour with a gentle
        // vignette and noise: the border's colours split into several close
        // clusters, none lining a side alone, and the backdrop is still plain.
        Photo p;
        const cv::Size size(640, 480);
        p.bgr.create(size, CV_8UC3);
        const cv::Scalar yellow(80, 200, 235);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                const double fall = 1.0 - 0.07 * (std::pow(x / 320.0 - 1.0, 2) + std::pow(y / 240.0 - 1.0, 2)) / 2;
                const cv::Scalar c = yellow * fall;
                p.bgr.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(c[0]), uchar(c[1]), uchar(c[2]));
            }
        p.truth = cv::Mat::zeros(size, CV_8U);
        cv::rectangle(p.truth, cv::Rect(560, 90, 24, 300), 255, cv::FILLED);
        cv::circle(p.truth, {572, 75}, 14, 255, cv::FILLED);
        p.bgr.setTo(cv::Scalar(200, 150, 190), p.truth);
        cv::Mat noise(size, CV_16SC3);
        cv::theRNG().state = 11;
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(3));
        cv::add(p.bgr, noise, p.bgr, cv::noArray(), CV_8UC3);
        QVERIFY(KSClassicCutoutEngine::plainBackdrop(p.bgr));
        std::string error;
        const cv::Mat mask = KSClassicCutoutEngine().mask(p.bgr, KSEraserType::person, &error);
        QVERIFY2(!mask.empty(), error.c_str());
        QVERIFY2(iou(mask, p.truth) >= 0.9, qPrintable(QStringLiteral("IoU %1").arg(iou(mask, p.truth))));
    }

    void refusesWhatItCannotCut_data()
    {
        QTest::addColumn<cv::Mat>("picture");
        QTest::newRow("empty") << cv::Mat();
        QTest::newRow("16-bit") << cv::Mat(100, 100, CV_16UC3, cv::Scalar::all(1000));
        QTest::newRow("4 x 4 pixels") << cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(10));
        // No subject is a failure with its cause, never a transparent cut-out.
        QTest::newRow("a blank wall") << cv::Mat(300, 400, CV_8UC3, cv::Scalar(200, 210, 220));
        cv::Mat speck(300, 400, CV_8UC3, cv::Scalar(200, 210, 220));
        cv::circle(speck, {200, 150}, 3, cv::Scalar(20, 20, 20), cv::FILLED);
        QTest::newRow("a speck on a blank wall") << speck;
    }

    void refusesWhatItCannotCut()
    {
        QFETCH(cv::Mat, picture);
        KSClassicCutoutEngine engine;
        std::string error;
        QVERIFY(engine.mask(picture, KSEraserType::person, &error).empty());
        QVERIFY(!error.empty());
    }
};

QTEST_GUILESS_MAIN(TestClassicCutoutEngine)
#include "tst_classiccutoutengine.moc"
