#include "KSServiceRandom.h"

#include <QByteArray>
#include <QRandomGenerator>

QString KSServiceRandomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    auto *words = reinterpret_cast<quint32 *>(raw.data());
    const int wordCount = bytes / 4;
    QRandomGenerator::system()->fillRange(words, wordCount);
    for (int i = wordCount * 4; i < bytes; ++i)
        raw[i] = char(QRandomGenerator::system()->generate() & 0xff);
    return QString::fromLatin1(raw.toHex());
}
