#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/dnn.hpp>

// The install script's model tool (scripts/model-tool.py): reassembling a
// model from hashed chunks refuses every damaged chunk and leaves nothing
// behind, and the converter turns a shipped fp16 graph into one OpenCV loads
// that computes what the fp32 original computes.
class TestModelTool : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    static inline const QString python = QStringLiteral("/usr/bin/python3");

    static QString tool()
    {
        return qEnvironmentVariable("CUTORA_SOURCE_DIR") + QStringLiteral("/scripts/model-tool.py");
    }

    struct Run
    {
        int exitCode = -1;
        QString errors;
    };
    static Run run(const QStringList &arguments)
    {
        QProcess process;
        process.start(python, QStringList{tool()} + arguments);
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardError())};
    }

    // The shipped-like fp16 model and its fp32 reference, into folder.
    static bool makeModels(const QString &folder)
    {
        QProcess make;
        make.start(python, {QFINDTESTDATA("make_fp16_model.py"), folder});
        if (!make.waitForFinished(60000) || make.exitCode() != 0) {
            qWarning("%s", make.readAllStandardError().constData());
            return false;
        }
        return true;
    }

    static bool pythonHas(const QString &module)
    {
        QProcess process;
        process.start(python, {QStringLiteral("-c"), QStringLiteral("import ") + module});
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // A payload split into 4 KiB chunks named by their sha256, listed in a
    // resources file the way the model's package lists its files.
    static QByteArray writeChunks(const QString &folder)
    {
        QByteArray payload;
        for (int i = 0; i < 10000; ++i)
            payload.append(char(i * 7 % 251));
        QJsonArray chunks;
        for (qsizetype offset = 0; offset < payload.size(); offset += 4096) {
            const QByteArray chunk = payload.mid(offset, 4096);
            const QString hash = QString::fromLatin1(QCryptographicHash::hash(chunk, QCryptographicHash::Sha256).toHex());
            QFile file(folder + QLatin1Char('/') + hash);
            if (!file.open(QIODevice::WriteOnly))
                return {};
            file.write(chunk);
            chunks.append(QJsonObject{{QStringLiteral("hash"), hash},
                                      {QStringLiteral("offsets"), QJsonArray{offset, offset + chunk.size()}}});
        }
        QFile resources(folder + QStringLiteral("/resources.json"));
        if (!resources.open(QIODevice::WriteOnly))
            return {};
        resources.write(QJsonDocument(QJsonObject{{QStringLiteral("/models/medium"),
                                                   QJsonObject{{QStringLiteral("chunks"), chunks},
                                                               {QStringLiteral("size"), payload.size()}}}})
                            .toJson());
        return payload;
    }

    static QString chunkPath(const QString &folder, int index)
    {
        QFile file(folder + QStringLiteral("/resources.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QJsonArray chunks = QJsonDocument::fromJson(file.readAll())
                                      .object()
                                      .value(QStringLiteral("/models/medium"))
                                      .toObject()
                                      .value(QStringLiteral("chunks"))
                                      .toArray();
        return folder + QLatin1Char('/') + chunks.at(index).toObject().value(QStringLiteral("hash")).toString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // scripts/install-deps.sh brings Debian's python3 with python3-onnx:
        // without them the model cannot be installed, so that is a failure.
        QVERIFY2(QFile::exists(python), "no /usr/bin/python3: scripts/install-deps.sh installs it");
        QVERIFY2(pythonHas(QStringLiteral("onnx")), "python3-onnx is missing: scripts/install-deps.sh installs it");
    }

    void assemblyChecksEveryChunk_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("reason"); // empty: the payload comes back whole
        QTest::newRow("intact chunks") << QString() << QStringLiteral("/models/medium") << QString();
        QTest::newRow("a byte changed") << QStringLiteral("flip") << QStringLiteral("/models/medium")
                                        << QStringLiteral("chunk 1 (%1) does not match its sha256");
        QTest::newRow("a truncated chunk") << QStringLiteral("truncate") << QStringLiteral("/models/medium")
                                           << QStringLiteral("chunk 1 (%1) has 2000 bytes, expected 4096");
        QTest::newRow("a missing chunk") << QStringLiteral("remove") << QStringLiteral("/models/medium")
                                         << QStringLiteral("chunk 1 (%1) is missing");
        QTest::newRow("an entry the file does not list") << QString() << QStringLiteral("/models/large")
                                                         << QStringLiteral("the resources file lists no /models/large");
    }
    void assemblyChecksEveryChunk()
    {
        QFETCH(QString, damage);
        QFETCH(QString, entry);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QByteArray payload = writeChunks(folder);
        QVERIFY(!payload.isEmpty());
        const QString chunk = chunkPath(folder, 1);
        QFile file(chunk);
        if (damage == QLatin1String("flip")) {
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            bytes[100] = char(bytes[100] ^ 1);
            file.seek(0);
            file.write(bytes);
            file.close();
        } else if (damage == QLatin1String("truncate")) {
            QVERIFY(file.resize(2000));
        } else if (damage == QLatin1String("remove")) {
            QVERIFY(file.remove());
        }

        const QString out = folder + QStringLiteral("/model.onnx");
        const Run result = run({QStringLiteral("assemble"), folder + QStringLiteral("/resources.json"), folder, entry, out});
        if (reason.isEmpty()) {
            QCOMPARE(result.exitCode, 0);
            QFile assembled(out);
            QVERIFY(assembled.open(QIODevice::ReadOnly));
            QCOMPARE(assembled.readAll(), payload);
            return;
        }
        QCOMPARE(result.exitCode, 1);
        const QString expected = reason.contains(QLatin1String("%1")) ? reason.arg(QFileInfo(chunk).fileName()) : reason;
        QVERIFY2(result.errors.contains(expected), qPrintable(result.errors));
        // Nothing half-made is left where the model would be found.
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(folder).entryList({QStringLiteral(".partial-*")}, QDir::Hidden | QDir::Files).size(), 0);
    }

    void convertedFp16ModelComputesWhatTheOriginalDoes()
    {
        const QString folder = m_dir.filePath(QStringLiteral("convert"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(makeModels(folder));

        // As shipped, OpenCV cannot use the graph.
        const std::string half = (folder + QStringLiteral("/half.onnx")).toStdString();
        bool loadsAsShipped = true;
        try {
            cv::dnn::Net net = cv::dnn::readNetFromONNX(half);
            loadsAsShipped = !net.empty();
        } catch (const cv::Exception &) {
            loadsAsShipped = false;
        }
        QVERIFY(!loadsAsShipped);

        const QString converted = folder + QStringLiteral("/converted.onnx");
        const Run result = run({QStringLiteral("convert"), QString::fromStdString(half), converted});
        QVERIFY2(result.exitCode == 0, qPrintable(result.errors));

        cv::dnn::Net original = cv::dnn::readNetFromONNX((folder + QStringLiteral("/reference.onnx")).toStdString());
        cv::dnn::Net fp32 = cv::dnn::readNetFromONNX(converted.toStdString());
        const int shape[] = {1, 3, 16, 16};
        cv::Mat input(4, shape, CV_32F);
        cv::randu(input, -1.0, 1.0);
        original.setInput(input, "input");
        fp32.setInput(input, "input");
        const cv::Mat expected = original.forward("output"), actual = fp32.forward("output");
        QCOMPARE(actual.total(), size_t(16 * 16));
        QVERIFY(cv::norm(expected, actual, cv::NORM_INF) < 1e-4);
        // Only the kept output is left.
        QCOMPARE(fp32.getUnconnectedOutLayersNames().size(), size_t(1));
    }

    void converterNamesAMissingOutput()
    {
        const QString folder = m_dir.filePath(QStringLiteral("missing-output"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(makeModels(folder));
        const Run result = run({QStringLiteral("convert"), folder + QStringLiteral("/half.onnx"),
                                folder + QStringLiteral("/out.onnx"), QStringLiteral("--keep"), QStringLiteral("mask")});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.errors.contains(QStringLiteral("the model has no output mask")), qPrintable(result.errors));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/out.onnx")));
    }
};

QTEST_GUILESS_MAIN(TestModelTool)
#include "tst_modeltool.moc"
