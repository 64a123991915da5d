#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

// The application's pictures by name: "helpNormal" is the SVG file
// helpNormal.svg of the icon resources, rendered at its own size in points
// and at the screens' device pixel ratio, so it stays crisp on HiDPI.
// Rendered pictures are cached. An unknown name gives a null picture and an
// error line in the log.
[[nodiscard]] QPixmap KSImageNamed(const QString &name);

// The same picture rendered to `size` points (an empty size means its own).
[[nodiscard]] QPixmap KSImageNamed(const QString &name, const QSize &size);

// The device pixel ratio pictures are rendered at: the highest of the
// screens', at least 1.
[[nodiscard]] qreal KSImageDevicePixelRatio();

// Every name KSImageNamed knows, sorted.
[[nodiscard]] QStringList KSImageNames();
