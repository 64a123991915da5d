#include "KSColorConst.h"

#include <QTest>

namespace QTest {
template<>
char *toString(const KSColor &c)
{
    return QTest::toString(QStringLiteral("KSColor(%1, %2, %3, %4)")
                               .arg(c.redF()).arg(c.greenF()).arg(c.blueF()).arg(c.alphaF()));
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
};

void tst_KSColorConst::hexIntegerKeepsLow24Bits_data()
{
    QTest::addColumn<qint64>("hex");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("accent") << qint64(0x00CC8F) << QColor(0, 204, 143);
    QTest::newRow("high bits ignored") << qint64(0x7F0000000000CC8F) << QColor(0, 204, 143);
    QTest::newRow("negative") << qint64(-1) << QColor(255, 255, 255);
}

void tst_KSColorConst::hexIntegerKeepsLow24Bits()
{
    QFETCH(qint64, hex);
    QFETCH(QColor, expected);
    const KSColor color = KSRGBHexColor(hex);
    QCOMPARE(color, KSColor(float(expected.red() / 255.0), float(expected.green() / 255.0),
                            float(expected.blue() / 255.0), 1.0f));
    QCOMPARE(QColor(color), expected);
    QCOMPARE(KSRGBHexColor(hex, 0.25).alphaF(), 0.25f);
}

void tst_KSColorConst::rgbaIsNarrowedNotClamped()
{
    // Exactly 0.5, which QColor's 16-bit channels would not keep.
    QCOMPARE(KSRGBAColor(255, 0, 0, 0.5), KSColor(1.0f, 0.0f, 0.0f, 0.5f));
    QCOMPARE(KSRGBColor(85, 0, 0).redF(), float(85.0 / 255.0));
    QCOMPARE(KSRGBAColor(510, -255, 0, 1), KSColor(2.0f, -1.0f, 0.0f, 1.0f));
}

void tst_KSColorConst::designHexFollowsScannerRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("hash upper") << "#FF8800" << qint64(0xFF8800);
    QTest::newRow("any first character") << "xff8800" << qint64(0xFF8800);
    QTest::newRow("mixed case") << "#aBcDeF" << qint64(0xABCDEF);
    QTest::newRow("own 0x prefix reads 0") << "#0x12" << qint64(0);
    QTest::newRow("stops at other character") << "#12G456" << qint64(0x12);
    QTest::newRow("not hex") << "#GG0000" << qint64(0);
    QTest::newRow("one character") << "#" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("overflow saturates to white") << "#123456789" << qint64(0xFFFFFF);
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
    QTest::newRow("8-bit values survive") << KSRGBHexColor(0x00CC8F, 0.1) << "00CC8F";
    QTest::newRow("from a Qt colour") << KSColor(QColor(0x00, 0xB1, 0x7C)) << "00B17C";
    QTest::newRow("clear") << KSClear_Color() << "000000";
    QTest::newRow("out of range held to two digits") << KSRGBColor(300, -20, 1) << "FF0001";
}

void tst_KSColorConst::colorStringTruncates()
{
    QFETCH(KSColor, color);
    QFETCH(QString, expected);
    QCOMPARE(KSColorString(color), expected);
}

QTEST_GUILESS_MAIN(tst_KSColorConst)
#include "tst_KSColorConst.moc"
