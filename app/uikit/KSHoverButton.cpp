#include "KSHoverButton.h"

#include "KSPaintKit.h"
#include "KSTextField.h"

#include <QEnterEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
const QColor kDefaultTitleColor = QColor::fromRgb(0x333333u);
constexpr int kPaddingX = 8;
constexpr int kPaddingY = 4;

bool colorIsSet(const QColor &color) { return color.isValid(); }
bool imageIsSet(const QPixmap &image) { return !image.isNull(); }
} // namespace

KSHoverButton::KSHoverButton(QWidget *parent)
    : QAbstractButton(parent)
    , m_titleField(new KSTextField(this))
{
    m_titleColors.normal = kDefaultTitleColor;
    m_titleField->setAlignment(Qt::AlignCenter);
    m_titleField->setWordWrap(true);
    m_titleField->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_titleField->hide();
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &KSHoverButton::sendAction);
    refreshLook();
}

KSHoverButton::~KSHoverButton() = default;

template<typename T>
const T &KSHoverButton::pick(const Triple<T> &values, Look look, bool (*isSet)(const T &))
{
    if (look == Look::Down && isSet(values.down))
        return values.down;
    if (look != Look::Normal && isSet(values.hover))
        return values.hover;
    return values.normal;
}

void KSHoverButton::setTitle(const QString &title)
{
    setText(title);
    m_titleField->setText(title);
    m_titleField->setVisible(!title.isEmpty());
    relayout();
}

QString KSHoverButton::title() const
{
    return m_titleField->text();
}

void KSHoverButton::setTitleFont(const QFont &font)
{
    m_titleField->setFont(font);
    relayout();
}

void KSHoverButton::setTitleColor(const QColor &color) { m_titleColors.normal = color; refreshLook(); }
void KSHoverButton::setTitleHoverColor(const QColor &color) { m_titleColors.hover = color; refreshLook(); }
void KSHoverButton::setTitleDownColor(const QColor &color) { m_titleColors.down = color; refreshLook(); }
void KSHoverButton::setBackgroundColor(const QColor &color) { m_backgroundColors.normal = color; update(); }
void KSHoverButton::setBackgroundHoverColor(const QColor &color) { m_backgroundColors.hover = color; update(); }
void KSHoverButton::setBackgroundDownColor(const QColor &color) { m_backgroundColors.down = color; update(); }
void KSHoverButton::setBorderColor(const QColor &color) { m_borderColors.normal = color; update(); }
void KSHoverButton::setBorderHoverColor(const QColor &color) { m_borderColors.hover = color; update(); }
void KSHoverButton::setBorderDownColor(const QColor &color) { m_borderColors.down = color; update(); }

void KSHoverButton::setImage(const QPixmap &image) { m_images.normal = image; relayout(); }
void KSHoverButton::setHoverImage(const QPixmap &image) { m_images.hover = image; relayout(); }
void KSHoverButton::setDownImage(const QPixmap &image) { m_images.down = image; relayout(); }

void KSHoverButton::setImagePosition(ImagePosition position)
{
    m_imagePosition = position;
    relayout();
}

void KSHoverButton::setBorderRadius(double radius)
{
    m_borderRadius = std::max(0.0, radius);
    update();
}

void KSHoverButton::setHasBorder(bool hasBorder)
{
    m_hasBorder = hasBorder;
    update();
}

void KSHoverButton::setBorderLineWith(double width)
{
    m_borderWidth = std::max(0.0, width);
    update();
}

void KSHoverButton::setXOffsetBetweenIconTitle(double offset)
{
    m_spacing = offset;
    relayout();
}

void KSHoverButton::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    refreshLook();
}

void KSHoverButton::setTarget(QObject *target)
{
    m_targetAction.setTarget(target);
}

void KSHoverButton::setAction(Action action)
{
    m_targetAction.setAction(std::move(action));
}

void KSHoverButton::sendAction()
{
    m_targetAction.send(this);
}

KSHoverButton::Look KSHoverButton::currentLook() const
{
    if (!isEnabled())
        return Look::Normal;
    if (isDown())
        return Look::Down;
    if (m_hover || m_selected)
        return Look::Hover;
    return Look::Normal;
}

void KSHoverButton::refreshLook()
{
    m_appliedLook = currentLook();
    m_titleField->setTextColor(pick(m_titleColors, m_appliedLook, colorIsSet));
    // Pictures of different states may differ in size.
    relayout();
}

QPixmap KSHoverButton::currentImage() const
{
    return pick(m_images, currentLook(), imageIsSet);
}

QSizeF KSHoverButton::imageSize(const QSizeF &room) const
{
    const QPixmap image = currentImage();
    if (image.isNull())
        return QSizeF();
    const QSizeF natural = image.deviceIndependentSize();
    if (natural.width() <= room.width() && natural.height() <= room.height())
        return natural;
    return natural.scaled(room.expandedTo(QSizeF(1, 1)), Qt::KeepAspectRatio);
}

void KSHoverButton::relayout()
{
    const QRectF content = QRectF(rect()).adjusted(2, 2, -2, -2);
    const bool hasTitle = !title().isEmpty();
    const bool above = m_imagePosition == ImagePosition::Above;

    QSizeF image = imageSize(content.size());
    QSize titleSize;
    if (hasTitle) {
        QSize room = content.size().toSize();
        if (!image.isEmpty()) {
            if (above)
                room.rheight() -= int(image.height() + std::max(0.0, m_spacing));
            else
                room.rwidth() -= int(image.width() + std::max(0.0, m_spacing));
        }
        titleSize = m_titleField->sizeThatFits(room.expandedTo(QSize(1, 1)));
    }
    const double gap = (!image.isEmpty() && hasTitle) ? m_spacing : 0.0;

    QPointF imageOrigin;
    QRectF titleRect;
    if (above) {
        const double total = image.height() + gap + titleSize.height();
        const double top = content.top() + (content.height() - total) / 2.0;
        imageOrigin = QPointF(content.center().x() - image.width() / 2.0, top);
        titleRect = QRectF(content.center().x() - titleSize.width() / 2.0, top + image.height() + gap,
                           titleSize.width(), titleSize.height());
    } else {
        const double total = image.width() + gap + titleSize.width();
        const double left = content.left() + (content.width() - total) / 2.0;
        imageOrigin = QPointF(left, content.center().y() - image.height() / 2.0);
        titleRect = QRectF(left + image.width() + gap, content.center().y() - titleSize.height() / 2.0,
                           titleSize.width(), titleSize.height());
    }
    m_imageRect = QRectF(QPointF(std::round(imageOrigin.x()), std::round(imageOrigin.y())), image);
    m_titleField->setGeometry(titleRect.toAlignedRect());
    update();
}

QSize KSHoverButton::sizeHint() const
{
    const QSizeF image = currentImage().isNull() ? QSizeF() : currentImage().deviceIndependentSize();
    const QSize titleSize = m_titleField->sizeThatFits(QSize(10000, 10000));
    const double gap = (!image.isEmpty() && !titleSize.isEmpty()) ? std::max(0.0, m_spacing) : 0.0;
    QSizeF content;
    if (m_imagePosition == ImagePosition::Above)
        content = QSizeF(std::max(image.width(), double(titleSize.width())), image.height() + gap + titleSize.height());
    else
        content = QSizeF(image.width() + gap + titleSize.width(), std::max(image.height(), double(titleSize.height())));
    return QSize(int(std::ceil(content.width())) + 2 * kPaddingX, int(std::ceil(content.height())) + 2 * kPaddingY);
}

QSize KSHoverButton::minimumSizeHint() const
{
    return QSize(16, 16);
}

void KSHoverButton::paintEvent(QPaintEvent *)
{
    const Look look = currentLook();
    if (look != m_appliedLook) {
        // Down was changed without a mouse or key event (setDown, animateClick).
        QMetaObject::invokeMethod(this, &KSHoverButton::refreshLook, Qt::QueuedConnection);
    }
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.5);
    const QColor border = m_hasBorder ? pick(m_borderColors, look, colorIsSet) : QColor();
    KSPaintKit::fillRoundedRect(painter, QRectF(rect()), m_borderRadius,
                                pick(m_backgroundColors, look, colorIsSet), border, m_borderWidth);
    const QPixmap image = pick(m_images, look, imageIsSet);
    if (!image.isNull() && !m_imageRect.isEmpty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(m_imageRect, image, QRectF(image.rect()));
    }
}

void KSHoverButton::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    relayout();
}

void KSHoverButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    m_hover = true;
    refreshLook();
}

void KSHoverButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    m_hover = false;
    refreshLook();
}

void KSHoverButton::mousePressEvent(QMouseEvent *event)
{
    QAbstractButton::mousePressEvent(event);
    refreshLook();
}

void KSHoverButton::mouseReleaseEvent(QMouseEvent *event)
{
    // The action may delete this button: keep only a guarded pointer.
    QPointer<KSHoverButton> self(this);
    QAbstractButton::mouseReleaseEvent(event);
    if (self)
        refreshLook();
}

void KSHoverButton::mouseMoveEvent(QMouseEvent *event)
{
    QAbstractButton::mouseMoveEvent(event);
    if (currentLook() != m_appliedLook)
        refreshLook();
}

void KSHoverButton::keyPressEvent(QKeyEvent *event)
{
    QAbstractButton::keyPressEvent(event);
    refreshLook();
}

void KSHoverButton::keyReleaseEvent(QKeyEvent *event)
{
    QPointer<KSHoverButton> self(this);
    QAbstractButton::keyReleaseEvent(event);
    if (self)
        refreshLook();
}

void KSHoverButton::hideEvent(QHideEvent *event)
{
    // A hidden button gets no leave event; it must not come back hovered.
    QAbstractButton::hideEvent(event);
    m_hover = false;
    refreshLook();
}

void KSHoverButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        refreshLook();
    else if (event->type() == QEvent::FontChange)
        relayout();
}
