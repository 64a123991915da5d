#include "KSHomeView.h"

#include "ui_KSHomeView.h"

#include "CommLang.h"
#include "KSBookmark.h"
#include "KSColorConst.h"
#include "KSDropHintView.h"
#include "KSHomeCardLayout.h"
#include "KSHomeTypeSelectedView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSPictureLimits.h"
#include "KSPhotoPicker.h"
#include "KSShortcutKeys.h"
#include "KSTextStyle.h"

#include <QFileInfo>
#include <QLabel>
#include <QPointer>

namespace {

struct CardTexts
{
    const char *title;
    const char *callToAction;
    const char *explanation;
    const char *imageBaseName;
};

constexpr CardTexts kPersonCard{"PortraitTitle", "AddImages", "PortraitIntro", "personIcon"};
constexpr CardTexts kObjectCard{"ObjectTitle", "AddImages", "OthersIntro", "objectIcon"};

void configureCard(KSHomeTypeSelectedView *card, const CardTexts &texts)
{
    card->configure(CommLang::GetAppLang(QLatin1String(texts.title)),
                    CommLang::GetAppLang(QLatin1String(texts.callToAction)),
                    CommLang::GetAppLang(QLatin1String(texts.explanation)), QLatin1String(texts.imageBaseName));
}

// Widgets sit on whole pixels. Each card keeps the edge it is anchored by
// (the person card its left, the object card its right) at the nearest
// pixel from that side of the view, so the pair stays symmetric when the
// rule gives half points.
QRect leftAnchored(const QRectF &rect)
{
    return QRect(qRound(rect.left()), qRound(rect.top()), qRound(rect.width()), qRound(rect.height()));
}

QRect rightAnchored(const QRectF &rect, int viewWidth)
{
    const int width = qRound(rect.width());
    const int right = viewWidth - qRound(viewWidth - rect.right());
    return QRect(right - width, qRound(rect.top()), width, qRound(rect.height()));
}

} // namespace

KSHomeView::KSHomeView(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSHomeView>())
{
    m_ui->setupUi(this);

    if (KSHomeTypeSelectedView *person = personBtn()) {
        configureCard(person, kPersonCard);
        person->show();
    }
    if (KSHomeTypeSelectedView *object = objectBtn()) {
        configureCard(object, kObjectCard);
        object->show();
    }
    layoutCards();

    KSTextStyle::apply(m_ui->tipslabel, KSRGBHexColor(0x8E8E8E), 11, QFont::Medium);
    m_ui->tipslabel->setText(
        CommLang::GetAppLang(QStringLiteral("PleaseUpdateOS")).arg(KSPictureLimits::photoFormatNames()));

    // The pick's answer holds the home view weakly: a pick that ends after
    // the view has gone calls nothing.
    if (m_personBtn)
        m_personBtn->actionClosure = [this] { pickPhoto(KSEraserType::person); };
    if (m_objectBtn)
        m_objectBtn->actionClosure = [this] { pickPhoto(KSEraserType::object); };

    const QString chooseTip = KSShortcutKeys::withKeys(CommLang::GetAppLang(QStringLiteral("AddImages")),
                                                       KSShortcutKeys::open());
    for (KSHomeTypeSelectedView *card : {m_personBtn, m_objectBtn})
        if (card)
            card->setToolTip(chooseTip);
    // On a card the card's type, beside them the type is asked for.
    KSDropHintView::Target drops;
    drops.accepts = [this] { return isVisible(); };
    drops.area = [this](const QPoint &point) {
        const std::optional<KSEraserType> type = cardAt(point);
        if (!type)
            return rect();
        return (*type == KSEraserType::person ? m_personBtn : m_objectBtn)->geometry().adjusted(-6, -6, 6, 6);
    };
    drops.text = [this](const QPoint &point) {
        const std::optional<KSEraserType> type = cardAt(point);
        if (!type)
            return CommLang::GetAppLang(QStringLiteral("DropHint"));
        return (*type == KSEraserType::person ? m_personBtn : m_objectBtn)->topTitle()->text();
    };
    drops.droppedAll = [this](const QStringList &paths, const QPoint &point) { photosDropped(paths, point); };
    m_dropHint = KSDropHintView::install(this, std::move(drops));
}

KSHomeView::~KSHomeView() = default;

KSHomeTypeSelectedView *KSHomeView::personBtn()
{
    return card(m_personBtn, m_personTried);
}

KSHomeTypeSelectedView *KSHomeView::objectBtn()
{
    return card(m_objectBtn, m_objectTried);
}

KSHomeTypeSelectedView *KSHomeView::card(KSHomeTypeSelectedView *&slot, bool &tried)
{
    if (!tried) {
        tried = true;
        slot = loadViewFromNib<KSHomeTypeSelectedView>(this);
    }
    return slot;
}

QLabel *KSHomeView::tipslabel() const
{
    return m_ui->tipslabel;
}

void KSHomeView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutCards();
}

void KSHomeView::layoutCards()
{
    const KSHomeCardLayout layout = KSHomeCardLayout::forViewSize(size());
    if (m_personBtn)
        m_personBtn->setGeometry(leftAnchored(layout.person));
    if (m_objectBtn)
        m_objectBtn->setGeometry(rightAnchored(layout.object, width()));
}

std::optional<KSEraserType> KSHomeView::cardAt(const QPoint &point)
{
    if (m_personBtn && m_personBtn->geometry().contains(point))
        return KSEraserType::person;
    if (m_objectBtn && m_objectBtn->geometry().contains(point))
        return KSEraserType::object;
    return std::nullopt;
}

void KSHomeView::photoDropped(const QString &path, const QPoint &point)
{
    const std::optional<KSEraserType> type = cardAt(point);
    QPointer<KSHomeView> weakSelf(this);
    KSPhotoPicker::whenSignedIn([weakSelf, path, type] {
        if (!weakSelf)
            return;
        KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(path);
        if (type && weakSelf->photoSelectedClosure)
            weakSelf->photoSelectedClosure(path, *type);
        else if (!type && weakSelf->photoDroppedClosure)
            weakSelf->photoDroppedClosure(path);
    });
}

void KSHomeView::photosDropped(const QStringList &paths, const QPoint &point)
{
    // One photo keeps its own way; several, or a folder, make a batch.
    if (paths.size() == 1 && !QFileInfo(paths.constFirst()).isDir()) {
        photoDropped(paths.constFirst(), point);
        return;
    }
    const std::optional<KSEraserType> type = cardAt(point);
    QPointer<KSHomeView> weakSelf(this);
    KSPhotoPicker::whenSignedIn([weakSelf, paths, type] {
        if (!weakSelf)
            return;
        for (const QString &path : paths)
            KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(path);
        if (weakSelf->photosChosenClosure)
            weakSelf->photosChosenClosure(paths, type);
    });
}

void KSHomeView::pickPhoto(KSEraserType type)
{
    QPointer<KSHomeView> weakSelf(this);
    KSPhotoPicker::selectPhotos([weakSelf, type](const QStringList &paths) {
        if (!weakSelf)
            return;
        if (paths.size() == 1 && weakSelf->photoSelectedClosure)
            weakSelf->photoSelectedClosure(paths.constFirst(), type);
        else if (paths.size() > 1 && weakSelf->photosChosenClosure)
            weakSelf->photosChosenClosure(paths, type);
    });
}
