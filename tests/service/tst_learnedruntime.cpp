#include "KSDnnlNetwork.h"
#include "KSInstalledModel.h"
#include "KSLearnedModel.h"
#include "KSServiceLog.h"
#include "TinyOnnxModel.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgproc.hpp>

// Which runtime runs the learned model: oneDNN where it can, OpenCV's DNN
// where it cannot or is told to, with the same probabilities either way and
// a log line saying why the fast path was passed over.
class TestLearnedRuntime : public QObject
{
    Q_OBJECT

    static constexpr int side = 54;
    QTemporaryDir m_dir;
    QMutex m_linesMutex;
    QStringList m_lines;

    QString install(const QString &name, const QByteArray &model, int size = side)
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder);
        TinyOnnxModel::write(folder + QStringLiteral("/model.onnx"), model);
        const QJsonObject description{
            {QStringLiteral("name"), name},
            {QStringLiteral("file"), QStringLiteral("model.onnx")},
            {QStringLiteral("input"),
             QJsonObject{{QStringLiteral("name"), QStringLiteral("input")},
                         {QStringLiteral("width"), size},
                         {QStringLiteral("height"), size},
                         {QStringLiteral("channels"), QStringLiteral("RGB")},
                         {QStringLiteral("scale"), 1.0},
                         {QStringLiteral("mean"), QJsonArray{128, 128, 128}},
                         {QStringLiteral("std"), QJsonArray{256, 256, 256}}}},
            {QStringLiteral("output"), QJsonObject{{QStringLiteral("name"), QStringLiteral("output")},
                                                   {QStringLiteral("min"), 0.0},
                                                   {QStringLiteral("max"), 1.0}}}};
        const QString path = folder + QStringLiteral("/model.json");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(QJsonDocument(description).toJson());
        return path;
    }

    // A photo-like picture: a subject of soft colours on a textured backdrop.
    static cv::Mat picture(int seed)
    {
        cv::Mat bgr(180 + 20 * seed, 240, CV_8UC3);
        cv::RNG rng(static_cast<uint64_t>(seed));
        rng.fill(bgr, cv::RNG::UNIFORM, 0, 256);
        cv::GaussianBlur(bgr, bgr, {0, 0}, 3);
        cv::ellipse(bgr, {120, 100}, {50, 70}, 0, 0, 360, cv::Scalar(40 * seed, 90, 200), cv::FILLED);
        return bgr;
    }

    QStringList linesSoFar()
    {
        const QMutexLocker lock(&m_linesMutex);
        return m_lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        KSServiceLog::setSink([this](bool, const QString &line) {
            const QMutexLocker lock(&m_linesMutex);
            m_lines << line;
        });
    }
    void cleanupTestCase() { KSServiceLog::setSink({}); }
    void init()
    {
        const QMutexLocker lock(&m_linesMutex);
        m_lines.clear();
        qunsetenv("CUTORA_RUNTIME");
    }

    // The network with every operator of the installed model, on the fast
    // path and on the fallback: the same probabilities on several pictures.
    void bothRuntimesGiveTheSameProbability()
    {
        const QByteArray network = TinyOnnxModel::networkModel(side, 3);
        const QString fastPath = install(QStringLiteral("fast"), network);
        const QString fallbackPath = install(QStringLiteral("fallback"), network);
        KSLearnedModel fast(fastPath);
        KSLearnedModel fallback(fallbackPath, KSLearnedModel::Runtime::opencv);
        QVERIFY2(fast.waitUntilLoaded(), qPrintable(fast.errorString()));
        QVERIFY2(fallback.waitUntilLoaded(), qPrintable(fallback.errorString()));

        const QString expectedFast = KSDnnlNetwork::builtIn() ? KSDnnlNetwork::version() : QStringLiteral("OpenCV");
        QVERIFY2(fast.runtimeName().startsWith(expectedFast), qPrintable(fast.runtimeName()));
        QVERIFY2(fallback.runtimeName().startsWith(QStringLiteral("OpenCV")), qPrintable(fallback.runtimeName()));
        // What the About window reads for each.
        QCOMPARE(KSInstalledModel::read(fastPath).runtime, fast.runtimeName());
        QCOMPARE(KSInstalledModel::read(fallbackPath).runtime, fallback.runtimeName());

        for (int seed = 1; seed <= 3; ++seed) {
            std::string error;
            const cv::Mat a = fast.predict(picture(seed), &error);
            QVERIFY2(!a.empty(), error.c_str());
            const cv::Mat b = fallback.predict(picture(seed), &error);
            QVERIFY2(!b.empty(), error.c_str());
            QCOMPARE(a.size(), cv::Size(side, side));
            QVERIFY2(cv::norm(a, b, cv::NORM_INF) < 1e-4, qPrintable(QString::number(cv::norm(a, b, cv::NORM_INF))));
        }
    }

    void fallsBackToOpenCvWithALogLine_data()
    {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QByteArray>("runtimeTold");
        QTest::addColumn<QString>("logged");

        // OpenCV has Tanh; the fast path does not.
        std::string graph;
        {
            using namespace TinyOnnxModel;
            bytes(graph, 1, node("Conv", {"input", "weights", "bias"}, "logits", {ints("kernel_shape", {1, 1})}));
            bytes(graph, 1, node("Tanh", {"logits"}, "bent"));
            bytes(graph, 1, node("Sigmoid", {"bent"}, "output"));
            bytes(graph, 2, "tanh");
            bytes(graph, 5, tensor("weights", {1, 3, 1, 1}, {8, 0, -8}));
            bytes(graph, 5, tensor("bias", {1}, {0}));
            bytes(graph, 11, valueInfo("input", {1, 3, 32, 32}));
            bytes(graph, 12, valueInfo("output", {1, 1, 32, 32}));
        }
        const QString reason = KSDnnlNetwork::builtIn() ? QStringLiteral("the operator Tanh is not supported")
                                                        : QStringLiteral("no oneDNN in this build");
        QTest::newRow("an operator the fast path lacks")
            << TinyOnnxModel::model(graph) << QByteArray() << reason;
        // Support can pass over the fast path without a rebuild; nothing is
        // tried, so nothing is logged about it.
        QTest::newRow("told to use OpenCV") << TinyOnnxModel::colourModel(32, {8, 0, -8}, 0) << QByteArray("opencv")
                                            << QString();
    }
    void fallsBackToOpenCvWithALogLine()
    {
        QFETCH(QByteArray, model);
        QFETCH(QByteArray, runtimeTold);
        QFETCH(QString, logged);
        if (!runtimeTold.isEmpty())
            qputenv("CUTORA_RUNTIME", runtimeTold);
        KSLearnedModel learned(install(QString::fromLatin1(QTest::currentDataTag()), model, 32));
        QVERIFY2(learned.waitUntilLoaded(), qPrintable(learned.errorString()));
        QVERIFY2(learned.runtimeName().startsWith(QStringLiteral("OpenCV")), qPrintable(learned.runtimeName()));
        std::string error;
        QVERIFY2(!learned.predict(picture(1), &error).empty(), error.c_str());

        const QString lines = linesSoFar().join(QLatin1Char('\n'));
        QVERIFY2(lines.contains(QStringLiteral("run by ") + learned.runtimeName()), qPrintable(lines));
        if (logged.isEmpty())
            QVERIFY2(!lines.contains(QStringLiteral("oneDNN")), qPrintable(lines));
        else
            QVERIFY2(lines.contains(logged) && lines.contains(QStringLiteral("OpenCV's DNN runs the model instead")),
                     qPrintable(lines));
    }
};

QTEST_GUILESS_MAIN(TestLearnedRuntime)
#include "tst_learnedruntime.moc"
