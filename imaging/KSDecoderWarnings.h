#pragma once

#include <QString>

// What Qt's picture decoders report on this thread while an object of this
// class lives. libjpeg fills a cut-off or corrupt JPEG with grey and
// reports success; only its warnings, which Qt sends to its log, say that
// data is missing. Listening is per thread, so decodes on other threads
// are not mixed in; nesting is allowed. The warnings heard are kept out of
// the log, since the reader reports them itself.
//
// Qt must let the warnings of "qt.gui.imageio.jpeg" through (it does unless
// QT_LOGGING_RULES turns them off); KSPictureCompleteness finds a cut-off
// file whatever the rules.
class KSDecoderWarnings
{
public:
    KSDecoderWarnings();
    ~KSDecoderWarnings();
    KSDecoderWarnings(const KSDecoderWarnings &) = delete;
    KSDecoderWarnings &operator=(const KSDecoderWarnings &) = delete;

    // The first report of corrupt or missing data; empty when none came.
    [[nodiscard]] QString damage() const { return m_damage; }

    // Whether a libjpeg message reports corrupt or missing pixel data (a
    // few extra bytes between segments, common and harmless, do not).
    [[nodiscard]] static bool reportsDamage(const QString &message);

private:
    KSDecoderWarnings *m_outer;
    QString m_damage;

    friend struct KSDecoderWarningsHandler;
};
