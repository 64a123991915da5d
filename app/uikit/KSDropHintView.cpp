#include "KSDropHintView.h"

#include "KSTextStyle.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <QUrl>

namespace {
const QColor kAccent(0x00, 0xCC, 0x8F);
constexpr double kInset = 4.0;
constexpr double kRadius = 8.0;
} // namespace

KSDropHintView::KSDropHintView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dropHintView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void KSDropHintView::showOver(const QRect &area, const QString &text)
{
    if (area.isEmpty()) {
        hide();
        return;
    }
    m_text = text;
    setGeometry(area);
    raise();
    show();
    update();
}

KSDropHintView *KSDropHintView::install(QWidget *target, Target behaviour)
{
    auto *hint = new KSDropHintView(target);
    hint->m_target = std::move(behaviour);
    target->setAcceptDrops(true);
    target->installEventFilter(hint);
    return hint;
}

bool KSDropHintView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != parent())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        const bool takes = !droppedFile(drag->mimeData()).isEmpty()
                           && (!m_target.accepts || m_target.accepts());
        if (!takes) {
            drag->ignore();
            hide();
            return true;
        }
        drag->acceptProposedAction();
        const QPoint point = drag->position().toPoint();
        showOver(m_target.area ? m_target.area(point) : parentWidget()->rect(),
                 m_target.text ? m_target.text(point) : QString());
        return true;
    }
    case QEvent::DragLeave:
        hide();
        return true;
    case QEvent::Drop: {
        hide();
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (paths.isEmpty() || (m_target.accepts && !m_target.accepts()))
            return true;
        drop->acceptProposedAction();
        // After the drop has ended: what follows may open windows or remove the target.
        const QPoint point = drop->position().toPoint();
        QTimer::singleShot(0, this, [this, paths, point] {
            if (m_target.droppedAll)
                m_target.droppedAll(paths, point);
            else if (m_target.dropped)
                m_target.dropped(paths.constFirst(), point);
        });
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

QString KSDropHintView::droppedFile(const QMimeData *data)
{
    const QStringList files = droppedFiles(data);
    return files.isEmpty() ? QString() : files.constFirst();
}

QStringList KSDropHintView::droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files << url.toLocalFile();
    return files;
}

void KSDropHintView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
    QColor wash = kAccent;
    wash.setAlphaF(0.12);
    painter.setBrush(wash);
    QPen border(kAccent, 2.0, Qt::DashLine);
    painter.setPen(border);
    painter.drawRoundedRect(frame, kRadius, kRadius);

    painter.setFont(KSTextStyle::systemFont(16, QFont::DemiBold));
    const QRectF textBox = painter.boundingRect(frame, Qt::AlignCenter | Qt::TextWordWrap, m_text).adjusted(-14, -8, 14, 8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRoundedRect(textBox, kRadius, kRadius);
    painter.setPen(kAccent.darker(115));
    painter.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap, m_text);
}
