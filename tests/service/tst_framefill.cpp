#include "KSClassicCutoutEngine.h"
#include "KSFrameFill.h"
#include "KSHybridCutoutEngine.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

// The frame-fill rule on generated photos, with the network stood in for: its
// first map drawn as the network gives it, and a further pass that answers
// as it does on padded photos (the photo's whole area for grey padding).
// What is checked is the decision and the geometry of the padded pass; the
// levels themselves are measured on the real network (bench_engine_framefill).
class TestFrameFill : public QObject
{
    Q_OBJECT

private:
    static constexpr int width = 480, height = 360, modelSide = 320;

    struct Calls
    {
        std::vector<std::string> keys;
    };

    // A pass that takes everything inside the photo (padding aside) for the
    // subject, as the network does with a photo padded with grey.
    static KSHybridCutoutEngine::NetworkPass wholePhoto(Calls *calls)
    {
        return [calls](const std::string &key, const cv::Mat &picture) {
            calls->keys.push_back(key);
            const int m = KSFrameFill::margin({width, height});
            cv::Mat inside = cv::Mat::zeros(picture.size(), CV_32F);
            inside(cv::Rect(m, m, picture.cols - 2 * m, picture.rows - 2 * m)).setTo(1.0f);
            cv::Mat map;
            cv::resize(inside, map, {modelSide, modelSide}, 0, 0, cv::INTER_AREA);
            return map;
        };
    }

    static cv::Mat atModelSize(const cv::Mat &map)
    {
        cv::Mat out;
        cv::resize(map, out, {modelSide, modelSide}, 0, 0, cv::INTER_AREA);
        return out;
    }

    static double kept(const cv::Mat &mask)
    {
        return cv::countNonZero(mask >= 128) / double(mask.total());
    }

    // Fur filling the frame, sharp everywhere, with a smooth muzzle in the
    // middle, the part the network is sure of; it doubts patches of the fur
    // round it and leaves the rest to the backdrop.
    static void closeUp(cv::Mat *bgr, cv::Mat *map)
    {
        cv::theRNG().state = 11;
        *bgr = cv::Mat(height, width, CV_8UC3, cv::Scalar(60, 120, 150));
        cv::Mat noise(bgr->size(), CV_16SC3);
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(45));
        cv::add(*bgr, noise, *bgr, cv::noArray(), CV_8UC3);
        cv::Mat muzzle = cv::Mat::zeros(bgr->size(), CV_8U);
        cv::ellipse(muzzle, {width / 2, height / 2}, {70, 120}, 0, 0, 360, 255, cv::FILLED);
        cv::Mat skin(bgr->size(), CV_8UC3, cv::Scalar(60, 60, 220));
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(6));
        cv::add(skin, noise, skin, cv::noArray(), CV_8UC3);
        skin.copyTo(*bgr, muzzle);

        cv::Mat m;
        muzzle.convertTo(m, CV_32F, 1.0 / 255.0);
        cv::Mat patches(bgr->size(), CV_32F);
        cv::randu(patches, 0.0, 1.0);
        cv::GaussianBlur(patches, patches, {0, 0}, 6);
        cv::normalize(patches, patches, 0.0, 1.0, cv::NORM_MINMAX);
        cv::Mat ring = cv::Mat::zeros(bgr->size(), CV_8U);
        cv::ellipse(ring, {width / 2, height / 2}, {150, 170}, 0, 0, 360, 255, cv::FILLED);
        cv::Mat doubt = cv::Mat::zeros(bgr->size(), CV_32F);
        doubt.setTo(0.45f, (patches > 0.5f) & ring);
        *map = atModelSize(cv::max(m, doubt));
    }

    // A small textured animal on a branch, among out-of-focus leaves; the
    // branch runs to the frame and the network doubts it.
    static void smallAmongScenery(cv::Mat *bgr, cv::Mat *map, cv::Mat *truth)
    {
        cv::theRNG().state = 12;
        cv::Mat leaves(height / 8, width / 8, CV_8UC3);
        cv::randu(leaves, cv::Scalar(20, 90, 30), cv::Scalar(90, 220, 120));
        cv::resize(leaves, *bgr, {width, height}, 0, 0, cv::INTER_CUBIC);
        cv::GaussianBlur(*bgr, *bgr, {0, 0}, 4);
        cv::Mat branch = cv::Mat::zeros(bgr->size(), CV_8U);
        cv::line(branch, {width / 2, height / 2 + 40}, {width, height - 60}, 255, 28);
        cv::Mat bark(bgr->size(), CV_8UC3);
        cv::randu(bark, cv::Scalar(30, 40, 50), cv::Scalar(90, 100, 110));
        bark.copyTo(*bgr, branch);
        *truth = cv::Mat::zeros(bgr->size(), CV_8U);
        cv::ellipse(*truth, {width / 2 - 20, height / 2}, {55, 75}, 0, 0, 360, 255, cv::FILLED);
        cv::Mat fur(bgr->size(), CV_8UC3);
        cv::randu(fur, cv::Scalar(20, 60, 120), cv::Scalar(70, 120, 200));
        fur.copyTo(*bgr, *truth);

        cv::Mat m;
        truth->convertTo(m, CV_32F, 1.0 / 255.0);
        m.setTo(0.4f, branch & ~*truth);
        cv::GaussianBlur(m, m, {5, 5}, 0);
        *map = atModelSize(m);
    }

private slots:
    // The padded pass is cropped back to the photo: a map that is the padded
    // picture's own green channel comes back as the photo's.
    void thePaddedPassIsCroppedBackToThePhoto_data()
    {
        QTest::addColumn<int>("padding");
        QTest::newRow("grey") << int(KSFrameFill::Padding::grey);
        QTest::newRow("mirror") << int(KSFrameFill::Padding::mirror);
    }

    void thePaddedPassIsCroppedBackToThePhoto()
    {
        QFETCH(int, padding);
        cv::Mat photo(height, width, CV_8UC3, cv::Scalar(0, 0, 0));
        cv::rectangle(photo, cv::Rect(0, 0, width / 3, height), cv::Scalar(0, 255, 0), cv::FILLED);
        cv::circle(photo, {width * 2 / 3, height / 3}, 50, cv::Scalar(0, 160, 0), cv::FILLED);
        const int m = KSFrameFill::margin(photo.size());
        QCOMPARE(m, width / 4);
        const cv::Mat padded = KSFrameFill::pad(photo, KSFrameFill::Padding(padding), m);
        QCOMPARE(padded.size(), cv::Size(width + 2 * m, height + 2 * m));
        cv::Mat green;
        cv::extractChannel(padded, green, 1);
        green.convertTo(green, CV_32F, 1.0 / 255.0);
        const cv::Mat map = atModelSize(green);

        const cv::Size work(width / 2, height / 2);
        const cv::Mat back = KSFrameFill::cropBack(map, photo.size(), m, work);
        QCOMPARE(back.size(), work);
        cv::Mat expected;
        cv::extractChannel(photo, expected, 1);
        cv::resize(expected, expected, work, 0, 0, cv::INTER_AREA);
        expected.convertTo(expected, CV_32F, 1.0 / 255.0);
        // Off by a few pixels would show along the edges as errors near 1.
        cv::Mat error = cv::abs(back - expected);
        QVERIFY2(cv::mean(error)[0] < 0.03, qPrintable(QString::number(cv::mean(error)[0])));
    }

    // A close-up the network guts, or in which it finds nothing: the rule
    // pads with grey and keeps the whole picture.
    void aSubjectFillingTheFrameIsKept_data()
    {
        QTest::addColumn<bool>("nothingFound");
        QTest::newRow("gutted") << false;
        QTest::newRow("nothing found") << true;
    }

    void aSubjectFillingTheFrameIsKept()
    {
        QFETCH(bool, nothingFound);
        cv::Mat bgr, map;
        closeUp(&bgr, &map);
        if (nothingFound)
            map.setTo(0.02f);
        Calls calls;
        KSClassicCutoutEngine classic;
        const KSHybridCutoutEngine::Rules rules;
        const cv::Mat before = KSHybridCutoutEngine::fromMaps(bgr, map, {}, KSEraserType::object, rules, &classic);
        const cv::Mat after = KSHybridCutoutEngine::fromMaps(bgr, map, {}, KSEraserType::object, rules, &classic,
                                                             nullptr, wholePhoto(&calls));
        QVERIFY2(kept(before) < 0.5, qPrintable(QString::number(kept(before))));
        QCOMPARE(calls.keys, std::vector<std::string>{"pad-grey"});
        QVERIFY2(kept(after) > 0.9, qPrintable(QString::number(kept(after))));
    }

    // The photo's and its mirror image's maps part ways over most of a
    // close-up: their mean keeps nothing, so a padded pass settles it, and
    // the frame-fill rule, which wants the same pass, does not run it again.
    // Maps that agree call for no pass.
    void mapsThatPartWaysAreSettledByAPaddedPass()
    {
        cv::Mat bgr, ignored;
        closeUp(&bgr, &ignored);
        cv::Mat first = cv::Mat::zeros(bgr.size(), CV_32F);
        cv::ellipse(first, {width / 2, height / 2}, {200, 160}, 0, 0, 360, 0.7, cv::FILLED);
        // The smooth muzzle it is sure of, as in closeUp().
        cv::ellipse(first, {width / 2, height / 2}, {70, 120}, 0, 0, 360, 0.97, cv::FILLED);
        const cv::Mat map = atModelSize(first);
        const cv::Mat mirrored(map.size(), CV_32F, cv::Scalar(0.1f));
        KSClassicCutoutEngine classic;
        const KSHybridCutoutEngine::Rules rules;
        QVERIFY(KSHybridCutoutEngine::disagreement(map, mirrored) >= rules.refereeFrom);

        KSHybridCutoutEngine::Rules noReferee;
        noReferee.refereeFrom = 0;
        noReferee.frameFill = false;
        Calls none;
        const cv::Mat mean = KSHybridCutoutEngine::fromMaps(bgr, map, mirrored, KSEraserType::object, noReferee,
                                                            &classic, nullptr, wholePhoto(&none));
        QVERIFY(none.keys.empty());
        QVERIFY2(kept(mean) < 0.2, qPrintable(QString::number(kept(mean))));

        KSHybridCutoutEngine::Rules refereeAlone = rules;
        refereeAlone.frameFill = false;
        Calls calls;
        const cv::Mat settled = KSHybridCutoutEngine::fromMaps(bgr, map, mirrored, KSEraserType::object,
                                                               refereeAlone, &classic, nullptr, wholePhoto(&calls));
        QCOMPARE(calls.keys, std::vector<std::string>{"pad-grey"});
        QVERIFY2(kept(settled) > 0.45, qPrintable(QString::number(kept(settled))));

        Calls both;
        const cv::Mat filled = KSHybridCutoutEngine::fromMaps(bgr, map, mirrored, KSEraserType::object, rules,
                                                              &classic, nullptr, wholePhoto(&both));
        QCOMPARE(both.keys, std::vector<std::string>{"pad-grey"});
        QVERIFY2(kept(filled) > 0.45, qPrintable(QString::number(kept(filled))));

        cv::Mat scenery, sceneryMap, truth;
        smallAmongScenery(&scenery, &sceneryMap, &truth);
        Calls agreeing;
        const cv::Mat same = KSHybridCutoutEngine::fromMaps(scenery, sceneryMap, sceneryMap.clone(),
                                                            KSEraserType::object, rules, &classic, nullptr,
                                                            wholePhoto(&agreeing));
        QVERIFY(agreeing.keys.empty());
        QVERIFY(!same.empty());
    }

    // A blank wall or a plain sweep in which the network found nothing has
    // no subject: padded with grey it would pass for one, so no pass runs
    // and the engine's "no subject" stands.
    void aBlankPictureGetsNoPaddedPass_data()
    {
        QTest::addColumn<bool>("sweep");
        QTest::newRow("blank wall") << false;
        QTest::newRow("grey sweep") << true;
    }

    void aBlankPictureGetsNoPaddedPass()
    {
        QFETCH(bool, sweep);
        cv::Mat bgr(height, width, CV_8UC3, cv::Scalar(200, 210, 216));
        if (sweep)
            for (int y = 0; y < height; ++y)
                bgr.row(y).setTo(cv::Scalar::all(230 - 100.0 * y / height));
        cv::Mat noise(bgr.size(), CV_16SC3);
        cv::theRNG().state = 5;
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(2));
        cv::add(bgr, noise, bgr, cv::noArray(), CV_8UC3);
        const cv::Mat map = cv::Mat(modelSide, modelSide, CV_32F, cv::Scalar(0.01f));
        Calls calls;
        KSClassicCutoutEngine classic;
        const cv::Mat mask = KSHybridCutoutEngine::fromMaps(bgr, map, {}, KSEraserType::object,
                                                            KSHybridCutoutEngine::Rules(), &classic, nullptr,
                                                            wholePhoto(&calls));
        QVERIFY(calls.keys.empty());
        QVERIFY2(kept(mask) < 0.01, qPrintable(QString::number(kept(mask))));
    }

    // A small subject among busy scenery that the frame cuts: grey padding
    // would take the whole scene, so the rule stands aside.
    void sceneryRoundASmallSubjectIsNotTaken()
    {
        cv::Mat bgr, map, truth;
        smallAmongScenery(&bgr, &map, &truth);
        Calls calls;
        KSClassicCutoutEngine classic;
        const cv::Mat mask = KSHybridCutoutEngine::fromMaps(bgr, map, {}, KSEraserType::object,
                                                            KSHybridCutoutEngine::Rules(), &classic, nullptr,
                                                            wholePhoto(&calls));
        QVERIFY(calls.keys.empty());
        QVERIFY2(kept(mask) < 2 * kept(truth), qPrintable(QString::number(kept(mask))));
    }
};

QTEST_GUILESS_MAIN(TestFrameFill)
#include "tst_framefill.moc"
