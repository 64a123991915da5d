#include "KSEditChangeBackgroundCollectionItem.h"

#include "ui_KSEditChangeBackgroundCollectionItem.h"

#include "KSColorConst.h"
#include "KSEditChangeBackgroundItem.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSPaintKit.h"
#include "KSTextStyle.h"

#include <QGuiApplication>
#include <QPointer>
#include <QPainter>
#include <cmath>

namespace {
// The swatch pictures are drawn at this size, the size of the two pictures
// of the resources, so that every cell looks alike.
const QSize kSwatchSize(56, 56);

// A colour's swatch with a faint outline, so that white shows on the white cell.
QPixmap colorSwatch(const QColor &color)
{
    const qreal ratio = std::max<qreal>(1.0, qApp ? qApp->devicePixelRatio() : 1.0);
    QPixmap pixmap(QSize(int(std::ceil(kSwatchSize.width() * ratio)), int(std::ceil(kSwatchSize.height() * ratio))));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    KSPaintKit::fillRoundedRect(painter, QRectF(QPointF(0, 0), QSizeF(kSwatchSize)), 3.0, color,
                                KSRGBHexColor(0xE5E5E5), 1.0);
    return pixmap;
}

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
} // namespace

KSEditChangeBackgroundCollectionItem::KSEditChangeBackgroundCollectionItem(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSEditChangeBackgroundCollectionItem>())
{
    m_ui->setupUi(this);
    setFixedSize(64, 100);

    KSHoverButton *swatch = m_ui->colorBtn;
    swatch->setTitle(QString());
    swatch->setTitleFont(KSTextStyle::systemFont(12));
    swatch->setTitleColor(KSRGBHexColor(0x333333));
    swatch->setTitleHoverColor(KSRGBHexColor(0x00CC8F));
    swatch->setTitleDownColor(KSRGBHexColor(0x00CC8F));
    swatch->setBackgroundColor(Qt::white);
    swatch->setHasBorder(true);
    swatch->setBorderRadius(4.0);
    swatch->setImagePosition(KSHoverButton::ImagePosition::Above);
    swatch->setXOffsetBetweenIconTitle(8.0);
    applySelectedStyle(swatch, false);

    swatch->setTarget(this);
    swatch->setAction([this](KSHoverButton *) { colorBtnClick(); });
}

KSEditChangeBackgroundCollectionItem::~KSEditChangeBackgroundCollectionItem() = default;

KSHoverButton *KSEditChangeBackgroundCollectionItem::colorBtn() const
{
    return m_ui->colorBtn;
}

void KSEditChangeBackgroundCollectionItem::configure(const KSEditChangeBackgroundItem &item)
{
    KSHoverButton *swatch = m_ui->colorBtn;
    swatch->setTitle(item.title);
    swatch->setToolTip(item.title);
    if (item.hex == KSEditChangeBackgroundItem::kTransparentHex)
        setAllImages(swatch, KSImageNamed(QStringLiteral("gray_white_small"), kSwatchSize));
    else if (item.hex == KSEditChangeBackgroundItem::kMoreColorsHex)
        setAllImages(swatch, KSImageNamed(QStringLiteral("color_more"), kSwatchSize));
    else
        setAllImages(swatch, colorSwatch(KSRGBHexColor(item.hex)));
}

void KSEditChangeBackgroundCollectionItem::setSelected(bool selected)
{
    applySelectedStyle(m_ui->colorBtn, selected);
}

bool KSEditChangeBackgroundCollectionItem::isSelected() const
{
    return m_ui->colorBtn->isSelected();
}

void KSEditChangeBackgroundCollectionItem::colorBtnClick()
{
    if (isSelected())
        return;
    // The closure may rebuild the grid; only restyle a cell that survived.
    QPointer<KSEditChangeBackgroundCollectionItem> self(this);
    if (returnClosure)
        returnClosure(m_index);
    if (self)
        setSelected(true);
}
