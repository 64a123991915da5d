#include "KSDnnlNetwork.h"
#include "TinyOnnxModel.h"

#include <QTemporaryDir>
#include <QTest>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

namespace {
constexpr int side = 54; // twice an odd number: the pooling rounds up

cv::Mat blobOf(int seed)
{
    // A picture-like input: smooth shapes and noise around zero.
    cv::Mat picture(side, side, CV_32FC3);
    cv::RNG rng(static_cast<uint64_t>(seed));
    rng.fill(picture, cv::RNG::UNIFORM, -0.5, 0.5);
    cv::circle(picture, {side / 2, side / 3}, side / 4, cv::Scalar(0.4, -0.3, 0.2), -1);
    return cv::dnn::blobFromImage(picture);
}

double largestDifference(const cv::Mat &a, const cv::Mat &b)
{
    const cv::Mat flatA(1, int(a.total()), CV_32F, const_cast<float *>(a.ptr<float>()));
    const cv::Mat flatB(1, int(b.total()), CV_32F, const_cast<float *>(b.ptr<float>()));
    return cv::norm(flatA, flatB, cv::NORM_INF);
}
} // namespace

class TestDnnlNetwork : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &data)
    {
        const QString path = m_dir.filePath(name);
        return TinyOnnxModel::write(path, data) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (!KSDnnlNetwork::builtIn())
            QSKIP("this build has no oneDNN");
    }

    // The network with every operator of the installed model gives what
    // OpenCV's DNN gives, on several inputs through one loaded network (the
    // arena of activations is reused between passes).
    void agreesWithOpenCv()
    {
        const QString path = write(QStringLiteral("network.onnx"), TinyOnnxModel::networkModel(side, 7));
        QString error;
        const std::unique_ptr<KSDnnlNetwork> fast = KSDnnlNetwork::load(path, "input", "output", side, side, &error);
        QVERIFY2(fast, qPrintable(error));
        // Vector kernels, not the reference ones.
        QVERIFY2(fast->runtimeName().contains(QStringLiteral("jit")), qPrintable(fast->runtimeName()));
        cv::dnn::Net reference = cv::dnn::readNetFromONNX(path.toStdString());
        for (int seed = 1; seed <= 3; ++seed) {
            const cv::Mat blob = blobOf(seed);
            std::string why;
            const cv::Mat output = fast->forward(blob, &why);
            QVERIFY2(!output.empty(), why.c_str());
            reference.setInput(blob, "input");
            const cv::Mat expected = reference.forward("output");
            QCOMPARE(output.dims, 4);
            for (int d = 0; d < 4; ++d)
                QCOMPARE(output.size[d], expected.size[d]);
            // Not a flat answer: the test would pass on any constant.
            double low = 0, high = 0;
            cv::minMaxIdx(expected, &low, &high);
            QVERIFY2(high - low > 0.1, qPrintable(QStringLiteral("%1..%2").arg(low).arg(high)));
            QVERIFY2(largestDifference(output, expected) < 1e-4,
                     qPrintable(QString::number(largestDifference(output, expected))));
        }
    }

    // A network loaded for two pictures gives each what a network loaded
    // for one gives it; the graph's sizes name a batch of 1, and its Concat
    // cannot join in place once each picture's channels lie apart.
    void runsABatchOfTwo()
    {
        const QString path = write(QStringLiteral("batch.onnx"), TinyOnnxModel::networkModel(side, 7));
        QString error;
        const std::unique_ptr<KSDnnlNetwork> one = KSDnnlNetwork::load(path, "input", "output", side, side, &error);
        QVERIFY2(one, qPrintable(error));
        const std::unique_ptr<KSDnnlNetwork> two = KSDnnlNetwork::load(path, "input", "output", side, side, &error, 2);
        QVERIFY2(two, qPrintable(error));
        const cv::Mat pictures[] = {blobOf(4), blobOf(5)};
        const int pairShape[] = {2, 3, side, side};
        cv::Mat pair(4, pairShape, CV_32F);
        const size_t pictureFloats = pictures[0].total();
        for (int n = 0; n < 2; ++n)
            std::copy_n(pictures[n].ptr<float>(), pictureFloats, pair.ptr<float>(n));
        std::string why;
        const cv::Mat both = two->forward(pair, &why);
        QVERIFY2(!both.empty(), why.c_str());
        QCOMPARE(both.size[0], 2);
        const int outputShape[] = {1, both.size[1], both.size[2], both.size[3]};
        for (int n = 0; n < 2; ++n) {
            const cv::Mat alone = one->forward(pictures[n], &why);
            QVERIFY2(!alone.empty(), why.c_str());
            const cv::Mat part(4, outputShape, CV_32F, const_cast<float *>(both.ptr<float>(n)));
            QVERIFY2(largestDifference(part, alone) < 1e-5, qPrintable(QString::number(largestDifference(part, alone))));
        }
        // Not the first picture's answer twice.
        const cv::Mat first(4, outputShape, CV_32F, const_cast<float *>(both.ptr<float>(0)));
        const cv::Mat second(4, outputShape, CV_32F, const_cast<float *>(both.ptr<float>(1)));
        QVERIFY(largestDifference(first, second) > 0.01);
        // One picture is not a batch of two.
        QVERIFY(two->forward(pictures[0], &why).empty());
        QVERIFY2(why.find("is not a 2 x 3 x 54 x 54 float blob") != std::string::npos, why.c_str());
    }

    void refusesWhatItCannotRun_data()
    {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("reason");
        const QByteArray network = TinyOnnxModel::networkModel(side, 7);
        QTest::newRow("no file") << QByteArray() << QStringLiteral("input") << side << QStringLiteral("No such file");
        QTest::newRow("not a model") << QByteArray(4096, 'x') << QStringLiteral("input") << side
                                     << QStringLiteral("no readable ONNX model");
        // The first half of a model: a damaged download or conversion.
        QTest::newRow("a truncated model") << network.left(network.size() / 2) << QStringLiteral("input") << side
                                           << QStringLiteral("no readable ONNX model");
        QTest::newRow("an input the graph lacks") << network << QStringLiteral("image") << side
                                                  << QStringLiteral("no input \"image\"");
        // Resize's other modes would give other pictures: refused, not guessed.
        std::string nearest;
        {
            using namespace TinyOnnxModel;
            bytes(nearest, 5, tensor("scales", {4}, {1, 1, 2, 2}));
            bytes(nearest, 1, node("Resize", {"input", "", "scales"}, "output", {text("mode", "nearest")}));
            bytes(nearest, 2, "nearest");
            bytes(nearest, 11, valueInfo("input", {1, 3, 8, 8}));
            bytes(nearest, 12, valueInfo("output", {1, 3, 16, 16}));
        }
        QTest::newRow("a Resize to the nearest pixel") << TinyOnnxModel::model(nearest) << QStringLiteral("input") << 8
                                                      << QStringLiteral("resizes in a way this runtime lacks (nearest");
        std::string graph;
        using namespace TinyOnnxModel;
        bytes(graph, 1, node("Tanh", {"input"}, "output"));
        bytes(graph, 2, "unsupported");
        bytes(graph, 11, valueInfo("input", {1, 3, 8, 8}));
        bytes(graph, 12, valueInfo("output", {1, 3, 8, 8}));
        QTest::newRow("an operator it lacks") << model(graph) << QStringLiteral("input") << 8
                                              << QStringLiteral("the operator Tanh is not supported");
    }
    void refusesWhatItCannotRun()
    {
        QFETCH(QByteArray, model);
        QFETCH(QString, input);
        QFETCH(int, size);
        QFETCH(QString, reason);
        const QString path = model.isNull() ? m_dir.filePath(QStringLiteral("missing.onnx"))
                                            : write(QString::fromLatin1(QTest::currentDataTag()), model);
        QString error;
        QVERIFY(!KSDnnlNetwork::load(path, input.toStdString(), "output", size, size, &error));
        QVERIFY2(error.contains(reason) && error.contains(path), qPrintable(error));
    }

    void refusesAnInputOfAnotherSize()
    {
        const QString path = write(QStringLiteral("sized.onnx"), TinyOnnxModel::networkModel(side, 7));
        QString error;
        const std::unique_ptr<KSDnnlNetwork> fast = KSDnnlNetwork::load(path, "input", "output", side, side, &error);
        QVERIFY2(fast, qPrintable(error));
        const int other[] = {1, 3, side + 2, side};
        std::string why;
        QVERIFY(fast->forward(cv::Mat(4, other, CV_32F, cv::Scalar(0)), &why).empty());
        QVERIFY2(why.find("is not a 1 x 3 x 54 x 54 float blob") != std::string::npos, why.c_str());
    }
};

QTEST_GUILESS_MAIN(TestDnnlNetwork)
#include "tst_dnnlnetwork.moc"
