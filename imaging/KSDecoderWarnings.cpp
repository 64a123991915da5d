#include "KSDecoderWarnings.h"

#include <QtGlobal>

#include <cstring>
#include <mutex>

namespace {
thread_local KSDecoderWarnings *listening = nullptr;
QtMessageHandler previousHandler = nullptr;
} // namespace

struct KSDecoderWarningsHandler
{
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        KSDecoderWarnings *listener = listening;
        const bool fromJpegDecoder = context.category && std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0;
        if (listener && fromJpegDecoder && KSDecoderWarnings::reportsDamage(message)) {
            if (listener->m_damage.isEmpty())
                listener->m_damage = message.trimmed();
            return;
        }
        previousHandler(type, context, message);
    }
};

KSDecoderWarnings::KSDecoderWarnings()
    : m_outer(listening)
{
    // Installed once, in front of whatever handler there was.
    static std::once_flag installed;
    std::call_once(installed, [] { previousHandler = qInstallMessageHandler(&KSDecoderWarningsHandler::handle); });
    listening = this;
}

KSDecoderWarnings::~KSDecoderWarnings()
{
    listening = m_outer;
}

bool KSDecoderWarnings::reportsDamage(const QString &message)
{
    // libjpeg's texts for data that is corrupt ("Corrupt JPEG data: bad
    // Huffman code", "... premature end of data segment"), missing ("Premature
    // end of JPEG file") or out of order.
    if (message.startsWith(QLatin1String("Corrupt JPEG data")))
        return !message.contains(QLatin1String("extraneous bytes"));
    return message.startsWith(QLatin1String("Premature end of JPEG file"))
           || message.startsWith(QLatin1String("Inconsistent progression sequence"));
}
