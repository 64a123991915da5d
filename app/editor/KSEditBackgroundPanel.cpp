#include "KSEditBackgroundPanel.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAsync.h"
#include "KSBackgroundLayers.h"
#include "KSBackdropBlurPage.h"
#include "KSBackgroundPicturePage.h"
#include "KSColorConst.h"
#include "KSDropHintView.h"
#include "KSEditChangeBackgroundItem.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditDocument.h"
#include "KSEditPanelStyle.h"
#include "KSEditSliderRow.h"
#include "KSFileConst.h"
#include "KSHoverButton.h"
#include "KSImageWriter.h"
#include "KSNotice.h"
#include "KSRecentBackgrounds.h"
#include "KSShadowPage.h"
#include "KSTextStyle.h"

#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

constexpr int kMargin = 20;
constexpr int kTabHeight = 34;

struct PageEntry
{
    KSEditBackgroundPanel::Page page;
    const char *titleKey;
};

constexpr PageEntry kPages[] = {
    {KSEditBackgroundPanel::Page::colour, "BackgroundColourPage"},
    {KSEditBackgroundPanel::Page::picture, "BackgroundPicturePage"},
    {KSEditBackgroundPanel::Page::blur, "BackgroundBlurPage"},
    {KSEditBackgroundPanel::Page::shadow, "BackgroundShadowPage"},
};

// A picture read on a worker thread, or why it was not.
struct ReadPicture
{
    QString path;
    std::optional<KSEditBackground> background;
    QString error;
};

// The placement as the picture page's sliders show it: the zoom in percent,
// the offset in percent of the way the picture can go each side at that zoom.
struct PlacementSteps
{
    int zoom = KSBackgroundPicturePage::kMinZoom;
    int x = 0;
    int y = 0;
};

// How far the centred picture can move, as a share of the frame, before an
// edge of it would show: half of what it is larger than the frame.
QSizeF travel(const KSEditBackground &background, const QSizeF &frame)
{
    const QRectF covered = KSBackgroundLayers::pictureRect(
        [&] {
            KSEditBackground centred = background;
            centred.pictureOffset = {};
            return centred;
        }(),
        QRectF(QPointF(), frame));
    if (frame.isEmpty())
        return {};
    return QSizeF(std::max(0.0, (covered.width() - frame.width()) / 2 / frame.width()),
                  std::max(0.0, (covered.height() - frame.height()) / 2 / frame.height()));
}

int shiftStep(double offset, double room)
{
    return room > 0 ? int(std::lround(std::clamp(offset / room, -1.0, 1.0) * KSBackgroundPicturePage::kShiftRange)) : 0;
}

} // namespace

KSEditBackgroundPanel::KSEditBackgroundPanel(KSEditDocument *document, QWidget *parent)
    : KSColorView(parent), m_document(document), m_stack(new QStackedWidget(this)),
      m_colourPage(new KSEditChangeBackgroundView(m_stack)), m_picturePage(new KSBackgroundPicturePage(m_stack)),
      m_blurPage(new KSBackdropBlurPage(m_stack)), m_shadowPage(new KSShadowPage(m_stack))
{
    setColor(KSRGBHexColor(0xF6F7FB));
    m_colourPage->setEmbedded();

    auto *tabs = new QHBoxLayout;
    tabs->setSpacing(6);
    for (const PageEntry &entry : kPages) {
        auto *button = new KSHoverButton(this);
        KSEditPanelStyle::styleTabButton(button);
        button->setTitleFont(KSTextStyle::systemFont(13));
        button->setTitle(lang(entry.titleKey));
        button->setMinimumHeight(kTabHeight);
        button->setTarget(this);
        button->setAction([this, page = entry.page](KSHoverButton *) { showPage(page); });
        tabs->addWidget(button);
        m_pageButtons.append(button);
    }
    for (QWidget *page : std::initializer_list<QWidget *>{m_colourPage, m_picturePage, m_blurPage, m_shadowPage})
        m_stack->addWidget(page);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, 12);
    column->setSpacing(18);
    column->addLayout(tabs);
    column->addWidget(m_stack, 1);

    // ---- the pages' choices become edits
    m_colourPage->returnClosure = [this](const KSColor &color) {
        // The colour dialog reports every step of a drag: one undo step.
        const int index = m_colourPage->selectedIndex();
        const bool fromDialog = index >= 0 && index < m_colourPage->numberOfItems()
            && m_colourPage->dataArray().at(index).hex == KSEditChangeBackgroundItem::kMoreColorsHex;
        m_document->chooseBackground(KSEditBackground::ofColour(color), fromDialog);
    };
    connect(m_picturePage, &KSBackgroundPicturePage::pictureChosen, this, &KSEditBackgroundPanel::usePictureFile);
    connect(m_picturePage, &KSBackgroundPicturePage::picturePasted, this, &KSEditBackgroundPanel::usePastedPicture);
    connect(m_picturePage, &KSBackgroundPicturePage::placementEdited, this,
            [this](int zoom, int x, int y, bool dragging) {
                KSEditBackground background = m_document->background();
                if (background.kind != KSEditBackground::Kind::picture)
                    return;
                background.pictureScale = zoom / 100.0;
                const QSizeF room = travel(background, m_document->resultCanvasRect().size());
                background.pictureOffset = QPointF(room.width() * x / KSBackgroundPicturePage::kShiftRange,
                                                   room.height() * y / KSBackgroundPicturePage::kShiftRange);
                m_document->chooseBackground(background, dragging);
            });
    connect(m_picturePage, &KSBackgroundPicturePage::placementReset, this, [this] {
        KSEditBackground background = m_document->background();
        background.pictureScale = 1.0;
        background.pictureOffset = {};
        m_document->chooseBackground(background);
    });
    connect(m_blurPage, &KSBackdropBlurPage::blurEdited, this, [this](int strength, bool dragging) {
        m_document->chooseBackground(
            KSEditBackground::ofBlurredPhoto(KSEditBackground::kMaxBlur * strength / KSBackdropBlurPage::kMaxStrength),
            dragging);
    });
    connect(m_shadowPage, &KSShadowPage::shadowEdited, this,
            [this](const KSEditShadow &shadow, bool dragging) { m_document->chooseShadow(shadow, dragging); });
    // Each drag of a slider is one step of the history, apart from the
    // steps before and after it.
    for (KSEditSliderRow *row : findChildren<KSEditSliderRow *>()) {
        connect(row, &KSEditSliderRow::dragStarted, m_document, &KSEditDocument::finishDrag);
        connect(row, &KSEditSliderRow::dragEnded, m_document, &KSEditDocument::finishDrag);
    }

    // ---- the document's state on the pages
    connect(m_document, &KSEditDocument::backgroundChanged, this, &KSEditBackgroundPanel::showBackground);
    connect(m_document, &KSEditDocument::framingChanged, this, &KSEditBackgroundPanel::showBackground);
    connect(m_document, &KSEditDocument::shadowChanged, this, &KSEditBackgroundPanel::showShadow);
    showBackground();
    showShadow();
    showPage(pageForDocument());

    KSDropHintView::Target drops;
    drops.accepts = [this] { return isEnabled(); };
    drops.text = [](const QPoint &) { return lang("BackgroundDropHintActive"); };
    drops.dropped = [this](const QString &path, const QPoint &) {
        showPage(Page::picture);
        usePictureFile(path);
    };
    m_dropHint = KSDropHintView::install(this, std::move(drops));
}

KSEditBackgroundPanel::~KSEditBackgroundPanel() = default;

KSHoverButton *KSEditBackgroundPanel::pageButton(Page page) const
{
    return m_pageButtons.value(int(page));
}

KSEditBackgroundPanel::Page KSEditBackgroundPanel::pageForDocument() const
{
    switch (m_document->background().kind) {
    case KSEditBackground::Kind::colour: return Page::colour;
    case KSEditBackground::Kind::picture: return Page::picture;
    case KSEditBackground::Kind::blurredPhoto: return Page::blur;
    }
    return Page::colour;
}

void KSEditBackgroundPanel::showPage(Page page)
{
    m_page = page;
    for (int index = 0; index < m_pageButtons.size(); ++index)
        m_pageButtons.at(index)->setSelected(index == int(page));
    m_stack->setCurrentIndex(int(page));
}

void KSEditBackgroundPanel::showBackground()
{
    const KSEditBackground background = m_document->background();
    const bool colour = background.kind == KSEditBackground::Kind::colour;
    const bool picture = background.kind == KSEditBackground::Kind::picture;
    // A picture or the backdrop is no colour of the grid: no cell is marked,
    // so that any of them can be chosen.
    if (colour) {
        m_colourPage->setDefaultColor(background.colour);
    } else {
        m_colourPage->setDefaultColor(std::nullopt);
        m_colourPage->setSelectedIndex(-1);
    }

    m_picturePage->showPicture(picture ? std::optional<QString>(background.picturePath) : std::nullopt);
    if (picture) {
        const QSizeF room = travel(background, m_document->resultCanvasRect().size());
        m_picturePage->showPlacement(int(std::lround(background.pictureScale * 100)),
                                     shiftStep(background.pictureOffset.x(), room.width()),
                                     shiftStep(background.pictureOffset.y(), room.height()));
    } else {
        m_picturePage->showPlacement(KSBackgroundPicturePage::kMinZoom, 0, 0);
    }

    m_blurPage->showBlur(background.kind == KSEditBackground::Kind::blurredPhoto
                             ? int(std::lround(background.blur / KSEditBackground::kMaxBlur
                                               * KSBackdropBlurPage::kMaxStrength))
                             : -1);
}

void KSEditBackgroundPanel::showShadow()
{
    m_shadowPage->showShadow(m_document->shadow());
}

void KSEditBackgroundPanel::usePictureFile(const QString &path)
{
    ++m_loading;
    KSAsync::run(this, [path] {
        ReadPicture read;
        read.path = path;
        read.background = KSEditBackground::loadPicture(path, &read.error);
        return read;
    }, [this](const ReadPicture &read) { pictureArrived(read.path, read.background, read.error); });
}

void KSEditBackgroundPanel::pictureArrived(const QString &path, const std::optional<KSEditBackground> &background,
                                           const QString &error)
{
    --m_loading;
    if (!background) {
        pictureFailed(path, error);
        return;
    }
    m_document->chooseBackground(*background);
    // A pasted picture that could not be kept as a file is not offered again.
    if (!background->picturePath.isEmpty()) {
        KSRecentBackgrounds::remember(path);
        m_picturePage->reloadRecent();
    }
    emit pictureLoaded(path, true);
}

void KSEditBackgroundPanel::pictureFailed(const QString &path, const QString &error)
{
    CommLog::E(QStringLiteral("editor: the background picture %1 cannot be used: %2").arg(path, error));
    // A remembered picture that no longer reads is offered no more.
    KSRecentBackgrounds::forget(path);
    m_picturePage->reloadRecent();
    KSNotice::post({lang("Tip"), lang("BackgroundPictureUnreadable"), path});
    emit pictureLoaded(path, false);
}

void KSEditBackgroundPanel::usePastedPicture(const QImage &picture)
{
    if (picture.isNull()) {
        KSNotice::post({lang("Tip"), lang("ClipboardNoPicture"), {}});
        return;
    }
    // Kept beside the application's caches, so that it is offered again
    // among the recent pictures.
    const QString path = QDir(KSCachesAppPathDirectory(QStringLiteral("backgrounds")))
                             .filePath(QStringLiteral("pasted-%1.png")
                                           .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"))));
    ++m_loading;
    KSAsync::run(this, [picture, path] {
        ReadPicture read;
        read.path = path;
        const KSImageWriter::Result written = KSImageWriter::writePng(picture, path, 1);
        if (!written.ok)
            read.error = written.error;
        read.background = KSEditBackground::ofPicture(picture, written.ok ? path : QString());
        return read;
    }, [this](const ReadPicture &read) { pictureArrived(read.path, read.background, read.error); });
}
