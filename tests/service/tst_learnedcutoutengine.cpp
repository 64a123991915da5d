#include "KSHybridCutoutEngine.h"
#include "KSLearnedCutoutEngine.h"
#include "KSLearnedModel.h"
#include "ServiceTestClient.h"
#include "TinyOnnxModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRect>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgproc.hpp>

Q_DECLARE_METATYPE(cv::Mat)

// The learned engine with tiny models written by the test: a known subject
// is separated, the description is honoured, and every way a model can be
// unusable ends in the classical engine with a reason.
class TestLearnedCutoutEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A red subject on a blue backdrop, or on a busy one of blocks of many
    // colours, with sensor noise.
    struct Photo
    {
        cv::Mat bgr, truth;
    };
    static Photo photo(cv::Size size = {300, 200}, bool busy = false)
    {
        Photo p;
        p.bgr = cv::Mat(size, CV_8UC3, cv::Scalar(200, 80, 30));
        cv::RNG blocks(7);
        for (int y = 0; busy && y < size.height; y += 16)
            for (int x = 0; x < size.width; x += 16)
                cv::rectangle(p.bgr, cv::Rect(x, y, 16, 16),
                              cv::Scalar(blocks.uniform(0, 256), blocks.uniform(0, 256), blocks.uniform(0, 256)),
                              cv::FILLED);
        p.truth = cv::Mat::zeros(size, CV_8U);
        cv::ellipse(p.truth, {size.width / 2, size.height / 2}, {size.width / 5, size.height / 3}, 0, 0, 360, 255, cv::FILLED);
        p.bgr.setTo(cv::Scalar(30, 40, 210), p.truth);
        cv::Mat noise(size, CV_16SC3);
        cv::theRNG().state = 11;
        cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(4));
        cv::add(p.bgr, noise, p.bgr, cv::noArray(), CV_8UC3);
        return p;
    }

    static double iou(const cv::Mat &mask, const cv::Mat &truth)
    {
        const cv::Mat a = mask >= 128, b = truth >= 128;
        return double(cv::countNonZero(a & b)) / std::max(1, cv::countNonZero(a | b));
    }

    static QJsonObject description(const QString &file = QStringLiteral("tiny.onnx"))
    {
        return QJsonObject{
            {QStringLiteral("name"), QStringLiteral("tiny-colour")},
            {QStringLiteral("file"), file},
            {QStringLiteral("input"),
             QJsonObject{{QStringLiteral("name"), QStringLiteral("input")},
                         {QStringLiteral("width"), 32},
                         {QStringLiteral("height"), 32},
                         {QStringLiteral("channels"), QStringLiteral("RGB")},
                         {QStringLiteral("scale"), 1.0},
                         {QStringLiteral("mean"), QJsonArray{0, 0, 0}},
                         {QStringLiteral("std"), QJsonArray{255, 255, 255}}}},
            {QStringLiteral("output"),
             QJsonObject{{QStringLiteral("name"), QStringLiteral("output")},
                         {QStringLiteral("min"), 0.0},
                         {QStringLiteral("max"), 1.0}}}};
    }

    // Writes a description (and, unless told otherwise, the tiny model
    // beside it) into a folder of its own; returns the description's path.
    QString install(const QString &name, const QJsonObject &json, const QByteArray &model = TinyOnnxModel::colourModel(32, {8, 0, -8}, 0))
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder);
        if (!model.isNull())
            TinyOnnxModel::write(folder + QStringLiteral("/tiny.onnx"), model);
        const QString path = folder + QStringLiteral("/model.json");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(QJsonDocument(json).toJson());
        return path;
    }

    static QJsonObject with(QJsonObject json, const QString &section, const QString &key, const QJsonValue &value)
    {
        QJsonObject inner = json.value(section).toObject();
        if (value.isUndefined())
            inner.remove(key);
        else
            inner.insert(key, value);
        json.insert(section, inner);
        return json;
    }

    // A probability map for the clean-up: 0 everywhere, shapes drawn at 1.
    static cv::Mat probability() { return cv::Mat::zeros(200, 200, CV_32F); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Run by hand, the test must not replace the user's installed model.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    }

    void separatesAKnownSubject_data()
    {
        QTest::addColumn<QString>("channels");
        QTest::addColumn<bool>("subjectFound");
        QTest::newRow("RGB as described: the red subject") << QStringLiteral("RGB") << true;
        // The same weights read in the other order find the blue backdrop.
        QTest::newRow("BGR: channels swapped, backdrop found instead") << QStringLiteral("BGR") << false;
    }
    void separatesAKnownSubject()
    {
        QFETCH(QString, channels);
        QFETCH(bool, subjectFound);
        auto model = std::make_shared<KSLearnedModel>(
            install(channels, with(description(), QStringLiteral("input"), QStringLiteral("channels"), channels)));
        QVERIFY2(model->waitUntilLoaded(), qPrintable(model->errorString()));
        KSLearnedCutoutEngine engine(model);
        const Photo p = photo();
        std::string error;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType::object, &error);
        QVERIFY2(!mask.empty(), error.c_str());
        QCOMPARE(mask.type(), CV_8UC1);
        QCOMPARE(mask.size(), p.bgr.size());
        QCOMPARE(engine.name(), std::string("tiny-colour"));
        if (subjectFound)
            QVERIFY2(iou(mask, p.truth) > 0.9, QByteArray::number(iou(mask, p.truth)).constData());
        else
            QVERIFY(iou(mask, p.truth) < 0.1);
    }

    void unusableModelsFallBackToTheClassicalEngine_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QString>("reason");
        const QByteArray tiny = TinyOnnxModel::colourModel(32, {8, 0, -8}, 0);
        QTest::newRow("a field missing from the description")
            << with(description(), QStringLiteral("output"), QStringLiteral("name"), QJsonValue::Undefined) << tiny
            << QStringLiteral("\"output.name\" is missing");
        QTest::newRow("a mean that is no list of three")
            << with(description(), QStringLiteral("input"), QStringLiteral("mean"), 128) << tiny
            << QStringLiteral("\"input.mean\" is not a list of three numbers");
        QTest::newRow("the model file missing") << description() << QByteArray() << QStringLiteral("is missing");
        QTest::newRow("a model that does not load") << description() << QByteArray(4096, 'x')
                                                    << QStringLiteral("cannot be loaded");
        // A truncated download: the first half of a real model.
        QTest::newRow("a truncated model") << description() << tiny.left(tiny.size() / 2)
                                           << QStringLiteral("cannot be loaded");
        QTest::newRow("an output the model does not have")
            << with(description(), QStringLiteral("output"), QStringLiteral("name"), QStringLiteral("mask")) << tiny
            << QStringLiteral("has no output \"mask\"");
    }
    void unusableModelsFallBackToTheClassicalEngine()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QByteArray, model);
        QFETCH(QString, reason);
        auto learned = std::make_shared<KSLearnedModel>(install(QString::fromLatin1(QTest::currentDataTag()), json, model));
        QVERIFY(!learned->waitUntilLoaded());
        QVERIFY2(learned->errorString().contains(reason), qPrintable(learned->errorString()));

        KSLearnedCutoutEngine engine(learned);
        const Photo p = photo();
        std::string error;
        const cv::Mat mask = engine.mask(p.bgr, KSEraserType::object, &error);
        QCOMPARE(mask.size(), p.bgr.size());
        QCOMPARE(engine.name(), std::string("classic-grabcut"));
        QVERIFY(iou(mask, p.truth) > 0.9);
    }

    void cleanUpKeepsTheSubjectAndDropsBlobs_data()
    {
        QTest::addColumn<cv::Mat>("map");
        QTest::addColumn<int>("type");
        QTest::addColumn<QList<QPoint>>("kept");
        QTest::addColumn<QList<QPoint>>("dropped");

        cv::Mat ring = probability();
        cv::circle(ring, {100, 100}, 60, 1.0, 25);
        cv::circle(ring, {100, 100}, 6, 1.0, cv::FILLED); // a speck inside the hole
        QTest::newRow("ring kept, speck in its hole dropped")
            << ring << int(KSEraserType::object) << QList<QPoint>{{40, 100}, {160, 100}} << QList<QPoint>{{100, 100}};

        cv::Mat parts = probability();
        cv::rectangle(parts, cv::Rect(20, 20, 80, 80), 1.0, cv::FILLED);
        cv::rectangle(parts, cv::Rect(130, 130, 40, 40), 1.0, cv::FILLED); // a quarter of the first
        cv::circle(parts, {170, 30}, 3, 1.0, cv::FILLED);                 // a blob of the backdrop
        QTest::newRow("object: both parts kept, small blob dropped")
            << parts << int(KSEraserType::object) << QList<QPoint>{{60, 60}, {150, 150}} << QList<QPoint>{{170, 30}};

        cv::Mat person = probability();
        cv::rectangle(person, cv::Rect(60, 80, 80, 120), 1.0, cv::FILLED); // on the bottom edge
        cv::circle(person, {100, 60}, 25, 1.0, cv::FILLED);               // the head, joined
        cv::rectangle(person, cv::Rect(150, 10, 25, 25), 1.0, cv::FILLED); // a salient thing behind
        // An arm held out, joined to the body by a faint wrist only; the
        // space between arm and body must stay open.
        cv::rectangle(person, cv::Rect(20, 90, 12, 60), 1.0, cv::FILLED);
        cv::rectangle(person, cv::Rect(32, 140, 28, 4), 0.3, cv::FILLED);
        QTest::newRow("person: figure and faintly joined arm kept, detached thing dropped")
            << person << int(KSEraserType::person) << QList<QPoint>{{100, 150}, {100, 40}, {25, 100}}
            << QList<QPoint>{{160, 20}, {45, 110}};

        cv::Mat group = probability();
        cv::rectangle(group, cv::Rect(20, 80, 60, 120), 1.0, cv::FILLED);
        cv::rectangle(group, cv::Rect(120, 100, 50, 100), 1.0, cv::FILLED);
        QTest::newRow("person: a second person of similar size kept")
            << group << int(KSEraserType::person) << QList<QPoint>{{50, 150}, {145, 150}} << QList<QPoint>{{100, 50}};
    }
    void cleanUpKeepsTheSubjectAndDropsBlobs()
    {
        QFETCH(cv::Mat, map);
        QFETCH(int, type);
        QFETCH(QList<QPoint>, kept);
        QFETCH(QList<QPoint>, dropped);
        cv::Mat result = map.clone();
        result.setTo(0.0f, KSLearnedCutoutEngine::subjectRegion(map, KSEraserType(type)) == 0);
        for (const QPoint &p : kept)
            QVERIFY2(result.at<float>(p.y(), p.x()) == map.at<float>(p.y(), p.x()), qPrintable(QStringLiteral("kept %1,%2").arg(p.x()).arg(p.y())));
        for (const QPoint &p : dropped)
            QVERIFY2(result.at<float>(p.y(), p.x()) == 0.0f, qPrintable(QStringLiteral("dropped %1,%2").arg(p.x()).arg(p.y())));
    }

    // On a plain backdrop the classical engine's subject parts the network
    // missed join its subject; on a busy one the network stands alone. The
    // tiny network sees red only: of a person with a red head and a grey
    // body running off the bottom, it finds the head.
    void theHybridEngineAddsTheClassicalEngineOnPlainBackdrops_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("engine");
        QTest::newRow("plain backdrop: both engines") << false << QStringLiteral("tiny-colour+classic-grabcut");
        QTest::newRow("busy backdrop: the network alone") << true << QStringLiteral("tiny-colour");
    }
    void theHybridEngineAddsTheClassicalEngineOnPlainBackdrops()
    {
        QFETCH(bool, busy);
        QFETCH(QString, engine);
        auto model = std::make_shared<KSLearnedModel>(install(QStringLiteral("hybrid"), description()));
        QVERIFY2(model->waitUntilLoaded(), qPrintable(model->errorString()));
        KSHybridCutoutEngine hybrid(model);
        Photo p = photo({300, 200}, busy);
        if (!busy) {
            p.bgr.setTo(cv::Scalar(200, 80, 30));
            p.truth.setTo(0);
            cv::rectangle(p.truth, cv::Rect(90, 110, 120, 90), 255, cv::FILLED);
            p.bgr.setTo(cv::Scalar(205, 205, 205), p.truth);
            cv::Mat head = cv::Mat::zeros(p.truth.size(), CV_8U);
            cv::ellipse(head, {150, 70}, {40, 50}, 0, 0, 360, 255, cv::FILLED);
            p.bgr.setTo(cv::Scalar(30, 40, 210), head);
            p.truth.setTo(255, head);
        }
        QCOMPARE(KSClassicCutoutEngine::plainBackdrop(p.bgr), !busy);
        std::string error;
        const cv::Mat mask = hybrid.mask(p.bgr, busy ? KSEraserType::object : KSEraserType::person, &error);
        QVERIFY2(!mask.empty(), error.c_str());
        QCOMPARE(mask.size(), p.bgr.size());
        QCOMPARE(QString::fromStdString(hybrid.name()), engine);
        if (!busy) // the tiny colour model also takes the busy backdrop's red blocks
            QVERIFY2(iou(mask, p.truth) > 0.9, qPrintable(QString::number(iou(mask, p.truth))));
    }

    // A picture where neither the network nor the classical engine finds a
    // subject is a failure with its cause, not a transparent cut-out.
    void theHybridEngineFailsWithoutASubject()
    {
        auto model = std::make_shared<KSLearnedModel>(install(QStringLiteral("empty"), description()));
        QVERIFY2(model->waitUntilLoaded(), qPrintable(model->errorString()));
        KSHybridCutoutEngine hybrid(model);
        const cv::Mat blank(200, 300, CV_8UC3, cv::Scalar(200, 80, 30));
        std::string error;
        QVERIFY(hybrid.mask(blank, KSEraserType::object, &error).empty());
        QVERIFY2(error.find("no subject found") != std::string::npos, error.c_str());
    }

    // The network drew the subject's outline but took its flat left half for
    // background; the classical engine found the whole subject, and a stray
    // blob the network knows nothing of. The fused mask keeps the network's
    // own values wherever it found the subject.
    void fusionJoinsWhatTheNetworkOutlined_data()
    {
        QTest::addColumn<QString>("learnedKind"); // "outlined", "half", "nothing", "whole"
        QTest::addColumn<bool>("blobTouched");
        QTest::addColumn<bool>("sizesDiffer");
        QTest::addColumn<bool>("added");
        QTest::addColumn<bool>("leftHalf");
        QTest::addColumn<bool>("blobKept");
        QTest::newRow("an outlined half comes back, the stray blob does not")
            << "outlined" << false << false << true << true << false;
        QTest::newRow("a blob the network only touches stays out") << "outlined" << true << false << true << true << false;
        QTest::newRow("a half the network did not outline stays out") << "half" << false << false << false << false << false;
        QTest::newRow("the network found nothing: the classical mask stands")
            << "nothing" << false << false << true << true << true;
        QTest::newRow("the network found it all: nothing is added") << "whole" << false << false << false << true << false;
        QTest::newRow("masks of different sizes: the network's") << "outlined" << false << true << false << false << false;
    }
    void fusionJoinsWhatTheNetworkOutlined()
    {
        QFETCH(QString, learnedKind);
        QFETCH(bool, blobTouched);
        QFETCH(bool, sizesDiffer);
        QFETCH(bool, added);
        QFETCH(bool, leftHalf);
        QFETCH(bool, blobKept);
        const cv::Size size(400, 300);
        const cv::Rect subject(100, 60, 200, 180), rightHalf(200, 60, 100, 180), blob(330, 20, 50, 50);
        cv::Mat classic = cv::Mat::zeros(size, CV_8U);
        classic(subject).setTo(255);
        classic(blob).setTo(255);
        cv::Mat learned = cv::Mat::zeros(size, CV_8U);
        if (learnedKind == QLatin1String("outlined"))
            cv::rectangle(learned, subject, 255, 3);
        if (learnedKind == QLatin1String("outlined") || learnedKind == QLatin1String("half"))
            learned(rightHalf).setTo(200);
        else if (learnedKind == QLatin1String("whole"))
            learned(subject).setTo(200);
        if (blobTouched) // a corner of the network's subject reaches into the blob
            learned(cv::Rect(330, 20, 8, 8)).setTo(255);
        if (sizesDiffer)
            cv::resize(classic, classic, {200, 150}, 0, 0, cv::INTER_NEAREST);

        bool wasAdded = !added;
        const cv::Mat fused = KSHybridCutoutEngine::fuse(learned, classic, KSEraserType::object, 0.7, &wasAdded);
        QCOMPARE(fused.size(), size);
        QCOMPARE(wasAdded, added);
        QCOMPARE(fused.at<uchar>(150, 150) >= 128, leftHalf);
        QCOMPARE(fused.at<uchar>(60, 370) >= 128, blobKept);
        QCOMPARE(fused.at<uchar>(10, 10), uchar(0));
        if (learnedKind != QLatin1String("nothing"))
            QCOMPARE(fused.at<uchar>(150, 250), uchar(200)); // the network's own value
    }

    // A busy backdrop's salient things the frame cuts are scenery when a
    // subject lies inside the frame.
    void sceneryCutByTheFrameIsDropped_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QRect>("inside");     // empty: none
        QTest::addColumn<QRect>("atTheFrame");
        QTest::addColumn<bool>("dropped");
        const QRect flower(340, 0, 60, 120);  // cut by the top and the right edge
        const QRect bottom(120, 200, 100, 100); // cut by the bottom edge only
        QTest::newRow("object: the flower goes, the subject stays")
            << int(KSEraserType::object) << QRect(100, 80, 150, 120) << flower << true;
        QTest::newRow("person: standing on the bottom edge is no cut")
            << int(KSEraserType::person) << bottom << flower << true;
        QTest::newRow("object on the bottom edge: no subject inside, nothing goes")
            << int(KSEraserType::object) << QRect() << bottom << false;
        QTest::newRow("a speck inside is no subject") << int(KSEraserType::object) << QRect(50, 50, 8, 8) << flower
                                                      << false;
        // A close-up the frame cuts, a smaller thing behind it.
        QTest::newRow("the larger thing is cut: nothing goes")
            << int(KSEraserType::object) << QRect(100, 100, 40, 40) << flower << false;
    }
    void sceneryCutByTheFrameIsDropped()
    {
        QFETCH(int, type);
        QFETCH(QRect, inside);
        QFETCH(QRect, atTheFrame);
        QFETCH(bool, dropped);
        auto rect = [](const QRect &r) { return cv::Rect(r.x(), r.y(), r.width(), r.height()); };
        cv::Mat mask = cv::Mat::zeros(300, 400, CV_8U);
        if (!inside.isEmpty())
            mask(rect(inside)).setTo(230);
        mask(rect(atTheFrame)).setTo(255);
        const cv::Mat result = KSHybridCutoutEngine::dropFrameCutScenery(mask, KSEraserType(type));
        const QPoint frame = atTheFrame.center();
        QCOMPARE(result.at<uchar>(frame.y(), frame.x()), uchar(dropped ? 0 : 255));
        if (!inside.isEmpty()) // the subject keeps the network's own values
            QCOMPARE(result.at<uchar>(inside.center().y(), inside.center().x()), uchar(230));
    }

    // The mirrored map counts only when the first one was unsure of enough
    // of its subject.
    void theMirroredMapCountsWhenTheFirstIsUnsure_data()
    {
        QTest::addColumn<float>("edge"); // the first map's level over the subject's left half
        QTest::addColumn<bool>("averaged");
        QTest::newRow("a sure map stands alone") << 1.0f << false;
        QTest::newRow("an unsure map is averaged with its mirror") << 0.6f << true;
    }
    void theMirroredMapCountsWhenTheFirstIsUnsure()
    {
        QFETCH(float, edge);
        QFETCH(bool, averaged);
        cv::Mat photo(192, 256, CV_8UC3);
        cv::randu(photo, cv::Scalar::all(0), cv::Scalar::all(255)); // busy: no plain border
        cv::Mat map = cv::Mat::zeros(192, 256, CV_32F);
        map(cv::Rect(96, 48, 32, 96)).setTo(edge);
        map(cv::Rect(128, 48, 32, 96)).setTo(1.0f);
        // The mirror saw a wider subject: its extra column shows only when averaged.
        cv::Mat mirrored = map.clone();
        mirrored(cv::Rect(96, 48, 32, 96)).setTo(1.0f);
        mirrored(cv::Rect(160, 48, 16, 96)).setTo(1.0f);
        QCOMPARE(KSHybridCutoutEngine::unsureShare(map) >= KSHybridCutoutEngine::Rules().mirroredFromUnsure, averaged);
        KSHybridCutoutEngine::Rules rules;
        rules.dropBlobs = rules.dropScenery = rules.shadows = rules.holes = rules.classicOnPlain = false;
        const cv::Mat mask = KSHybridCutoutEngine::fromMaps(photo, map, mirrored, KSEraserType::object, rules, nullptr);
        QCOMPARE(mask.at<uchar>(96, 168), uchar(averaged ? 128 : 0));
    }

    // The installed model runs unless told otherwise, through the hybrid
    // engine: the busy photo is the network's.
    void theServiceReportsTheEngineOfEachMask_data()
    {
        QTest::addColumn<QString>("choice"); // "file", or what the option says
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("engine");
        QTest::newRow("a usable model") << QStringLiteral("file") << true << QStringLiteral("tiny-colour");
        QTest::newRow("a broken model: the classical engine")
            << QStringLiteral("file") << false << QStringLiteral("classic-grabcut");
        QTest::newRow("the installed model unasked") << QString() << true << QStringLiteral("tiny-colour");
        QTest::newRow("the installed model declined") << QStringLiteral("none") << true
                                                      << QStringLiteral("classic-grabcut");
        QTest::newRow("the installed model asked for") << QStringLiteral("installed") << true
                                                       << QStringLiteral("tiny-colour");
    }
    void theServiceReportsTheEngineOfEachMask()
    {
        QFETCH(QString, choice);
        QFETCH(bool, usable);
        QFETCH(QString, engine);
        qunsetenv("CUTORA_MODEL");
        const QByteArray model = usable ? TinyOnnxModel::colourModel(32, {8, 0, -8}, 0) : QByteArray("broken");
        // A model at the installed place, where the install script puts it.
        const QString installed = KSLocalService::defaultModelDescription();
        QVERIFY(QDir().mkpath(QFileInfo(installed).absolutePath()));
        QFile::remove(installed);
        QVERIFY(QFile::copy(install(QStringLiteral("installed-") + QString::number(usable), description(), model),
                            installed));
        TinyOnnxModel::write(QFileInfo(installed).absolutePath() + QStringLiteral("/tiny.onnx"), model);

        ServiceTestClient client;
        KSLocalService::Options options = client.options(m_dir.filePath(QStringLiteral("service-") + QTest::currentDataTag()));
        options.modelDescription = choice == QLatin1String("file")
                                       ? install(QStringLiteral("service-model-") + engine, description(), model)
                                       : choice;
        QVERIFY(client.service.start(options));
        const QString token = client.service.localToken();

        const Photo p = photo({300, 200}, true);
        cv::Mat rgb;
        cv::cvtColor(p.bgr, rgb, cv::COLOR_BGR2RGB);
        QByteArray picture;
        QBuffer buffer(&picture);
        buffer.open(QIODevice::WriteOnly);
        QImage(rgb.data, rgb.cols, rgb.rows, int(rgb.step), QImage::Format_RGB888).save(&buffer, "PNG");

        const QJsonObject task = client.waitForTask(token, client.createTask(token, picture, "object"));
        QCOMPARE(task.value(QStringLiteral("status")).toInt(), 2);
        QCOMPARE(task.value(QStringLiteral("engine")).toString(), engine);
        client.service.stop();
    }
};

QTEST_GUILESS_MAIN(TestLearnedCutoutEngine)
#include "tst_learnedcutoutengine.moc"
