#include "KSImageLoader.h"
#include "PhotoFixtures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <libheif/heif.h>

#include <algorithm>

Q_DECLARE_METATYPE(KSImageLoader::Failure)

namespace {

// 160 x 80 as stored: the top-left quadrant red, the rest blue, so that every
// rotation and mirror puts red somewhere else.
QImage storedPicture()
{
    QImage image(160, 80, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, 80, 40, Qt::red);
    return image;
}

using PhotoFixtures::encoded;
using PhotoFixtures::jpegWithOrientation;
using PhotoFixtures::writeFile;

bool writeHeic(const QImage &source, const QString &path, heif_orientation orientation)
{
    return PhotoFixtures::writeHeic(source, path, int(orientation));
}

bool looksRed(QColor c) { return c.red() > 180 && c.blue() < 90; }
bool looksBlue(QColor c) { return c.blue() > 180 && c.red() < 90; }

QColor colourAt(const QImage &image, QPointF fraction)
{
    return image.pixelColor(int(fraction.x() * image.width()), int(fraction.y() * image.height()));
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(QByteArray &bytes, int at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * (size - 1 - i))) & 0xFF);
}

// A real PNG whose header then claims another size (with a valid checksum).
QByteArray pngClaiming(int width, int height)
{
    QByteArray png = encoded(QImage(4, 4, QImage::Format_RGB32), "png");
    const int ihdr = int(png.indexOf("IHDR"));
    putBigEndian(png, ihdr + 4, quint32(width), 4);
    putBigEndian(png, ihdr + 8, quint32(height), 4);
    putBigEndian(png, ihdr + 17, crc32(png.mid(ihdr, 17)), 4);
    return png;
}

QByteArray jpegClaiming(int width, int height)
{
    QByteArray jpeg = encoded(QImage(8, 8, QImage::Format_RGB32), "jpeg");
    const int sof = int(jpeg.indexOf(QByteArray::fromHex("ffc0")));
    putBigEndian(jpeg, sof + 5, quint32(height), 2);
    putBigEndian(jpeg, sof + 7, quint32(width), 2);
    return jpeg;
}

QByteArray bmpClaiming(int width, int height)
{
    QByteArray bmp("BM");
    const auto little = [&bmp](quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            bmp.append(char((value >> (8 * i)) & 0xFF));
    };
    little(54, 4); // file size: the headers only
    little(0, 4);
    little(54, 4); // pixels would start here
    little(40, 4);
    little(quint32(width), 4);
    little(quint32(height), 4);
    little(1, 2);
    little(24, 2);
    for (int i = 0; i < 6; ++i)
        little(0, 4);
    return bmp;
}

} // namespace

class TestKSImageLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadsUpright_data();
    void loadsUpright();
    void readsEveryFormatByItsContent_data();
    void readsEveryFormatByItsContent();
    void loadsBeyondQtsDefaultAllocationLimit();
    void displayP3ComesOutInSrgb();
    void failsCleanly_data();
    void failsCleanly();
    void cutOffAndCorruptPicturesAreRefused_data();
    void cutOffAndCorruptPicturesAreRefused();
    void harmlessOdditiesStillLoad_data();
    void harmlessOdditiesStillLoad();
    void aHeicGridLargerThanItsHeaderIsRefused();
    void aHeicDeclaringAHugeSizeIsTooLarge();
    void overwrittenHeicAndWebpAreRefused_data();
    void overwrittenHeicAndWebpAreRefused();
    void deepPngComesOutInEightBits_data();
    void deepPngComesOutInEightBits();
    void damagedDeepPngIsRefused_data();
    void damagedDeepPngIsRefused();

private:
    QTemporaryDir m_dir;
};

void TestKSImageLoader::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestKSImageLoader::loadsUpright_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("orientation"); // EXIF numbering, which HEIF shares
    QTest::addColumn<bool>("turned");     // shown with width and height swapped
    QTest::addColumn<QPointF>("red");     // where the red quadrant must show

    QTest::newRow("JPEG without orientation") << "jpeg" << 0 << false << QPointF(0.25, 0.25);
    QTest::newRow("JPEG upright") << "jpeg" << 1 << false << QPointF(0.25, 0.25);
    QTest::newRow("JPEG mirrored") << "jpeg" << 2 << false << QPointF(0.75, 0.25);
    QTest::newRow("JPEG upside down") << "jpeg" << 3 << false << QPointF(0.75, 0.75);
    QTest::newRow("JPEG to turn clockwise (phone held upright)") << "jpeg" << 6 << true << QPointF(0.75, 0.25);
    QTest::newRow("JPEG to turn anticlockwise") << "jpeg" << 8 << true << QPointF(0.25, 0.75);
    QTest::newRow("HEIC upright") << "heic" << 1 << false << QPointF(0.25, 0.25);
    QTest::newRow("HEIC to turn clockwise") << "heic" << 6 << true << QPointF(0.75, 0.25);
    QTest::newRow("HEIC upside down") << "heic" << 3 << false << QPointF(0.75, 0.75);
}

void TestKSImageLoader::loadsUpright()
{
    QFETCH(QString, container);
    QFETCH(int, orientation);
    QFETCH(bool, turned);
    QFETCH(QPointF, red);

    // Named .jpg either way: the loader must go by the bytes.
    const QString path = m_dir.filePath(QStringLiteral("%1-%2.jpg").arg(container).arg(orientation));
    if (container == QLatin1String("heic"))
        QVERIFY(writeHeic(storedPicture(), path, heif_orientation(orientation)));
    else
        QVERIFY(writeFile(path, jpegWithOrientation(storedPicture(), orientation)));

    const QSize shown = turned ? QSize(80, 160) : QSize(160, 80);
    const QPointF blue(1.0 - red.x(), 1.0 - red.y());

    const KSImageLoader::Result full = KSImageLoader::load(path);
    QVERIFY2(full.ok(), qPrintable(full.error));
    QCOMPARE(full.image.size(), shown);
    QVERIFY(looksRed(colourAt(full.image, red)));
    QVERIFY(looksBlue(colourAt(full.image, blue)));

    const KSImageLoader::SizeResult size = KSImageLoader::readSize(path);
    QVERIFY2(size.ok(), qPrintable(size.error));
    QCOMPARE(size.size, shown);

    // Reduced decoding scales the stored picture before turning it.
    const KSImageLoader::Result reduced = KSImageLoader::loadReduced(path, QSize(40, 40));
    QVERIFY2(reduced.ok(), qPrintable(reduced.error));
    QCOMPARE(reduced.image.size(), shown / 4);
    QVERIFY(looksRed(colourAt(reduced.image, red)));
    QVERIFY(looksBlue(colourAt(reduced.image, blue)));
}

void TestKSImageLoader::readsEveryFormatByItsContent_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("alpha");

    QTest::newRow("JPEG") << QByteArray("jpeg") << "photo.jpg" << false;
    QTest::newRow("PNG with transparency") << QByteArray("png") << "photo.png" << true;
    QTest::newRow("BMP") << QByteArray("bmp") << "photo.bmp" << false;
    QTest::newRow("TIFF") << QByteArray("tiff") << "photo.tiff" << false;
    QTest::newRow("WebP with transparency") << QByteArray("webp") << "photo.webp" << true;
    QTest::newRow("TIFF cut-out under a .png name") << QByteArray("tiff") << "cutout.png" << true;
    QTest::newRow("high-density name keeps one pixel per point") << QByteArray("png") << "photo@2x.png" << false;
}

void TestKSImageLoader::readsEveryFormatByItsContent()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, fileName);
    QFETCH(bool, alpha);

    // With alpha, only the left half is painted.
    QImage picture(16, 12, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(0, 0, alpha ? 8 : 16, 12, QColor(30, 160, 90));
    const QString path = m_dir.filePath(fileName);
    QVERIFY(writeFile(path, encoded(picture, format.constData(), 100)));

    const KSImageLoader::Result result = KSImageLoader::load(path);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.image.size(), QSize(16, 12));
    QCOMPARE(result.image.devicePixelRatio(), 1.0);
    const QColor inside = result.image.pixelColor(4, 6);
    QVERIFY(qAbs(inside.red() - 30) <= 8 && qAbs(inside.green() - 160) <= 8 && qAbs(inside.blue() - 90) <= 8);
    if (alpha)
        QCOMPARE(result.image.pixelColor(12, 6).alpha(), 0);
}

void TestKSImageLoader::loadsBeyondQtsDefaultAllocationLimit()
{
    // 8000 x 6000 decodes to 192 MB, above the 128 MB Qt allows by default.
    QImage big(8000, 6000, QImage::Format_RGB32);
    big.fill(QColor(12, 34, 56));
    const QString path = m_dir.filePath(QStringLiteral("big.png"));
    QVERIFY(writeFile(path, encoded(big, "png", 90)));
    big = QImage();

    const KSImageLoader::Result result = KSImageLoader::load(path);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.image.size(), QSize(8000, 6000));
    QCOMPARE(result.image.pixel(7999, 5999), qRgb(12, 34, 56));
}

void TestKSImageLoader::displayP3ComesOutInSrgb()
{
    // Phone photos carry Display P3; shown as if sRGB they look dull.
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(QColor(200, 100, 50));
    picture.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QString path = m_dir.filePath(QStringLiteral("p3.png"));
    QVERIFY(writeFile(path, encoded(picture, "png")));

    const KSImageLoader::Result result = KSImageLoader::load(path);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.image.colorSpace(), QColorSpace(QColorSpace::SRgb));
    const QColor expected = picture.convertedToColorSpace(QColorSpace::SRgb).pixelColor(0, 0);
    QVERIFY(expected.red() > 200); // the same colour is more saturated in sRGB terms
    QCOMPARE(result.image.pixelColor(2, 2), expected);
}

void TestKSImageLoader::failsCleanly_data()
{
    using Failure = KSImageLoader::Failure;
    QTest::addColumn<QByteArray>("bytes"); // a null array writes no file at all
    QTest::addColumn<KSImageLoader::Failure>("failure");
    QTest::addColumn<KSImageLoader::Failure>("sizeFailure"); // of readSize

    QByteArray damagedPng = encoded(storedPicture(), "png");
    const int idat = int(damagedPng.indexOf("IDAT"));
    for (int i = idat + 10; i < idat + 40; ++i)
        damagedPng[i] = char(~damagedPng[i]);

    QTemporaryDir dir;
    const QString heic = dir.filePath(QStringLiteral("a.heic"));
    QFile heicFile(heic);
    QByteArray heicHead;
    if (writeHeic(storedPicture(), heic, heif_orientation_normal) && heicFile.open(QIODevice::ReadOnly))
        heicHead = heicFile.read(100);

    QTest::newRow("no such file") << QByteArray() << Failure::Missing << Failure::Missing;
    QTest::newRow("zero-byte file") << QByteArray("") << Failure::Empty << Failure::Empty;
    QTest::newRow("text in a picture's name") << QByteArray("not a picture at all\n") << Failure::Undecodable << Failure::Undecodable;
    QTest::newRow("PNG with damaged pixel data") << damagedPng << Failure::Damaged << Failure::None;
    QTest::newRow("HEIC cut off after its first boxes") << heicHead << Failure::Damaged << Failure::Damaged;
    QTest::newRow("PNG header claiming 30000 x 30000") << pngClaiming(30000, 30000) << Failure::TooLarge << Failure::TooLarge;
    QTest::newRow("JPEG header claiming 30000 x 30000") << jpegClaiming(30000, 30000) << Failure::TooLarge << Failure::TooLarge;
    // A header whose pixels are not in the file.
    QTest::newRow("BMP header claiming 30000 x 30000") << bmpClaiming(30000, 30000) << Failure::Damaged << Failure::Damaged;
    QTest::newRow("just over 200 megapixels") << pngClaiming(20001, 10000) << Failure::TooLarge << Failure::TooLarge;
}

void TestKSImageLoader::failsCleanly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(KSImageLoader::Failure, failure);
    QFETCH(KSImageLoader::Failure, sizeFailure);

    const QString path = m_dir.filePath(QStringLiteral("broken.jpg"));
    QFile::remove(path);
    if (!bytes.isNull())
        QVERIFY(writeFile(path, bytes));

    const KSImageLoader::Result full = KSImageLoader::load(path);
    QCOMPARE(full.failure, failure);
    QVERIFY(full.image.isNull());
    QVERIFY(!full.error.isEmpty());

    const KSImageLoader::Result reduced = KSImageLoader::loadReduced(path, QSize(100, 100));
    QCOMPARE(reduced.failure, failure);
    QVERIFY(reduced.image.isNull());

    QCOMPARE(KSImageLoader::readSize(path).failure, sizeFailure);
}

namespace {
// A photo-like picture, so that its files are of some size.
QImage texturedPicture()
{
    QImage image(600, 400, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3) % 256, (x ^ y) % 256));
    return image;
}

QByteArray cutAt(const QByteArray &bytes, double fraction)
{
    return bytes.left(qsizetype(double(bytes.size()) * fraction));
}
} // namespace

void TestKSImageLoader::cutOffAndCorruptPicturesAreRefused_data()
{
    using Failure = KSImageLoader::Failure;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<KSImageLoader::Failure>("failure");
    QTest::addColumn<KSImageLoader::Failure>("sizeFailure"); // readSize sees the structure only

    const QImage picture = texturedPicture();
    const QByteArray jpeg = encoded(picture, "jpeg", 90);
    QByteArray endInScan = jpeg;
    endInScan.replace(jpeg.size() / 2, 2, QByteArray::fromHex("ffd9"));
    QTemporaryDir dir;
    const QString heicPath = dir.filePath(QStringLiteral("whole.heic"));
    QFile heic(heicPath);
    QVERIFY(writeHeic(picture, heicPath, heif_orientation_normal) && heic.open(QIODevice::ReadOnly));
    const QByteArray heicBytes = heic.readAll();

    // Qt's JPEG and BMP readers fill what is missing and report success.
    QTest::newRow("JPEG cut off at 30 %") << cutAt(jpeg, 0.3) << Failure::Damaged << Failure::Damaged;
    QTest::newRow("JPEG cut off at 90 %") << cutAt(jpeg, 0.9) << Failure::Damaged << Failure::Damaged;
    QTest::newRow("JPEG cut off just before its end marker") << jpeg.chopped(2) << Failure::Damaged << Failure::Damaged;
    QTest::newRow("progressive JPEG cut off at 60 %") << cutAt(PhotoFixtures::progressiveJpeg(picture), 0.6) << Failure::Damaged << Failure::Damaged;
    // Whole to the eye of a structure check; the decoder reports the damage.
    QTest::newRow("JPEG with an end marker inside its scan") << endInScan << Failure::Damaged << Failure::None;
    QTest::newRow("BMP cut off at 90 %") << cutAt(encoded(picture, "bmp"), 0.9) << Failure::Damaged << Failure::Damaged;
    // These readers fail by themselves.
    QTest::newRow("PNG cut off at 90 %") << cutAt(encoded(picture, "png"), 0.9) << Failure::Damaged << Failure::None;
    QTest::newRow("WebP cut off at 90 %") << cutAt(encoded(picture, "webp"), 0.9) << Failure::Damaged << Failure::None;
    QTest::newRow("HEIC cut off at 90 %") << cutAt(heicBytes, 0.9) << Failure::Damaged << Failure::Damaged;
}

void TestKSImageLoader::cutOffAndCorruptPicturesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(KSImageLoader::Failure, failure);
    QFETCH(KSImageLoader::Failure, sizeFailure);

    const QString path = m_dir.filePath(QStringLiteral("cut-off"));
    QVERIFY(writeFile(path, bytes));
    const KSImageLoader::Result full = KSImageLoader::load(path);
    QCOMPARE(full.failure, failure);
    QVERIFY(full.image.isNull());
    QVERIFY2(full.error.contains(QLatin1String("damaged or incomplete")) || failure != KSImageLoader::Failure::Damaged,
             qPrintable(full.error));
    QCOMPARE(KSImageLoader::loadReduced(path, QSize(100, 100)).failure, failure);
    QCOMPARE(KSImageLoader::readSize(path).failure, sizeFailure);
}

void TestKSImageLoader::harmlessOdditiesStillLoad_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray jpeg = encoded(texturedPicture(), "jpeg", 90);
    // Cameras append data after the end marker; libjpeg warns of stray
    // bytes before a marker and decodes the picture whole.
    QTest::newRow("JPEG with data after its end marker") << jpeg + QByteArray(300, '\x42');
    const int firstSegment = 2 + 2 + int(quint8(jpeg[4]) << 8 | quint8(jpeg[5]));
    QTest::newRow("JPEG with stray bytes between segments") << QByteArray(jpeg).insert(firstSegment, QByteArray(3, '\x11'));
    QTest::newRow("BMP with padding after its rows") << encoded(texturedPicture(), "bmp") + QByteArray(100, '\0');
    // The WebP check must not take an encoder's unused last bytes for damage.
    QTest::newRow("lossy WebP") << encoded(texturedPicture(), "webp", 80);
    QTest::newRow("lossy WebP at low quality") << encoded(texturedPicture(), "webp", 10);
    QTest::newRow("lossless WebP") << encoded(texturedPicture(), "webp", 100);
}

void TestKSImageLoader::harmlessOdditiesStillLoad()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("odd"));
    QVERIFY(writeFile(path, bytes));
    const KSImageLoader::Result result = KSImageLoader::load(path);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.image.size(), QSize(600, 400));
}

void TestKSImageLoader::aHeicGridLargerThanItsHeaderIsRefused()
{
    // Found by fuzzing: 995 bytes whose header says 48 x 64 and whose grid
    // decodes to 16384 x 12288, 31 s and 1.4 GB in libheif unless refused.
    const QString path = qEnvironmentVariable("CUTORA_SOURCE_DIR")
                         + QStringLiteral("/fuzz/corpus/image_loader/heic-grid-larger-than-its-header");
    QCOMPARE(KSImageLoader::readSize(path).size, QSize(48, 64));
    const KSImageLoader::Result result = KSImageLoader::load(path);
    QCOMPARE(result.failure, KSImageLoader::Failure::Damaged);
    QVERIFY2(result.error.contains(QLatin1String("exceeds the maximum image size")), qPrintable(result.error));
}

namespace {

QByteArray heicOf(const QImage &picture)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.heic"));
    QFile file(path);
    if (!writeHeic(picture, path, heif_orientation_normal) || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// 1 KB in the middle of a file overwritten with bytes of a fixed
// pseudo-random sequence, or with zeros.
QByteArray overwritten(QByteArray bytes, double at, bool zeros, quint32 seed = 1)
{
    const int start = int(bytes.size() * at);
    for (int i = start; i < std::min(start + 1024, int(bytes.size())); ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = zeros ? '\0' : char(seed >> 24);
    }
    return bytes;
}

// A 16-bit PNG of 2 x 1 pixels with the given samples (R, G, B, A each),
// written through Qt's 16-bit PNG writer.
QByteArray deepPng(const QList<QRgba64> &pixels, bool alpha)
{
    QImage image(int(pixels.size()), 1, alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    for (int x = 0; x < pixels.size(); ++x)
        image.setPixelColor(x, 0, QColor(pixels[x]));
    return encoded(image, "png");
}

} // namespace

void TestKSImageLoader::aHeicDeclaringAHugeSizeIsTooLarge()
{
    // libheif refuses 100000 x 100000 on its own terms, as if it were damage.
    QByteArray heic = heicOf(storedPicture());
    const int ispe = int(heic.indexOf("ispe"));
    QVERIFY(ispe > 0);
    putBigEndian(heic, ispe + 8, 100000, 4);
    putBigEndian(heic, ispe + 12, 100000, 4);
    const QString path = m_dir.filePath(QStringLiteral("huge.heic"));
    QVERIFY(writeFile(path, heic));

    const KSImageLoader::Result result = KSImageLoader::load(path);
    QCOMPARE(result.failure, KSImageLoader::Failure::TooLarge);
    QVERIFY2(result.error.contains(QLatin1String("100000 x 100000")), qPrintable(result.error));
    QCOMPARE(KSImageLoader::readSize(path).failure, KSImageLoader::Failure::TooLarge);
}

void TestKSImageLoader::overwrittenHeicAndWebpAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // Their decoders turn such data into a picture with garbage below the
    // damage and report success.
    const QImage picture = texturedPicture();
    const QByteArray heic = heicOf(picture);
    const QByteArray lossy = encoded(picture, "webp", 80);
    const QByteArray lossless = encoded(picture, "webp", 100);
    QVERIFY(!heic.isEmpty() && !lossy.isEmpty() && !lossless.isEmpty());
    for (const double at : {0.3, 0.5, 0.7}) {
        const int percent = qRound(at * 100);
        QTest::addRow("HEIC, random bytes at %d %%", percent) << overwritten(heic, at, false);
        QTest::addRow("HEIC, zeros at %d %%", percent) << overwritten(heic, at, true);
        QTest::addRow("lossy WebP, random bytes at %d %%", percent) << overwritten(lossy, at, false);
        QTest::addRow("lossy WebP, zeros at %d %%", percent) << overwritten(lossy, at, true);
    }
    // libwebp finds most damage to lossless data by itself.
    QTest::newRow("lossless WebP, random bytes at 50 %") << overwritten(lossless, 0.5, false);
}

void TestKSImageLoader::overwrittenHeicAndWebpAreRefused()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("overwritten"));
    QVERIFY(writeFile(path, bytes));
    const KSImageLoader::Result result = KSImageLoader::load(path);
    QCOMPARE(result.failure, KSImageLoader::Failure::Damaged);
    QVERIFY2(result.error.contains(QLatin1String("damaged or incomplete")), qPrintable(result.error));
    QVERIFY(result.image.isNull());
    QCOMPARE(KSImageLoader::loadReduced(path, QSize(100, 100)).failure, KSImageLoader::Failure::Damaged);
}

void TestKSImageLoader::deepPngComesOutInEightBits_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRgb>("first");
    QTest::addColumn<QRgb>("second");

    // Each channel to its nearest 8-bit level, v / 257 rounded: 0x12FF is
    // 18.9 (dropping the low byte would give 18), 0x00FF is 0.99.
    const QList<QRgba64> pixels{QRgba64::fromRgba64(0x12FF, 0xA0F0, 0x00FF, 0xFFFF),
                                QRgba64::fromRgba64(0xFFFF, 0x0000, 0x8080, 0x8000)};
    QTest::newRow("RGB") << deepPng(pixels, false) << QImage::Format_RGB32 << qRgb(19, 160, 1) << qRgb(255, 0, 128);
    QTest::newRow("RGBA, straight alpha")
        << deepPng(pixels, true) << QImage::Format_ARGB32 << qRgba(19, 160, 1, 255) << qRgba(255, 0, 128, 128);
    // An alpha channel opaque throughout carries nothing.
    const QList<QRgba64> opaque{pixels[0], QRgba64::fromRgba64(0xFFFF, 0x0000, 0x8080, 0xFFFF)};
    QTest::newRow("RGBA, opaque throughout")
        << deepPng(opaque, true) << QImage::Format_RGB32 << qRgb(19, 160, 1) << qRgb(255, 0, 128);
}

void TestKSImageLoader::deepPngComesOutInEightBits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QImage::Format, format);
    QFETCH(QRgb, first);
    QFETCH(QRgb, second);
    const QString path = m_dir.filePath(QStringLiteral("deep.png"));
    QVERIFY(writeFile(path, bytes));
    const KSImageLoader::Result result = KSImageLoader::load(path);
    QVERIFY2(result.ok(), qPrintable(result.error));
    // Never the 16-bit picture, which takes twice the memory.
    QCOMPARE(result.image.format(), format);
    QCOMPARE(result.image.size(), QSize(2, 1));
    QCOMPARE(result.image.pixel(0, 0), first);
    QCOMPARE(result.image.pixel(1, 0), second);
}

void TestKSImageLoader::damagedDeepPngIsRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QImage image(300, 200, QImage::Format_RGBA64);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(QRgba64::fromRgba64(quint16(x * 211), quint16(y * 307), quint16(x * y), 0xFFFF)));
    const QByteArray png = encoded(image, "png");
    QByteArray corrupt = png;
    const int idat = int(corrupt.indexOf("IDAT"));
    for (int i = idat + 10; i < idat + 40; ++i)
        corrupt[i] = char(~corrupt[i]);
    QTest::newRow("pixel data overwritten") << corrupt;
    QTest::newRow("cut off at 90 %") << cutAt(png, 0.9);
}

void TestKSImageLoader::damagedDeepPngIsRefused()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("deep-damaged.png"));
    QVERIFY(writeFile(path, bytes));
    const KSImageLoader::Result result = KSImageLoader::load(path);
    QCOMPARE(result.failure, KSImageLoader::Failure::Damaged);
    QVERIFY(result.image.isNull());
}

QTEST_GUILESS_MAIN(TestKSImageLoader)
#include "tst_imageloader.moc"
