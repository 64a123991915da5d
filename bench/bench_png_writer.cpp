// Encoding a 24-megapixel cut-out: our PNG writer at several levels against
// Qt's own PNG encoder, plus JPEG. Prints seconds and sizes.
#include "KSImageWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <cstdio>

namespace {
// A photo-like picture: smooth gradients with fine noise, a subject in the
// middle and a transparent background around it, as a cut-out looks.
QImage makeCutout(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    QRadialGradient g(w / 2.0, h / 2.0, h / 2.5);
    g.setColorAt(0, QColor(230, 180, 150));
    g.setColorAt(0.7, QColor(90, 60, 40));
    g.setColorAt(1, QColor(20, 20, 30));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w / 2.0, h / 2.0), w / 3.0, h / 2.3);
    p.end();
    quint32 seed = 12345;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 29) - 4;
            line[x] = qRgba(qBound(0, qRed(line[x]) + n, 255), qBound(0, qGreen(line[x]) + n, 255),
                            qBound(0, qBlue(line[x]) + n, 255), 255);
        }
    }
    return image;
}

void report(const char *what, qint64 ms, const QString &path)
{
    std::printf("%-28s %7.2f s %8.1f MB\n", what, ms / 1000.0, QFileInfo(path).size() / 1e6);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QImage image = makeCutout(6000, 4000);
    QTemporaryDir dir;
    std::printf("24-megapixel cut-out (6000 x 4000), encode and write:\n");
    for (int level : {1, 2, 4, 6}) {
        const QString path = dir.filePath(QStringLiteral("spng%1.png").arg(level));
        QElapsedTimer t;
        t.start();
        if (!KSImageWriter::writePng(image, path, level).ok)
            return 1;
        report(qPrintable(QStringLiteral("libspng level %1").arg(level)), t.elapsed(), path);
    }
    {
        const QString path = dir.filePath(QStringLiteral("qt.png"));
        QElapsedTimer t;
        t.start();
        QImageWriter(path, "png").write(image);
        report("Qt PNG default", t.elapsed(), path);
    }
    {
        const QString path = dir.filePath(QStringLiteral("q.jpg"));
        QElapsedTimer t;
        t.start();
        KSImageWriter::writeJpeg(image, path, 92);
        report("JPEG q92", t.elapsed(), path);
    }
    return 0;
}
