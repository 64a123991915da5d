#include "KSCutProgressBar.h"

#include "KSCutOptions.h"

#include <QByteArray>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

KSCutProgressBar::KSCutProgressBar(const QString &photo, std::FILE *stream)
    // Escaped like the written paths: a newline in a name would break the bar's line.
    : m_name(KSCutOptions::listedPath(QFileInfo(photo).fileName()))
    , m_stream(stream)
    , m_tty(isatty(fileno(stream)))
{
}

void KSCutProgressBar::show(double progress)
{
    m_shownPercent = std::max(m_shownPercent, qBound(0, int(progress * 100.0), 100));
    const int percent = m_shownPercent;
    if (m_tty) {
        constexpr int width = 30;
        const int filled = percent * width / 100;
        const QByteArray bar = QByteArray(filled, '#') + QByteArray(width - filled, '-');
        std::fprintf(m_stream, "\r%-32.32s [%s] %3d%%", m_name.toLocal8Bit().constData(), bar.constData(), percent);
        std::fflush(m_stream);
    } else if (percent / 25 > m_lastQuarter) {
        m_lastQuarter = percent / 25;
        std::fprintf(m_stream, "%s: %d%%\n", m_name.toLocal8Bit().constData(), percent);
    }
}

void KSCutProgressBar::finish()
{
    if (m_tty)
        std::fprintf(m_stream, "\n");
}
