// The picture loader on any bytes, as the application, the command line and
// the service call it: the header's size, the whole picture and a reduced
// one, for every format it reads (JPEG, PNG, BMP, TIFF and WebP through Qt,
// HEIC through libheif), and the structure check of cut-off files.
#include "KSImageLoader.h"
#include "KSPictureCompleteness.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {
QString picturePath;
// Larger pictures only cost time: the size checks that guard them run on
// every input anyway.
constexpr qint64 kMaxDecodedPixels = 4'000'000;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // The decoders' complaints about broken input would fill the log; the
    // loader's listener for damage reports still hears them first.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    picturePath = QDir::temp().filePath(QStringLiteral("cutora-fuzz-%1.picture").arg(QCoreApplication::applicationPid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QFile file(picturePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return 0;
    file.close();

    for (const char *format : {"jpeg", "bmp"}) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        (void)KSPictureCompleteness::missingData(buffer, format);
    }
    const KSImageLoader::SizeResult header = KSImageLoader::readSize(picturePath);
    if (!header.ok() || qint64(header.size.width()) * header.size.height() > kMaxDecodedPixels)
        return 0;
    const KSImageLoader::Result full = KSImageLoader::load(picturePath);
    // A picture comes out whole or not at all.
    if (full.ok() == full.image.isNull())
        __builtin_trap();
    (void)KSImageLoader::loadReduced(picturePath, QSize(256, 256));
    return 0;
}
