#include "KSColorConst.h"
#include "KSCutExport.h"
#include "KSCutOptions.h"
#include "KSEditDocument.h"
#include "PhotoFixtures.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QRect kSubject(100, 50, 100, 100);

QStringList cutArguments(const QStringList &extra)
{
    return QStringList{QStringLiteral("cutora"), QStringLiteral("--cut"), QStringLiteral("a.jpg"),
                       QStringLiteral("--type"), QStringLiteral("object"), QStringLiteral("--out"),
                       QStringLiteral("out.png")}
           + extra;
}

// The photo: a red subject on a green and blue backdrop; the cut-out: the
// subject alone.
QImage photo()
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(QColor(20, 160, 40));
    QPainter painter(&image);
    painter.fillRect(0, 0, 300, 40, QColor(30, 60, 200));
    painter.fillRect(kSubject, QColor(230, 20, 20));
    return image;
}

QImage cutout()
{
    QImage image(300, 200, QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(kSubject, QColor(230, 20, 20));
    return image;
}

// What the editor's save renders for a document set up as a user would.
QImage editorSave(const std::function<void(KSEditDocument &)> &look)
{
    KSEditDocument document;
    if (!document.setCutout(cutout()))
        return {};
    document.setPhotoColours(photo());
    look(document);
    KSOutputRender::Request request = document.renderRequest(0);
    request.subject = document.subjectMaker()();
    return KSOutputRender::renderOutputImage(request);
}

} // namespace

// The command line's --background blur, --background-image and --shadow:
// read strictly, and rendered as the editor renders the same look.
class TestCutBackgrounds : public QObject
{
    Q_OBJECT

private slots:
    void refusesBadValuesNamingTheOption_data();
    void refusesBadValuesNamingTheOption();
    void readsShadowValues();
    void makesTheEditorsPixels();
    void anUnreadableBackgroundPictureFailsTheExport();
};

void TestCutBackgrounds::refusesBadValuesNamingTheOption_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("named"); // empty: accepted

    QTest::newRow("blur") << QStringList{"--background", "blur"} << QString();
    QTest::newRow("blur in pixels") << QStringList{"--background", "blur:12"} << QString();
    QTest::newRow("blur in percent") << QStringList{"--background", "blur:2.5%"} << QString();
    QTest::newRow("blur without a number") << QStringList{"--background", "blur:strong"} << "--background";
    QTest::newRow("blur below nothing") << QStringList{"--background", "blur:-3"} << "--background";
    QTest::newRow("blur beyond the strongest") << QStringList{"--background", "blur:50%"} << "--background";
    QTest::newRow("blurry is no blur") << QStringList{"--background", "blurry"} << "--background";
    QTest::newRow("contact") << QStringList{"--shadow", "contact"} << QString();
    QTest::newRow("drop with everything") << QStringList{"--shadow", "drop:offset=10,-12;blur=8;opacity=0.5"}
                                          << QString();
    QTest::newRow("contact with values") << QStringList{"--shadow", "contact:darkness=0.7;softness=0.2;size=1.4"}
                                         << QString();
    QTest::newRow("no such shadow") << QStringList{"--shadow", "halo"} << "--shadow";
    QTest::newRow("opacity beyond 1") << QStringList{"--shadow", "drop:opacity=2"} << "--shadow";
    QTest::newRow("a drop value on a contact") << QStringList{"--shadow", "contact:opacity=0.5"} << "--shadow";
    QTest::newRow("offset of one number") << QStringList{"--shadow", "drop:offset=10"} << "--shadow";
    QTest::newRow("a key without value") << QStringList{"--shadow", "drop:blur"} << "--shadow";
    QTest::newRow("a size too small") << QStringList{"--shadow", "contact:size=0.01"} << "--shadow";
    QTest::newRow("a missing picture") << QStringList{"--background-image", "/nonexistent/back.jpg"}
                                       << "--background-image";
    QTest::newRow("a picture and a colour") << QStringList{"--background-image", "GOOD", "--background", "#FFFFFF"}
                                            << "--background-image";
    QTest::newRow("a picture") << QStringList{"--background-image", "GOOD"} << QString();
}

void TestCutBackgrounds::refusesBadValuesNamingTheOption()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, named);
    QTemporaryDir folder;
    const QString good = folder.filePath(QStringLiteral("back.png"));
    QVERIFY(photo().save(good));
    extra.replaceInStrings(QStringLiteral("GOOD"), good);
    QString error;
    const std::optional<KSCutOptions> options = KSCutOptions::parse(cutArguments(extra), &error);
    if (named.isEmpty()) {
        QVERIFY2(options, qPrintable(error));
        return;
    }
    QVERIFY(!options);
    QVERIFY2(error.startsWith(named), qPrintable(error));
}

void TestCutBackgrounds::readsShadowValues()
{
    QString error;
    std::optional<KSCutOptions> options =
        KSCutOptions::parse(cutArguments({"--shadow", "DROP: offset=10,-12 ; blur=2%; opacity=0.3"}), &error);
    QVERIFY2(options, qPrintable(error));
    QCOMPARE(options->shadow.kind, KSEditShadow::Kind::drop);
    QCOMPARE(options->shadow.opacity, 0.3);
    QCOMPARE(options->dropOffsetX->shareOf(200), 0.05);
    QCOMPARE(options->dropOffsetY->shareOf(200), -0.06);
    QCOMPARE(options->dropBlur->shareOf(200), 0.02);
    // An opaque background makes a JPEG possible.
    options = KSCutOptions::parse(
        {"cutora", "--cut", "a.jpg", "--type", "object", "--out", "x.jpg", "--background", "blur"}, &error);
    QVERIFY2(options, qPrintable(error));
    QCOMPARE(options->outputFormat(), QStringLiteral("jpg"));
    QVERIFY(!KSCutOptions::parse({"cutora", "--cut", "a.jpg", "--type", "object", "--out", "x.jpg", "--shadow", "drop"},
                                 &error));
}

void TestCutBackgrounds::makesTheEditorsPixels()
{
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("back.png"));
    QImage back(90, 160, QImage::Format_RGB32);
    back.fill(QColor(250, 200, 0));
    QPainter(&back).fillRect(0, 0, 45, 160, QColor(0, 120, 250));
    QVERIFY(back.save(picture));

    struct Case
    {
        QStringList arguments;
        std::function<void(KSEditDocument &)> look;
    };
    const QList<Case> cases{
        // The radius in pixels of the 300 x 200 output: 4 of its shorter side's 200.
        {{"--background", "blur:4", "--shadow", "contact"},
         [](KSEditDocument &document) {
             document.chooseBackground(KSEditBackground::ofBlurredPhoto(0.02));
             document.chooseShadow(KSEditShadow::contact());
         }},
        // Framed at 500 x 500 round the subject: the drop shadow's pixels
        // are the framed subject's.
        {{"--background-image", picture, "--size", "500x500", "--shadow", "drop:offset=12,12;blur=6;opacity=0.6"},
         [picture](KSEditDocument &document) {
             KSEditChangeSizeItem item;
             item.width = 500;
             item.height = 500;
             document.frame(item, KSFitMode::subject, QString());
             QVERIFY(document.chooseBackgroundPicture(picture));
             // As the command line reckons it: output pixels per canvas pixel first.
             const double outputPerCanvas = 500.0 / KSOutputRender::outputRegion(document.renderRequest(0)).height();
             const double subjectHeight = document.subjectRect().height() * outputPerCanvas;
             KSEditShadow drop = KSEditShadow::drop();
             drop.offset = QPointF(12 / subjectHeight, 12 / subjectHeight);
             drop.dropBlur = 6 / subjectHeight;
             drop.opacity = 0.6;
             document.chooseShadow(drop);
         }},
        {{"--background", "transparent", "--shadow", "contact:darkness=0.8;size=1.5"},
         [](KSEditDocument &document) {
             KSEditShadow contact = KSEditShadow::contact();
             contact.darkness = 0.8;
             contact.size = 1.5;
             document.chooseShadow(contact);
         }},
    };
    for (const Case &c : cases) {
        QString error;
        const std::optional<KSCutOptions> options = KSCutOptions::parse(cutArguments(c.arguments), &error);
        QVERIFY2(options, qPrintable(error));
        const QImage fromCommandLine = KSCutExport::renderCutout(cutout(), *options, nullptr, photo());
        QVERIFY(!fromCommandLine.isNull());
        QCOMPARE(fromCommandLine, editorSave(c.look));

        // And the file written is that picture.
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const KSImageWriter::Result written = KSCutExport::exportCutout(cutout(), *options, out, nullptr, photo());
        QVERIFY2(written.ok, qPrintable(written.error));
        QCOMPARE(QImage(out).convertToFormat(QImage::Format_ARGB32),
                 fromCommandLine.convertToFormat(QImage::Format_ARGB32));
    }
}

void TestCutBackgrounds::anUnreadableBackgroundPictureFailsTheExport()
{
    // Readable when the options were read, gone (or spoilt) by the export.
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("back.png"));
    QVERIFY(photo().save(picture));
    QString error;
    const std::optional<KSCutOptions> options =
        KSCutOptions::parse(cutArguments({"--background-image", picture}), &error);
    QVERIFY2(options, qPrintable(error));
    QVERIFY(PhotoFixtures::writeFile(picture, "spoilt"));
    const QString out = folder.filePath(QStringLiteral("out.png"));
    const KSImageWriter::Result written = KSCutExport::exportCutout(cutout(), *options, out);
    QVERIFY(!written.ok);
    QVERIFY2(written.error.startsWith(QStringLiteral("--background-image")), qPrintable(written.error));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestCutBackgrounds)
#include "tst_cutbackgrounds.moc"
