#include "KSImageNamed.h"

#include "CommLog.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>
#include <cmath>

// Outside any namespace, as Q_INIT_RESOURCE requires: the icons live in a
// static library, so nothing else would pull their data into the program.
static void initIconResources()
{
    Q_INIT_RESOURCE(cutora_icons);
}

namespace {
const QString kIconFolder = QStringLiteral(":/icons/");
const QString kSuffix = QStringLiteral(".svg");

void ensureResources()
{
    static const bool done = [] {
        initIconResources();
        return true;
    }();
    Q_UNUSED(done);
}
} // namespace

qreal KSImageDevicePixelRatio()
{
    const auto *app = qobject_cast<const QGuiApplication *>(QCoreApplication::instance());
    return app ? std::max<qreal>(1.0, app->devicePixelRatio()) : 1.0;
}

QPixmap KSImageNamed(const QString &name)
{
    return KSImageNamed(name, QSize());
}

QPixmap KSImageNamed(const QString &name, const QSize &size)
{
    ensureResources();
    const qreal ratio = KSImageDevicePixelRatio();
    const QString key = QStringLiteral("KSImageNamed:%1:%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;

    QSvgRenderer renderer(kIconFolder + name + kSuffix);
    if (name.isEmpty() || !renderer.isValid()) {
        // Once per name: a missing picture is a packaging fault, not a flood.
        static QSet<QString> reported;
        if (!reported.contains(name)) {
            reported.insert(name);
            CommLog::E(QStringLiteral("picture not found: ") + name);
        }
        return QPixmap();
    }
    const QSize points = size.isEmpty() ? renderer.defaultSize() : size;
    if (points.isEmpty())
        return QPixmap();
    pixmap = QPixmap(QSize(int(std::ceil(points.width() * ratio)), int(std::ceil(points.height() * ratio))));
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixmap.size())));
    }
    pixmap.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QStringList KSImageNames()
{
    ensureResources();
    QStringList names;
    const QStringList files = QDir(kIconFolder).entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        names.append(file.chopped(kSuffix.size()));
    return names;
}
