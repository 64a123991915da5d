#include "KSEditChangeBackgroundCollectionItem.h"

#include "ui_KSEditChangeBackgroundCollectionItem.h"

#include "KSColorConst.h"
#include "KSEditChangeBackgroundItem.h"
#include "KSFilppedImageView.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSTextStyle.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kTitlePoints = 12;
// The chosen colour's picture lies inside the swatch's 2-point border.
constexpr int kSwatchInset = 2;
constexpr qreal kSwatchRadius = 3.0;
// Long names ("Transparent") are set smaller rather than cut.
constexpr int kSmallestTitlePoints = 9;

void setAllImages(KSHoverButton *button, const QPixmap &image)
{
    button->setImage(image);
    button->setHoverImage(image);
    button->setDownImage(image);
}

void applySelectedStyle(KSHoverButton *button, bool selected)
{
    button->setSelected(selected);
    button->setBorderLineWith(selected ? 2.0 : 1.0);
    button->setBorderColor(KSRGBHexColor(selected ? 0x00CC8F : 0xD1D1D1));
}

// The largest title size, down to the smallest, at which every word of the
// title fits the cell's width.
QFont fittingTitleFont(const QString &title, int width)
{
    const QStringList words = title.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int points = kTitlePoints; points > kSmallestTitlePoints; --points) {
        const QFont font = KSTextStyle::systemFont(points);
        const QFontMetricsF metrics(font);
        const bool fits = std::all_of(words.cbegin(), words.cend(), [&](const QString &word) {
            return std::ceil(metrics.horizontalAdvance(word)) <= width;
        });
        if (fits)
            return font;
    }
    return KSTextStyle::systemFont(kSmallestTitlePoints);
}
} // namespace

KSEditChangeBackgroundCollectionItem::KSEditChangeBackgroundCollectionItem(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSEditChangeBackgroundCollectionItem>())
{
    m_ui->setupUi(this);
    setFixedSize(64, 100);

    KSHoverButton *swatch = m_ui->colorBtn;
    swatch->setTitle(QString());
    swatch->setTitleFont(KSTextStyle::systemFont(kTitlePoints));
    swatch->setHasBorder(true);
    swatch->setBorderRadius(4.0);
    applySelectedStyle(swatch, false);
    // The title under the swatch follows the swatch's hover look.
    swatch->installEventFilter(this);
    KSTextStyle::apply(m_ui->titleLbl, KSRGBHexColor(0x333333), kTitlePoints);

    swatch->setTarget(this);
    swatch->setAction([this](KSHoverButton *) { colorBtnClick(); });
}

KSEditChangeBackgroundCollectionItem::~KSEditChangeBackgroundCollectionItem() = default;

KSHoverButton *KSEditChangeBackgroundCollectionItem::colorBtn() const
{
    return m_ui->colorBtn;
}

QLabel *KSEditChangeBackgroundCollectionItem::titleLbl() const
{
    return m_ui->titleLbl;
}

void KSEditChangeBackgroundCollectionItem::configure(const KSEditChangeBackgroundItem &item)
{
    KSHoverButton *swatch = m_ui->colorBtn;
    m_ui->titleLbl->setText(item.title);
    m_ui->titleLbl->setFont(fittingTitleFont(item.title, width()));
    swatch->setToolTip(item.title);
    m_choosableWhenSelected = item.hex == KSEditChangeBackgroundItem::kMoreColorsHex;
    if (item.hex == KSEditChangeBackgroundItem::kTransparentHex) {
        setAllImages(swatch, KSImageNamed(QStringLiteral("gray_white_small")));
        swatch->setBackgroundColor(Qt::white);
        swatch->setBackgroundDownColor(Qt::white);
    } else if (item.hex == KSEditChangeBackgroundItem::kMoreColorsHex) {
        setAllImages(swatch, KSImageNamed(QStringLiteral("color_more")));
        swatch->setBackgroundColor(Qt::white);
        swatch->setBackgroundDownColor(Qt::white);
        m_chosenColour = QColor();
    } else {
        setAllImages(swatch, QPixmap());
        swatch->setBackgroundColor(KSRGBHexColor(item.hex));
        swatch->setBackgroundDownColor(KSRGBHexColor(item.hex));
    }
}

void KSEditChangeBackgroundCollectionItem::showChosenColour(const QColor &color)
{
    if (!m_choosableWhenSelected || color == m_chosenColour)
        return;
    m_chosenColour = color;
    KSHoverButton *swatch = m_ui->colorBtn;
    if (!color.isValid()) {
        setAllImages(swatch, KSImageNamed(QStringLiteral("color_more")));
        return;
    }
    // Inside the border, with its corners rounded as the swatch's are.
    const QSize side = swatch->size() - QSize(2 * kSwatchInset, 2 * kSwatchInset);
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(side * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(side)), kSwatchRadius, kSwatchRadius);
    painter.setClipPath(rounded);
    KSFilppedImageView::paintBackdrop(painter, QRectF(QPointF(0, 0), QSizeF(side)), color);
    painter.end();
    setAllImages(swatch, picture);
}

void KSEditChangeBackgroundCollectionItem::setSelected(bool selected)
{
    applySelectedStyle(m_ui->colorBtn, selected);
    refreshTitleColor();
}

bool KSEditChangeBackgroundCollectionItem::isSelected() const
{
    return m_ui->colorBtn->isSelected();
}

void KSEditChangeBackgroundCollectionItem::colorBtnClick()
{
    if (isSelected() && !m_choosableWhenSelected)
        return;
    // The closure may rebuild the grid; only restyle a cell that survived.
    QPointer<KSEditChangeBackgroundCollectionItem> self(this);
    if (returnClosure)
        returnClosure(m_index);
    if (self)
        setSelected(true);
}

void KSEditChangeBackgroundCollectionItem::refreshTitleColor()
{
    const bool accent = m_hovered || isSelected() || m_ui->colorBtn->isDown();
    QPalette palette = m_ui->titleLbl->palette();
    palette.setColor(QPalette::WindowText, KSRGBHexColor(accent ? 0x00CC8F : 0x333333));
    m_ui->titleLbl->setPalette(palette);
}

bool KSEditChangeBackgroundCollectionItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->colorBtn) {
        switch (event->type()) {
        case QEvent::Enter:
            m_hovered = true;
            refreshTitleColor();
            break;
        case QEvent::Leave:
        case QEvent::Hide:
            m_hovered = false;
            refreshTitleColor();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            refreshTitleColor();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
