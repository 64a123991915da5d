#pragma once

#include "KSIdPhotoRule.h"

#include <QSizeF>
#include <QString>
#include <QtGlobal>

#include <optional>

// One preset of the size panel. A width and height of 0 mean the source size.
struct KSEditChangeSizeItem
{
    QString title; // as shown: localized, or a literal such as "1000x1000px"
    QString tips;  // second line; empty for none
    qint64 width = 0;
    qint64 height = 0;
    // The name the command line and a restore use; the same in every language.
    QString key;
    // The printed size in millimetres; empty for a size that is only pixels.
    // The saved file's resolution is the pixels over this size.
    QSizeF printSizeMm;
    // For ID photos: where the head must sit.
    std::optional<KSIdPhotoRule> idRule;
    // The row that edits the remembered custom size.
    bool isCustom = false;

    [[nodiscard]] bool hasPrintSize() const { return printSizeMm.width() > 0 && printSizeMm.height() > 0; }
    // Dots per inch along each side; empty without a printed size.
    [[nodiscard]] QSizeF dotsPerInch() const
    {
        if (!hasPrintSize())
            return {};
        return QSizeF(double(width) * 25.4 / printSizeMm.width(), double(height) * 25.4 / printSizeMm.height());
    }
};
