#include "KSColorConst.h"

#include <QBuffer>
#include <QDataStream>
#include <QMimeData>
#include <QTest>

namespace QTest {
template<>
char *toString(const KSColor &color)
{
    return QTest::toString(QStringLiteral("KSColor(%1, %2, %3, %4)")
                               .arg(color.redF()).arg(color.greenF())
                               .arg(color.blueF()).arg(color.alphaF()));
}
} // namespace QTest

class tst_KSColorConst : public QObject
{
    Q_OBJECT

private slots:
    void hexIntegerKeepsLow24Bits_data();
    void hexIntegerKeepsLow24Bits();
    void rgbaIsNarrowedNotClamped();
    void designHexFollowsScannerRules_data();
    void designHexFollowsScannerRules();
    void colorStringTruncates_data();
    void colorStringTruncates();
    void qtColorRoundTrip();
    void archiveRoundTrip();
};

void tst_KSColorConst::hexIntegerKeepsLow24Bits_data()
{
    QTest::addColumn<qint64>("hex");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("accent") << qint64(0x00CC8F) << QColor(0, 204, 143);
    QTest::newRow("high bits ignored") << qint64(0x7F0000000000CC8F) << QColor(0, 204, 143);
    QTest::newRow("negative") << qint64(-1) << QColor(255, 255, 255);
    QTest::newRow("text colour") << qint64(0x333333) << QColor(0x33, 0x33, 0x33);
}

void tst_KSColorConst::hexIntegerKeepsLow24Bits()
{
    QFETCH(qint64, hex);
    QFETCH(QColor, expected);
    const KSColor color = KSRGBHexColor(hex);
    QCOMPARE(color.redF(), float(expected.red() / 255.0));
    QCOMPARE(color.greenF(), float(expected.green() / 255.0));
    QCOMPARE(color.blueF(), float(expected.blue() / 255.0));
    QCOMPARE(color.alphaF(), 1.0f);
    QCOMPARE(QColor(color), expected);
    QCOMPARE(KSRGBHexColor(hex, 0.25).alphaF(), 0.25f);
}

void tst_KSColorConst::rgbaIsNarrowedNotClamped()
{
    const KSColor halfRed = KSRGBAColor(255, 0, 0, 0.5);
    QCOMPARE(halfRed, KSColor(1.0f, 0.0f, 0.0f, 0.5f));
    // Single precision, not double: 1/3 keeps only float's digits.
    QCOMPARE(KSRGBColor(85, 0, 0).redF(), float(85.0 / 255.0));
    QCOMPARE(KSRGBAColor(510, -255, 0, 1).redF(), 2.0f);
    QCOMPARE(KSRGBAColor(510, -255, 0, 1).greenF(), -1.0f);
}

void tst_KSColorConst::designHexFollowsScannerRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("hash upper") << "#FF8800" << qint64(0xFF8800);
    QTest::newRow("any first character") << "xff8800" << qint64(0xFF8800);
    QTest::newRow("mixed case") << "#aBcDeF" << qint64(0xABCDEF);
    QTest::newRow("own 0x prefix read as 0") << "#0x12" << qint64(0);
    QTest::newRow("stops at other character") << "#12G456" << qint64(0x12);
    QTest::newRow("not hex") << "#GG0000" << qint64(0);
    QTest::newRow("one character") << "#" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("overflow saturates to white") << "#123456789" << qint64(0xFFFFFF);
    QTest::newRow("short value") << "#FF" << qint64(0x0000FF);
}

void tst_KSColorConst::designHexFollowsScannerRules()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(KSRGBDesignHexColor(text), KSRGBHexColor(expected));
}

void tst_KSColorConst::colorStringTruncates_data()
{
    QTest::addColumn<KSColor>("color");
    QTest::addColumn<QString>("expected");
    QTest::newRow("half truncates to 7F") << KSColor(1.0f, 0.5f, 0.0f, 1.0f) << "FF7F00";
    QTest::newRow("every 8-bit value survives") << KSRGBHexColor(0x00CC8F) << "00CC8F";
    QTest::newRow("alpha not written") << KSRGBHexColor(0xD1D1D1, 0.1) << "D1D1D1";
    QTest::newRow("clear") << KSClear_Color() << "000000";
    QTest::newRow("out of range held to two digits") << KSRGBColor(300, -20, 1) << "FF0001";
}

void tst_KSColorConst::colorStringTruncates()
{
    QFETCH(KSColor, color);
    QFETCH(QString, expected);
    QCOMPARE(KSColorString(color), expected);
}

void tst_KSColorConst::qtColorRoundTrip()
{
    const QColor painted = KSRGBHexColor(0xF6F7FB, 0.5);
    QCOMPARE(painted.rgb(), QColor(0xF6, 0xF7, 0xFB).rgb());
    QCOMPARE(KSColorString(QColor(0x00, 0xB1, 0x7C)), QStringLiteral("00B17C"));
    QCOMPARE(QColor(KSClear_Color()).alpha(), 0);

    QMimeData dragged;
    dragged.setColorData(QColor(0xD4, 0xD4, 0xD4));
    QCOMPARE(KSColorString(KSColor(dragged)), QStringLiteral("D4D4D4"));
}

void tst_KSColorConst::archiveRoundTrip()
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << KSColor(0.1f, 0.2f, 0.3f, 0.4f);
    QDataStream in(bytes);
    QCOMPARE(KSColor(in), KSColor(0.1f, 0.2f, 0.3f, 0.4f));
    // A truncated archive yields no half-read colour.
    QDataStream shortIn(bytes.left(6));
    QCOMPARE(KSColor(shortIn), KSColor());
}

QTEST_GUILESS_MAIN(tst_KSColorConst)
#include "tst_KSColorConst.moc"
