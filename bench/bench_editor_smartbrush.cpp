// One smart brush stroke on a photo, to look at what it finds: the window,
// the area found and its bounds, the time, and (with --write) the photo
// with what the stroke found tinted red and the stroke's outline drawn.
//   bench_editor_smartbrush PHOTO RADIUS X,Y [X,Y ...] [--write OUT.png]
// Points and radius are in the photo's pixels.
#include "KSSmartBrush.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PHOTO RADIUS X,Y [X,Y ...] [--write OUT.png]\n", argv[0]);
        return 2;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    reader.setAutoTransform(true);
    const QImage photo = reader.read().convertToFormat(QImage::Format_RGB32);
    if (photo.isNull()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    KSSmartBrush::Request request;
    request.colours = photo;
    request.radius = std::atof(argv[2]);
    QString write;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--write") && i + 1 < argc) {
            write = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        double x = 0, y = 0;
        if (std::sscanf(argv[i], "%lf,%lf", &x, &y) == 2)
            request.stroke.append(QPointF(x, y));
    }
    request.window = KSSmartBrush::windowFor(request.stroke, request.radius, photo.size());

    const auto start = std::chrono::steady_clock::now();
    const KSSmartBrush::Result result = KSSmartBrush::run(request);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!result.ok()) {
        std::fprintf(stderr, "nothing found: %s\n", qPrintable(result.error));
        return 1;
    }
    int found = 0;
    QRect bounds;
    for (int y = 0; y < result.object.height(); ++y)
        for (int x = 0; x < result.object.width(); ++x)
            if (result.object.constScanLine(y)[x] >= 128) {
                ++found;
                bounds |= QRect(x + result.window.x(), y + result.window.y(), 1, 1);
            }
    std::printf("photo %dx%d, window %d,%d %dx%d, found %d px (%.1f %% of the window), bounds %d,%d %dx%d, %.0f ms\n",
                photo.width(), photo.height(), result.window.x(), result.window.y(), result.window.width(),
                result.window.height(), found, 100.0 * found / (result.window.width() * result.window.height()),
                bounds.x(), bounds.y(), bounds.width(), bounds.height(), ms);

    if (write.isEmpty())
        return 0;
    QImage shown = photo;
    for (int y = 0; y < result.object.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(shown.scanLine(y + result.window.y())) + result.window.x();
        for (int x = 0; x < result.object.width(); ++x) {
            const int a = result.object.constScanLine(y)[x] / 2;
            const QRgb p = row[x];
            row[x] = qRgb((qRed(p) * (255 - a) + 255 * a) / 255, qGreen(p) * (255 - a) / 255,
                          qBlue(p) * (255 - a) / 255);
        }
    }
    QPainter painter(&shown);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 160, 255), 1.5));
    for (qsizetype i = 0; i < request.stroke.size(); ++i) {
        const QPointF a = request.stroke.at(i), b = request.stroke.at(std::min(i + 1, request.stroke.size() - 1));
        painter.drawEllipse(a, request.radius, request.radius);
        painter.drawLine(a, b);
    }
    painter.setPen(QPen(Qt::yellow, 1, Qt::DashLine));
    painter.drawRect(result.window.adjusted(0, 0, -1, -1));
    painter.end();
    if (!shown.save(write)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(write));
        return 1;
    }
    return 0;
}
