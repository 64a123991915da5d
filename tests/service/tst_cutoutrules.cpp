#include "KSBackdropMatte.h"
#include "KSClassicCutoutEngine.h"
#include "KSCutoutRules.h"
#include "KSHybridCutoutEngine.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

// The default engine's rules on generated photos, with the network's map
// stood in for by a map drawn from the truth: what each rule must take away
// or keep whatever the network and the classical engine make of it.
class TestCutoutRules : public QObject
{
    Q_OBJECT

private:
    static constexpr int width = 480, height = 360;

    struct Photo
    {
        cv::Mat bgr;
        cv::Mat truth; // 255 subject
        cv::Mat map;   // what the network might give, CV_32F
    };

    static void addNoise(cv::Mat &bgr)
    {
        cv::Mat noise(bgr.size(), CV_16SC3);
        cv::theRNG().state = 5;
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(3));
        cv::add(bgr, noise, bgr, cv::noArray(), CV_8UC3);
    }

    static cv::Mat mapOf(const cv::Mat &truth)
    {
        cv::Mat map;
        truth.convertTo(map, CV_32F, 1.0 / 255.0);
        cv::GaussianBlur(map, map, {5, 5}, 0);
        return map;
    }

    // A product (a box with a lid) standing on a light backdrop, its soft
    // contact shadow spreading to the right of its base.
    static Photo productWithShadow()
    {
        Photo p;
        p.bgr = cv::Mat(height, width, CV_8UC3, cv::Scalar(215, 225, 235));
        cv::Mat shadow = cv::Mat::zeros(p.bgr.size(), CV_32F);
        cv::ellipse(shadow, {270, 290}, {130, 22}, 0, 0, 360, 1.0, cv::FILLED);
        cv::GaussianBlur(shadow, shadow, {0, 0}, 8);
        cv::Mat darkening;
        cv::merge(std::vector<cv::Mat>(3, 1.0 - 0.55 * shadow), darkening);
        cv::Mat backdrop;
        p.bgr.convertTo(backdrop, CV_32FC3);
        backdrop = backdrop.mul(darkening);
        backdrop.convertTo(p.bgr, CV_8UC3);
        p.truth = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::rectangle(p.truth, cv::Rect(170, 110, 140, 180), 255, cv::FILLED);
        cv::rectangle(p.truth, cv::Rect(160, 95, 160, 20), 255, cv::FILLED);
        p.bgr.setTo(cv::Scalar(40, 40, 150), p.truth);
        addNoise(p.bgr);
        // The network half took the shadow for part of the subject.
        p.map = mapOf(p.truth);
        cv::Mat doubted = (shadow > 0.3) & (p.truth == 0);
        p.map.setTo(0.6f, doubted);
        return p;
    }

    // A mug with a handle on a plain backdrop: the handle encloses backdrop.
    // With `spotted`, the mug's body has a pale spot the network punched out.
    static Photo mug(bool spotted)
    {
        Photo p;
        p.bgr = cv::Mat(height, width, CV_8UC3, cv::Scalar(235, 205, 170));
        p.truth = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::rectangle(p.truth, cv::Rect(140, 90, 150, 190), 255, cv::FILLED);
        cv::ellipse(p.truth, {300, 185}, {55, 60}, 0, 0, 360, 255, 22);
        p.bgr.setTo(cv::Scalar(60, 120, 60), p.truth);
        if (spotted)
            cv::circle(p.bgr, {215, 185}, 22, cv::Scalar(240, 250, 250), cv::FILLED);
        addNoise(p.bgr);
        p.map = mapOf(p.truth);
        if (spotted)
            cv::circle(p.map, {215, 185}, 22, 0.0, cv::FILLED);
        return p;
    }

    // A brown comb with teeth 6 pixels wide and gaps 8 wide, a thin green
    // stem rising from its back, on a backdrop shading from pale blue at the
    // top to white at the bottom, at a size above the network's. The map
    // is the truth as a 768-pixel network would see it: the teeth one solid
    // block, no stem, a soft edge. `gaps` gets the inside of the gaps, `stem`
    // the stem.
    static Photo comb(cv::Mat *gaps, cv::Mat *stem)
    {
        const int combWidth = 1200, combHeight = 900;
        Photo p;
        p.bgr = cv::Mat(combHeight, combWidth, CV_8UC3);
        for (int y = 0; y < combHeight; ++y)
            p.bgr.row(y).setTo(cv::Scalar(250, 225 + 25.0 * y / combHeight, 200 + 50.0 * y / combHeight));
        p.truth = cv::Mat::zeros(p.bgr.size(), CV_8U);
        *gaps = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::rectangle(p.truth, cv::Rect(350, 380, 500, 70), 255, cv::FILLED);
        for (int x = 352; x + 6 <= 850; x += 14) {
            cv::rectangle(p.truth, cv::Rect(x, 450, 6, 160), 255, cv::FILLED);
            if (x + 14 <= 850)
                cv::rectangle(*gaps, cv::Rect(x + 7, 452, 6, 156), 255, cv::FILLED);
        }
        *stem = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::line(*stem, {600, 379}, {640, 200}, 255, 3);
        p.bgr.setTo(cv::Scalar(30, 60, 110), p.truth);
        p.bgr.setTo(cv::Scalar(40, 150, 40), *stem);
        p.truth |= *stem;
        addNoise(p.bgr);

        cv::Mat seen;
        cv::morphologyEx(p.truth & ~*stem, seen, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, {15, 1}));
        cv::resize(seen, seen, {}, 0.4, 0.4, cv::INTER_AREA);
        cv::resize(seen, seen, p.bgr.size(), 0, 0, cv::INTER_LINEAR);
        seen.convertTo(p.map, CV_32F, 1.0 / 255.0);
        return p;
    }

    static double shareAbove(const cv::Mat &mask, const cv::Mat &where, int level)
    {
        return double(cv::countNonZero((mask >= level) & where)) / std::max(1, cv::countNonZero(where));
    }

    // The default engine without the classical one, which finds the stem
    // on its own; with or without the backdrop matte.
    static cv::Mat networkAndRules(const Photo &p, bool matte)
    {
        KSHybridCutoutEngine::Rules rules;
        rules.backdropMatte = matte;
        return KSHybridCutoutEngine::fromMaps(p.bgr, p.map, cv::Mat(), KSEraserType::object, rules, nullptr);
    }

    static double iou(const cv::Mat &mask, const cv::Mat &truth)
    {
        const cv::Mat a = mask >= 128, b = truth >= 128;
        return double(cv::countNonZero(a & b)) / std::max(1, cv::countNonZero(a | b));
    }

    static cv::Mat defaultMask(const Photo &p, KSEraserType type)
    {
        KSClassicCutoutEngine classic;
        return KSHybridCutoutEngine::fromMaps(p.bgr, p.map, cv::Mat(), type, KSHybridCutoutEngine::Rules(), &classic);
    }

private slots:
    // Neither the doubted shadow of the map nor the classical engine's
    // subject, which takes the shadow in, may bring the shadow back.
    void aContactShadowIsBackdrop()
    {
        const Photo p = productWithShadow();
        QVERIFY(KSClassicCutoutEngine::plainBackdrop(p.bgr));
        const cv::Mat shadow = KSCutoutRules::castShadow(p.bgr, p.map, 0.9f);
        QCOMPARE(shadow.at<uchar>(300, 380), uchar(255));
        QCOMPARE(cv::countNonZero(shadow & p.truth), 0);

        const cv::Mat mask = defaultMask(p, KSEraserType::object);
        QCOMPARE(mask.size(), p.bgr.size());
        QVERIFY2(mask.at<uchar>(300, 380) < 64, qPrintable(QString::number(mask.at<uchar>(300, 380))));
        QVERIFY2(iou(mask, p.truth) > 0.95, qPrintable(QString::number(iou(mask, p.truth))));
    }

    // A grey subject on a grey backdrop looks like a shadow all over: it is
    // the subject's own colour, and nothing goes.
    void aSubjectOfTheBackdropsColourIsNoShadow()
    {
        Photo p = mug(false);
        p.bgr.setTo(cv::Scalar(235, 205, 170));
        p.bgr.setTo(cv::Scalar(150, 128, 106), p.truth);
        QCOMPARE(cv::countNonZero(KSCutoutRules::castShadow(p.bgr, p.map, 2.0f)), 0);
    }

    void holesByTheirColour_data()
    {
        QTest::addColumn<bool>("spotted");
        QTest::newRow("the backdrop inside the handle stays a hole") << false;
        QTest::newRow("a pale spot of the subject the network punched is filled") << true;
    }
    void holesByTheirColour()
    {
        QFETCH(bool, spotted);
        const Photo p = mug(spotted);
        const cv::Mat mask = defaultMask(p, KSEraserType::object);
        QCOMPARE(mask.at<uchar>(185, 300), uchar(0)); // inside the handle
        if (spotted)
            QCOMPARE(mask.at<uchar>(185, 215), uchar(255));
        QVERIFY2(iou(mask, p.truth) > 0.95, qPrintable(QString::number(iou(mask, p.truth))));
    }

    // Over a busy backdrop the network also finds the backdrop's own salient
    // thing, here a plant the frame cuts, touching the subject through soft
    // values only: it goes, and the subject keeps the network's map.
    void aSalientThingTouchingTheSubjectOverABusyBackdrop()
    {
        Photo p;
        p.bgr = cv::Mat(height, width, CV_8UC3);
        cv::RNG blocks(3);
        for (int y = 0; y < height; y += 12)
            for (int x = 0; x < width; x += 12)
                cv::rectangle(p.bgr, cv::Rect(x, y, 12, 12),
                              cv::Scalar(blocks.uniform(0, 256), blocks.uniform(0, 256), blocks.uniform(0, 256)),
                              cv::FILLED);
        p.truth = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::ellipse(p.truth, {220, 190}, {110, 90}, 0, 0, 360, 255, cv::FILLED);
        p.bgr.setTo(cv::Scalar(30, 90, 160), p.truth);
        const cv::Rect plant(335, 60, 145, 200);
        p.bgr(plant).setTo(cv::Scalar(40, 160, 40));
        p.map = mapOf(p.truth);
        p.map(plant).setTo(0.95f);
        cv::rectangle(p.map, cv::Rect(325, 150, 12, 40), 0.3, cv::FILLED); // the soft join
        QVERIFY(!KSClassicCutoutEngine::plainBackdrop(p.bgr));

        const cv::Mat mask = defaultMask(p, KSEraserType::object);
        QCOMPARE(mask.at<uchar>(160, 420), uchar(0));
        QCOMPARE(mask.at<uchar>(190, 220), uchar(255));
        QVERIFY2(iou(mask, p.truth) > 0.95, qPrintable(QString::number(iou(mask, p.truth))));
    }

    // On a plain backdrop the colours open the gaps the network closed and
    // bring back the thin stem it lost, and the teeth stay whole.
    void theBackdropMatteOpensGapsAndKeepsTheStem()
    {
        cv::Mat gaps, stem;
        const Photo p = comb(&gaps, &stem);
        QVERIFY(KSClassicCutoutEngine::plainBackdrop(p.bgr));
        const cv::Mat before = networkAndRules(p, false), after = networkAndRules(p, true);
        QVERIFY(shareAbove(before, gaps, 128) > 0.5);
        QVERIFY(shareAbove(before, stem, 128) < 0.2);
        QVERIFY2(shareAbove(after, gaps, 128) < 0.05, qPrintable(QString::number(shareAbove(after, gaps, 128))));
        QVERIFY2(shareAbove(after, stem, 128) > 0.9, qPrintable(QString::number(shareAbove(after, stem, 128))));
        QVERIFY2(iou(after, p.truth) > 0.95 && iou(after, p.truth) > iou(before, p.truth) + 0.05,
                 qPrintable(QString("%1 -> %2").arg(iou(before, p.truth)).arg(iou(after, p.truth))));
        cv::Mat teeth;
        cv::erode(p.truth & ~stem, teeth, cv::Mat(), {-1, -1}, 1);
        QVERIFY(shareAbove(after, teeth, 250) > 0.99);
    }

    // A broad part of the subject in the backdrop's colour (a white label
    // on the comb) is the subject's, and a shadow on the floor, darker
    // backdrop, never becomes subject.
    void theBackdropMatteKeepsBackdropColouredPartsAndShadows()
    {
        cv::Mat gaps, stem;
        Photo p = comb(&gaps, &stem);
        cv::Mat label = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::rectangle(label, cv::Rect(420, 390, 200, 50), 255, cv::FILLED);
        p.bgr.setTo(cv::Scalar(250, 246, 246), label);
        cv::Mat shadow = cv::Mat::zeros(p.bgr.size(), CV_8U);
        cv::ellipse(shadow, {900, 615}, {80, 10}, 0, 0, 360, 255, cv::FILLED);
        cv::Mat darker;
        p.bgr.convertTo(darker, CV_8UC3, 0.7);
        darker.copyTo(p.bgr, shadow);
        const cv::Mat map = p.map > 0.5f;
        bool applied = false;
        const cv::Mat mask = KSBackdropMatte::solve(p.bgr, map, &applied);
        QVERIFY(applied);
        QVERIFY(shareAbove(mask, label, 128) > 0.99);
        QCOMPARE(cv::countNonZero(mask & shadow & ~map & ~p.truth), 0);
    }

    // Over a busy backdrop the rule never runs, and given one it finds no
    // smooth surface that explains it and leaves the mask as it was.
    void theBackdropMatteLeavesABusyBackdrop()
    {
        cv::Mat gaps, stem;
        Photo p = comb(&gaps, &stem);
        cv::RNG blocks(3);
        cv::Mat busy(p.bgr.size(), CV_8UC3);
        for (int y = 0; y < busy.rows; y += 30)
            for (int x = 0; x < busy.cols; x += 30)
                cv::rectangle(busy, cv::Rect(x, y, 30, 30),
                              cv::Scalar(blocks.uniform(0, 256), blocks.uniform(0, 256), blocks.uniform(0, 256)),
                              cv::FILLED);
        p.bgr.copyTo(busy, p.truth);
        p.bgr = busy;
        QVERIFY(!KSClassicCutoutEngine::plainBackdrop(p.bgr));
        QCOMPARE(cv::norm(networkAndRules(p, true), networkAndRules(p, false), cv::NORM_INF), 0.0);

        cv::Mat mask;
        p.map.convertTo(mask, CV_8U, 255.0);
        bool applied = true;
        const cv::Mat solved = KSBackdropMatte::solve(p.bgr, mask, &applied);
        QVERIFY(!applied);
        QCOMPARE(cv::norm(solved, mask, cv::NORM_INF), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestCutoutRules)
#include "tst_cutoutrules.moc"
