#include "KSBusyBackdropRules.h"
#include "KSHybridCutoutEngine.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

// The rules for salient scenery on busy backdrops, on generated photos over
// a busy blurred backdrop, with the network's map drawn from what it might
// have found (the subject and the salient thing alike).
class TestBusyBackdropRules : public QObject
{
    Q_OBJECT

private:
    static constexpr int width = 480, height = 360;

    // Blotches of colour, blurred as far behind the subject as a portrait
    // lens leaves them.
    static cv::Mat blurredBackdrop()
    {
        cv::Mat small(12, 16, CV_8UC3);
        cv::theRNG().state = 11;
        cv::randu(small, cv::Scalar::all(30), cv::Scalar::all(220));
        cv::Mat backdrop;
        cv::resize(small, backdrop, {width, height}, 0, 0, cv::INTER_CUBIC);
        cv::GaussianBlur(backdrop, backdrop, {0, 0}, 6);
        return backdrop;
    }

    // Fine texture in a colour, sharp unless blurred by `blur`.
    static void paint(cv::Mat &bgr, const cv::Mat &region, cv::Scalar colour, double blur = 0)
    {
        cv::Mat texture(bgr.size(), CV_8UC3);
        cv::theRNG().state = 3;
        cv::randn(texture, cv::Scalar::all(0), cv::Scalar::all(28));
        cv::Mat painted(bgr.size(), CV_8UC3, colour);
        cv::add(painted, texture, painted, cv::noArray(), CV_8UC3);
        cv::Mat edge;
        region.convertTo(edge, CV_32F, 1.0 / 255.0);
        if (blur > 0) {
            cv::GaussianBlur(painted, painted, {0, 0}, blur);
            cv::GaussianBlur(edge, edge, {0, 0}, blur);
        }
        cv::Mat a3, p, b;
        cv::merge(std::vector<cv::Mat>(3, edge), a3);
        painted.convertTo(p, CV_32FC3);
        bgr.convertTo(b, CV_32FC3);
        b = p.mul(a3) + b.mul(cv::Scalar::all(1.0) - a3);
        b.convertTo(bgr, CV_8UC3);
    }

    static cv::Mat mapOf(const cv::Mat &salient)
    {
        cv::Mat map;
        salient.convertTo(map, CV_32F, 1.0 / 255.0);
        cv::GaussianBlur(map, map, {5, 5}, 0);
        return map;
    }

    static double iou(const cv::Mat &map, const cv::Mat &truth)
    {
        const cv::Mat a = map >= 0.5f, b = truth >= 128;
        return double(cv::countNonZero(a & b)) / std::max(1, cv::countNonZero(a | b));
    }

    static double meanIn(const cv::Mat &map, const cv::Mat &region) { return cv::mean(map, region)[0]; }

    // A boxy subject; the salient thing, a disc, touches its right side.
    static cv::Mat body()
    {
        cv::Mat truth = cv::Mat::zeros(height, width, CV_8U);
        cv::rectangle(truth, cv::Rect(120, 90, 170, 200), 255, cv::FILLED);
        return truth;
    }
    static cv::Mat disc()
    {
        cv::Mat thing = cv::Mat::zeros(height, width, CV_8U);
        cv::circle(thing, {340, 150}, 50, 255, cv::FILLED);
        return thing;
    }

private slots:
    // Depth of field: a sharp subject, and a salient thing touching it as
    // blurred as the backdrop; of the subject's own colour, so only its
    // blur tells. It goes; a sharp one stays, and so does a blurred one in
    // a photo sharp all over.
    void aBlurredThingTouchingASharpSubjectGoes()
    {
        const cv::Mat truth = body(), thing = disc();
        for (const bool blurred : {true, false}) {
            cv::Mat bgr = blurredBackdrop();
            paint(bgr, truth, cv::Scalar(60, 90, 170));
            paint(bgr, thing, cv::Scalar(60, 90, 170), blurred ? 4 : 0);
            const cv::Mat map = mapOf(truth | thing);
            int dropped = -1;
            const cv::Mat result = KSBusyBackdropRules::dropBlurredParts(bgr, map, &dropped);
            QCOMPARE(dropped, blurred ? 1 : 0);
            const double left = meanIn(result, thing & ~truth);
            QVERIFY2(blurred ? left < 0.05 : left > 0.9, qPrintable(QString::number(left)));
            QVERIFY(meanIn(result, truth) > 0.95);
        }

        // The backdrop as sharp as the subject: no depth of field to go by.
        cv::Mat sharpBackdrop(height, width, CV_8UC3);
        cv::randu(sharpBackdrop, cv::Scalar::all(30), cv::Scalar::all(220));
        paint(sharpBackdrop, truth, cv::Scalar(60, 90, 170));
        paint(sharpBackdrop, thing, cv::Scalar(60, 90, 170), 4);
        int dropped = -1;
        (void)KSBusyBackdropRules::dropBlurredParts(sharpBackdrop, mapOf(truth | thing), &dropped);
        QCOMPARE(dropped, 0);
    }

    void sharpnessFallsWithBlurWhateverTheContrast()
    {
        cv::Mat sharp(200, 200, CV_8U), faint, blurred;
        cv::theRNG().state = 7;
        cv::randu(sharp, 0, 255);
        sharp.convertTo(faint, CV_8U, 0.2, 100);
        cv::GaussianBlur(sharp, blurred, {0, 0}, 3);
        const cv::Mat all(200, 200, CV_8U, cv::Scalar(255));
        const double s = KSBusyBackdropRules::sharpness(sharp, all);
        QVERIFY(std::abs(KSBusyBackdropRules::sharpness(faint, all) - s) < 0.1 * s);
        QVERIFY(KSBusyBackdropRules::sharpness(blurred, all) < 0.2 * s);
    }

    // A flower joined to the subject by a thin stem: of colours the subject
    // does not have it is scenery; of the subject's own colours (a lid's
    // knob on a stalk) it stays.
    void aForeignPartBehindANarrowNeckGoes()
    {
        cv::Mat truth = body(), flower = cv::Mat::zeros(height, width, CV_8U);
        cv::circle(flower, {400, 80}, 45, 255, cv::FILLED);
        cv::Mat stem = cv::Mat::zeros(height, width, CV_8U);
        cv::line(stem, {289, 150}, {370, 100}, 255, 6);
        for (const bool foreign : {true, false}) {
            cv::Mat bgr = blurredBackdrop();
            paint(bgr, truth | stem, cv::Scalar(160, 90, 40));
            paint(bgr, flower, foreign ? cv::Scalar(40, 60, 220) : cv::Scalar(160, 90, 40));
            const cv::Mat map = mapOf(truth | stem | flower);
            int dropped = -1;
            const cv::Mat result = KSBusyBackdropRules::dropNeckedParts(bgr, map, &dropped);
            QCOMPARE(dropped, foreign ? 1 : 0);
            const double left = meanIn(result, flower);
            QVERIFY2(foreign ? left < 0.05 : left > 0.9, qPrintable(QString::number(left)));
            QVERIFY(meanIn(result, truth) > 0.95);
        }
    }

    // A person's thin arm and hand, and the head on its neck, in the skin's
    // colour that the body (clothes) lacks: neither rule takes them.
    void thinPartsOfTheSubjectStay()
    {
        cv::Mat clothes = cv::Mat::zeros(height, width, CV_8U), skin = clothes.clone();
        cv::ellipse(clothes, {240, 250}, {70, 110}, 0, 0, 360, 255, cv::FILLED);
        cv::rectangle(skin, cv::Rect(230, 120, 20, 30), 255, cv::FILLED); // neck
        cv::circle(skin, {240, 95}, 32, 255, cv::FILLED);                // head
        cv::line(skin, {300, 220}, {400, 150}, 255, 9);                  // arm
        cv::circle(skin, {405, 146}, 11, 255, cv::FILLED);               // hand
        skin &= ~clothes;
        cv::Mat bgr = blurredBackdrop();
        paint(bgr, clothes, cv::Scalar(150, 60, 50));
        paint(bgr, skin, cv::Scalar(120, 160, 215));
        const cv::Mat truth = clothes | skin, map = mapOf(truth);
        int blurred = -1, necked = -1;
        cv::Mat result = KSBusyBackdropRules::dropBlurredParts(bgr, map, &blurred);
        result = KSBusyBackdropRules::dropNeckedParts(bgr, result, &necked);
        QCOMPARE(blurred, 0);
        QCOMPARE(necked, 0);
        QVERIFY(iou(result, truth) > 0.98);
    }

    // The second look: a small subject is looked at again in a crop round
    // it; the crop's map, where it no longer finds the thing beside the
    // subject, takes it away; its place in the crop is the subject's.
    void aSmallSubjectGetsASecondLookAtACrop()
    {
        // The photo at twice the map's size.
        cv::Mat photo(2 * height, 2 * width, CV_8UC3, cv::Scalar(90, 120, 100));
        cv::Mat truth = cv::Mat::zeros(height, width, CV_8U), thing = truth.clone();
        cv::rectangle(truth, cv::Rect(200, 140, 60, 80), 255, cv::FILLED);
        cv::circle(thing, {275, 160}, 20, 255, cv::FILLED);
        thing &= ~truth;
        cv::Mat bigTruth;
        cv::resize(truth, bigTruth, photo.size(), 0, 0, cv::INTER_NEAREST);
        photo.setTo(cv::Scalar(20, 20, 230), bigTruth);
        const cv::Mat map = mapOf(truth | thing);

        int calls = 0;
        const KSBusyBackdropRules::NetworkPass pass = [&](const std::string &key, const cv::Mat &picture) {
            ++calls;
            [&] { QCOMPARE(key, std::string("crop")); }();
            // The network's map of the crop: the subject's red alone.
            cv::Mat red;
            cv::inRange(picture, cv::Scalar(0, 0, 200), cv::Scalar(60, 60, 255), red);
            cv::Mat out;
            cv::resize(red, out, {320, 320}, 0, 0, cv::INTER_AREA);
            out.convertTo(out, CV_32F, 1.0 / 255.0);
            return out;
        };
        bool ran = false;
        const cv::Mat result = KSBusyBackdropRules::secondLook(photo, map, pass, KSBusyBackdropRules::Blend::product,
                                                               0.1, &ran);
        QVERIFY(ran);
        QCOMPARE(calls, 1);
        QVERIFY(meanIn(result, thing) < 0.1);
        QVERIFY2(iou(result, truth) > 0.9, qPrintable(QString::number(iou(result, truth))));

        // A pass that cannot run leaves the first map.
        const cv::Mat same = KSBusyBackdropRules::secondLook(
            photo, map, [](const std::string &, const cv::Mat &) { return cv::Mat(); },
            KSBusyBackdropRules::Blend::product, 0.1, &ran);
        QVERIFY(!ran);
        QCOMPARE(cv::norm(same, map, cv::NORM_INF), 0.0);

        // A crop's map that loses what the first was sure of lost the
        // subject, not the scenery: the first map stands. One that parts the
        // subject from the thing beside it still counts.
        const cv::Mat lost = KSBusyBackdropRules::secondLook(
            photo, map, [](const std::string &, const cv::Mat &) { return cv::Mat(320, 320, CV_32F, cv::Scalar(0.02f)); },
            KSBusyBackdropRules::Blend::product, 0.1, &ran, 0.5);
        QVERIFY(ran);
        QCOMPARE(cv::norm(lost, map, cv::NORM_INF), 0.0);
        const cv::Mat parted = KSBusyBackdropRules::secondLook(photo, map, pass, KSBusyBackdropRules::Blend::product,
                                                               0.1, nullptr, 0.5);
        QVERIFY(meanIn(parted, thing) < 0.1);
    }

    // A large subject the network is sure of needs no second look, and the
    // engine asks for no pass.
    void aSureLargeSubjectGetsNoSecondPass()
    {
        cv::Mat truth = cv::Mat::zeros(height, width, CV_8U);
        cv::rectangle(truth, cv::Rect(60, 30, 360, 300), 255, cv::FILLED);
        cv::Mat map;
        truth.convertTo(map, CV_32F, 1.0 / 255.0);
        QVERIFY(!KSBusyBackdropRules::wantsSecondLook(map, 0.1));
        QVERIFY(KSBusyBackdropRules::secondLookCrop(map).empty());

        cv::Mat bgr = blurredBackdrop();
        paint(bgr, truth, cv::Scalar(60, 90, 170));
        int calls = 0;
        const cv::Mat mask = KSHybridCutoutEngine::fromMaps(
            bgr, map, cv::Mat(), KSEraserType::object, KSHybridCutoutEngine::Rules(), nullptr, nullptr,
            [&](const std::string &, const cv::Mat &) {
                ++calls;
                return cv::Mat();
            });
        QCOMPARE(calls, 0);
        QCOMPARE(mask.size(), bgr.size());
    }
};

QTEST_MAIN(TestBusyBackdropRules)
#include "tst_busybackdroprules.moc"
