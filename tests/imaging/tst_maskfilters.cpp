#include "KSBoxFilters.h"
#include "KSComponents.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

// The mask filters the service's engines and the editor's smart brush share.
class TestMaskFilters : public QObject
{
    Q_OBJECT

private slots:
    void componentsTouchingASeed_data()
    {
        QTest::addColumn<cv::Point>("seed");
        QTest::addColumn<int>("connectivity");
        QTest::addColumn<bool>("keepsLeft");
        QTest::addColumn<bool>("keepsRight");

        // Two squares meeting at one corner only.
        QTest::newRow("seed in the left square, corners join") << cv::Point(2, 2) << 8 << true << true;
        QTest::newRow("seed in the left square, sides only") << cv::Point(2, 2) << 4 << true << false;
        QTest::newRow("seed in the right square, sides only") << cv::Point(7, 7) << 4 << false << true;
        // The seed's own pixel does not make the background a component.
        QTest::newRow("seed on the background") << cv::Point(9, 0) << 8 << false << false;
    }

    void componentsTouchingASeed()
    {
        QFETCH(cv::Point, seed);
        QFETCH(int, connectivity);
        QFETCH(bool, keepsLeft);
        QFETCH(bool, keepsRight);
        cv::Mat binary = cv::Mat::zeros(10, 10, CV_8U);
        binary(cv::Rect(0, 0, 5, 5)).setTo(255);
        binary(cv::Rect(5, 5, 5, 5)).setTo(255);
        cv::Mat seeds = cv::Mat::zeros(binary.size(), CV_8U);
        seeds.at<uchar>(seed) = 1;

        const cv::Mat kept = KSComponents::touching(binary, seeds, connectivity);
        QCOMPARE(kept.type(), CV_8UC1);
        QCOMPARE(cv::countNonZero(kept(cv::Rect(0, 0, 5, 5)) == 255), keepsLeft ? 25 : 0);
        QCOMPARE(cv::countNonZero(kept(cv::Rect(5, 5, 5, 5)) == 255), keepsRight ? 25 : 0);
        QCOMPARE(cv::countNonZero(kept), (keepsLeft ? 25 : 0) + (keepsRight ? 25 : 0));
    }

    // Where the weight is nil the colour does not count: next to a weighted
    // red half, the unweighted blue half reads red.
    void weightedMeanReadsOnlyTheWeightedColour()
    {
        cv::Mat colour(8, 8, CV_32FC3, cv::Scalar(255, 0, 0));
        colour(cv::Rect(0, 0, 4, 8)).setTo(cv::Scalar(0, 0, 255));
        cv::Mat weight = cv::Mat::zeros(8, 8, CV_32F);
        weight(cv::Rect(0, 0, 4, 8)).setTo(1.0f);

        const cv::Mat mean = KSBoxFilters::weightedMean(colour, weight, 2);
        QCOMPARE(mean.type(), CV_32FC3);
        for (int x : {0, 3, 4, 5}) {
            const cv::Vec3f at = mean.at<cv::Vec3f>(4, x);
            QVERIFY2(std::abs(at[2] - 255.0f) < 0.01f && std::abs(at[0]) < 0.01f, qPrintable(QString::number(x)));
        }
    }

    // An edge of the input that lies on an edge of the guide stays sharp,
    // grey or colour guide alike; a flat guide lets it blur.
    void guidedKeepsTheGuidesEdges_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("flatGuide");
        QTest::newRow("grey guide") << 1 << false;
        QTest::newRow("colour guide") << 3 << false;
        QTest::newRow("flat guide") << 1 << true;
    }

    void guidedKeepsTheGuidesEdges()
    {
        QFETCH(int, channels);
        QFETCH(bool, flatGuide);
        const cv::Rect right(10, 0, 10, 20);
        cv::Mat guide(20, 20, CV_32FC(channels), cv::Scalar(0.2, 0.5, 0.7));
        if (!flatGuide)
            guide(right).setTo(cv::Scalar(0.8, 0.3, 0.1));
        // A photo's grain: without it every window of a two-coloured guide
        // has a singular colour covariance.
        cv::Mat grain(guide.size(), guide.type());
        cv::RNG(7).fill(grain, cv::RNG::NORMAL, 0.0, 0.01);
        guide += grain;
        cv::Mat input = cv::Mat::zeros(20, 20, CV_32F);
        input(right).setTo(1.0f);

        const cv::Mat result = KSBoxFilters::guided(guide, input, 3, 1e-2);
        QCOMPARE(result.type(), CV_32FC1);
        const float inside = result.at<float>(10, 10), outside = result.at<float>(10, 9);
        if (flatGuide) {
            QVERIFY2(inside < 0.8f && outside > 0.2f, qPrintable(QStringLiteral("%1 %2").arg(outside).arg(inside)));
        } else {
            QVERIFY2(inside > 0.9f && outside < 0.1f, qPrintable(QStringLiteral("%1 %2").arg(outside).arg(inside)));
        }
    }
};

QTEST_GUILESS_MAIN(TestMaskFilters)
#include "tst_maskfilters.moc"
