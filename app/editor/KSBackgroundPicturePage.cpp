#include "KSBackgroundPicturePage.h"

#include "CommLang.h"
#include "KSAsync.h"
#include "KSCollectionFlowLayout.h"
#include "KSColorConst.h"
#include "KSDropHintView.h"
#include "KSEditPanelStyle.h"
#include "KSEditSliderRow.h"
#include "KSHoverButton.h"
#include "KSImageLoader.h"
#include "KSPhotoPicker.h"
#include "KSPictureThumbView.h"
#include "KSRecentBackgrounds.h"
#include "KSTextStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QVBoxLayout>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

constexpr int kThumbSide = 68;
const KSCollectionFlowLayout::Metrics kThumbMetrics{QSize(kThumbSide, kThumbSide), 10, 10};
constexpr int kButtonHeight = 32;

QString percentText(int value)
{
    return QStringLiteral("%1 %").arg(value);
}

// Thumbnails outlive the panel, which is made anew at each opening; a file
// changed since is read again.
QHash<QString, QImage> &thumbnailCache()
{
    static QHash<QString, QImage> cache;
    return cache;
}

QString thumbnailKey(const QString &path)
{
    return path + QLatin1Char('|') + QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
}

KSBackgroundPicturePage::PictureDialogRunner &pictureDialogRunner()
{
    static KSBackgroundPicturePage::PictureDialogRunner runner;
    return runner;
}

QString pictureNameFilter()
{
    QStringList patterns;
    for (const QString &extension : KSPhotoPicker::allowedPhotoExtensions())
        patterns << QStringLiteral("*.") + extension;
    return lang("BackgroundPictureFiles") + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace

KSBackgroundPicturePage::KSBackgroundPicturePage(QWidget *parent)
    : QWidget(parent), m_chooseButton(new KSHoverButton(this)), m_pasteButton(new KSHoverButton(this)),
      m_recentLabel(new QLabel(lang("BackgroundRecentPictures"), this)), m_thumbArea(new QWidget(this)),
      m_placementLabel(new QLabel(lang("BackgroundPlacement"), this)),
      m_zoomRow(new KSEditSliderRow(lang("BackgroundZoom"), kMinZoom, kMaxZoom, this)),
      m_shiftXRow(new KSEditSliderRow(lang("BackgroundShiftX"), -kShiftRange, kShiftRange, this)),
      m_shiftYRow(new KSEditSliderRow(lang("BackgroundShiftY"), -kShiftRange, kShiftRange, this)),
      m_resetButton(new KSHoverButton(this))
{
    // A click in the page gives it the keys, so that Ctrl+V pastes here.
    setFocusPolicy(Qt::ClickFocus);

    m_chooseButton->setObjectName(QStringLiteral("choosePictureBtn"));
    KSEditPanelStyle::styleAccentButton(m_chooseButton);
    m_chooseButton->setTitleFont(KSTextStyle::systemFont(13));
    m_chooseButton->setTitle(lang("BackgroundChoosePicture"));
    m_pasteButton->setObjectName(QStringLiteral("pastePictureBtn"));
    KSEditPanelStyle::styleTabButton(m_pasteButton);
    m_pasteButton->setTitleFont(KSTextStyle::systemFont(13));
    m_pasteButton->setTitle(lang("BackgroundPastePicture"));
    m_pasteButton->setToolTip(lang("BackgroundPastePictureTip"));
    m_resetButton->setObjectName(QStringLiteral("resetPlacementBtn"));
    KSEditPanelStyle::styleTabButton(m_resetButton);
    m_resetButton->setTitleFont(KSTextStyle::systemFont(12));
    m_resetButton->setTitle(lang("BackgroundResetPlacement"));
    for (KSHoverButton *button : {m_chooseButton, m_pasteButton, m_resetButton}) {
        button->setMinimumHeight(kButtonHeight);
        button->setTarget(this);
    }
    m_chooseButton->setAction([this](KSHoverButton *) { choosePicture(); });
    m_pasteButton->setAction([this](KSHoverButton *) { pastePicture(); });
    m_resetButton->setAction([this](KSHoverButton *) { emit placementReset(); });

    auto *hint = new QLabel(lang("BackgroundDropHint"), this);
    hint->setWordWrap(true);
    KSTextStyle::apply(hint, KSRGBHexColor(0x999999), 11);
    for (QLabel *label : {m_recentLabel, m_placementLabel})
        KSTextStyle::apply(label, KSRGBHexColor(0x333333), 12, QFont::DemiBold);

    m_zoomRow->setValueText(percentText);
    m_shiftXRow->setValueText(percentText);
    m_shiftYRow->setValueText(percentText);
    for (KSEditSliderRow *row : {m_zoomRow, m_shiftXRow, m_shiftYRow})
        connect(row, &KSEditSliderRow::edited, this, [this](int, bool dragging) { reportPlacement(dragging); });

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(m_chooseButton, 3);
    buttons->addWidget(m_pasteButton, 2);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addLayout(buttons);
    column->addWidget(hint);
    column->addWidget(m_recentLabel);
    column->addWidget(m_thumbArea);
    column->addSpacing(4);
    column->addWidget(m_placementLabel);
    column->addWidget(m_zoomRow);
    column->addWidget(m_shiftXRow);
    column->addWidget(m_shiftYRow);
    column->addWidget(m_resetButton);
    column->addStretch(1);

    showPlacement(kMinZoom, 0, 0);
    showPicture(std::nullopt);
    reloadRecent();
}

void KSBackgroundPicturePage::setPictureDialogRunner(PictureDialogRunner runner)
{
    pictureDialogRunner() = std::move(runner);
}

void KSBackgroundPicturePage::showPicture(const std::optional<QString> &path)
{
    m_shownPath = path;
    for (KSPictureThumbView *thumb : std::as_const(m_thumbs))
        thumb->setSelected(path && QFileInfo(thumb->path()) == QFileInfo(*path));
    for (QWidget *control : std::initializer_list<QWidget *>{m_placementLabel, m_zoomRow, m_shiftXRow, m_shiftYRow,
                                                             m_resetButton})
        control->setEnabled(path.has_value());
}

void KSBackgroundPicturePage::showPlacement(int zoomPercent, int shiftX, int shiftY)
{
    m_zoomRow->showValue(zoomPercent);
    m_shiftXRow->showValue(shiftX);
    m_shiftYRow->showValue(shiftY);
}

void KSBackgroundPicturePage::reportPlacement(bool dragging)
{
    emit placementEdited(m_zoomRow->value(), m_shiftXRow->value(), m_shiftYRow->value(), dragging);
}

void KSBackgroundPicturePage::reloadRecent()
{
    qDeleteAll(m_thumbs);
    m_thumbs.clear();
    const QStringList paths = KSRecentBackgrounds::pictures();
    for (const QString &path : paths) {
        auto *thumb = new KSPictureThumbView(path, m_thumbArea);
        connect(thumb, &KSPictureThumbView::clicked, this, &KSBackgroundPicturePage::pictureChosen);
        thumb->show();
        m_thumbs.append(thumb);
        const QString key = thumbnailKey(path);
        if (const auto cached = thumbnailCache().constFind(key); cached != thumbnailCache().constEnd()) {
            thumb->setThumbnail(*cached);
            continue;
        }
        const QSize side(2 * kThumbSide, 2 * kThumbSide);
        KSAsync::run(thumb, [path, side] { return KSImageLoader::loadReduced(path, side); },
                     [thumb, key](const KSImageLoader::Result &loaded) {
                         if (!loaded.ok())
                             return;
                         // A few rounds of the recent list; older ones are read again.
                         if (thumbnailCache().size() >= 4 * KSRecentBackgrounds::kMaxPictures)
                             thumbnailCache().clear();
                         thumbnailCache().insert(key, loaded.image);
                         thumb->setThumbnail(loaded.image);
                     });
    }
    m_recentLabel->setVisible(!m_thumbs.isEmpty());
    m_thumbArea->setVisible(!m_thumbs.isEmpty());
    showPicture(m_shownPath);
    layoutThumbs();
}

void KSBackgroundPicturePage::layoutThumbs()
{
    const int width = std::max(kThumbSide, m_thumbArea->width());
    m_thumbArea->setFixedHeight(KSCollectionFlowLayout::contentHeight(kThumbMetrics, int(m_thumbs.size()), width));
    const QList<QRect> frames = KSCollectionFlowLayout::itemFrames(kThumbMetrics, int(m_thumbs.size()), width);
    for (int index = 0; index < m_thumbs.size(); ++index)
        m_thumbs.at(index)->setGeometry(frames.at(index));
}

void KSBackgroundPicturePage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutThumbs();
}

void KSBackgroundPicturePage::choosePicture()
{
    QFileDialog dialog(window(), lang("BackgroundChoosePicture"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(pictureNameFilter());
    const QStringList recent = KSRecentBackgrounds::pictures();
    dialog.setDirectory(recent.isEmpty() ? KSPhotoPicker::photoDirectory() : QFileInfo(recent.first()).absolutePath());
    QString path;
    if (pictureDialogRunner())
        path = pictureDialogRunner()(dialog);
    else if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        path = dialog.selectedFiles().constFirst();
    if (!path.isEmpty())
        emit pictureChosen(path);
}

void KSBackgroundPicturePage::pastePicture()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    if (const QString file = KSDropHintView::droppedFile(data); !file.isEmpty()) {
        emit pictureChosen(file);
        return;
    }
    emit picturePasted(data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage());
}

bool KSBackgroundPicturePage::event(QEvent *event)
{
    // Ctrl+V inside the page pastes a background, not a photo to cut out.
    if (event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste)) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void KSBackgroundPicturePage::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        pastePicture();
        return;
    }
    QWidget::keyPressEvent(event);
}
