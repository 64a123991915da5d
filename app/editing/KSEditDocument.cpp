#include "KSEditDocument.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAsync.h"
#include "KSBackgroundColorCommand.h"
#include "KSEditGeometry.h"
#include "KSImageLoader.h"
#include "KSMaskEditCommand.h"
#include "KSMaskedPicture.h"
#include "KSMirrorCommand.h"
#include "KSPhotoRenderTools.h"
#include "KSRecentBackgrounds.h"
#include "KSSubjectEdges.h"
#include "KSShadowCommand.h"
#include "KSSubjectPlaceCommand.h"
#include "KSViewportGeometry.h"

#include <QUndoStack>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}


// The cut-out's colours with the photograph's where the cut-out was clear;
// null, with a log line, when the photo cannot be read.
QImage coloursWithPhoto(const QImage &colours, const QImage &mask, const QString &photoPath)
{
    const KSImageLoader::Result photo = KSImageLoader::load(photoPath);
    if (!photo.ok()) {
        CommLog::E(QStringLiteral("editor: cannot read the photo %1 to restore from: %2").arg(photoPath, photo.error));
        return {};
    }
    return KSMaskedPicture::withPhotoColours(colours, mask, photo.image);
}

} // namespace

KSEditDocument::KSEditDocument(QObject *parent) : QObject(parent), m_undoStack(new QUndoStack(this))
{
    connect(m_undoStack, &QUndoStack::cleanChanged, this, &KSEditDocument::cleanChanged);
}

KSEditDocument::~KSEditDocument()
{
    // The commands' last steps must not reach a half-destroyed document.
    m_undoStack->disconnect(this);
}

bool KSEditDocument::setCutout(QImage cutout, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (cutout.isNull())
        return fail(QStringLiteral("the cut-out is empty"));
    const QSize size = cutout.size();
    auto picture = std::make_shared<KSMaskedPicture>(std::move(cutout));
    if (picture->isNull())
        return fail(QStringLiteral("not enough memory to edit the cut-out"));
    m_picture = std::move(picture);
    m_hasPhotoColours = false;
    m_cutoutSize = size;
    m_subjectBounds = m_picture->visibleBounds();
    m_cutEdges = KSSubjectEdges::cutEdges(m_picture->mask(), m_subjectBounds);
    m_subjectRect = QRectF(m_subjectBounds);
    m_boundsStale = false;
    m_reduced = QImage();
    emit subjectChanged();
    return true;
}

bool KSEditDocument::loadCutout(const QString &path, QString *error)
{
    KSImageLoader::Result loaded = KSImageLoader::load(path);
    if (!loaded.ok()) {
        if (error)
            *error = loaded.error;
        return false;
    }
    m_cutoutPath = path;
    return setCutout(std::move(loaded.image), error);
}

void KSEditDocument::loadPhotoColours(const QString &photoPath)
{
    if (!m_picture)
        return;
    struct Colours
    {
        QImage colours;
        QList<QImage> photoLevels;
    };
    const std::weak_ptr<KSMaskedPicture> target = m_picture;
    KSAsync::run(this, [photoPath, colours = m_picture->colours(), mask = m_picture->mask()] {
        Colours merged;
        merged.colours = coloursWithPhoto(colours, mask, photoPath);
        // Made here, so that the first look at the photo does not wait.
        if (!merged.colours.isNull())
            merged.photoLevels = KSMaskedPicture::photoLevelsOf(merged.colours);
        return merged;
    }, [this, target](const Colours &merged) {
        const std::shared_ptr<KSMaskedPicture> picture = target.lock();
        if (!picture || picture != m_picture || merged.colours.isNull())
            return;
        takePhotoColours(merged.colours, merged.photoLevels);
    });
}

bool KSEditDocument::mergePhotoColours(const QString &photoPath)
{
    if (!m_picture)
        return false;
    const QImage merged = coloursWithPhoto(m_picture->colours(), m_picture->mask(), photoPath);
    if (merged.isNull())
        return false;
    takePhotoColours(merged);
    return true;
}

void KSEditDocument::setPhotoColours(const QImage &photo)
{
    if (!m_picture || photo.isNull())
        return;
    const QImage merged = KSMaskedPicture::withPhotoColours(m_picture->colours(), m_picture->mask(), photo);
    if (!merged.isNull())
        takePhotoColours(merged);
}

void KSEditDocument::takePhotoColours(const QImage &merged, const QList<QImage> &photoLevels)
{
    m_picture->setColours(merged, photoLevels);
    m_hasPhotoColours = true;
    emit maskChanged(QRegion(m_picture->rect()));
    emit photoColoursLoaded();
}

void KSEditDocument::startFaceSearch()
{
    if (!m_picture)
        return;
    // From the picture in memory, not the file again: copies that share the
    // pixels, taken now.
    KSAsync::run(this, [colours = m_picture->colours(), mask = m_picture->mask(), rect = m_picture->rect()] {
        KSFaceFinder::Result result;
        try {
            result = KSFaceFinder::find(KSMaskedPicture::subjectImage(colours, mask, rect));
        } catch (const std::bad_alloc &) {
            result.error = QStringLiteral("not enough memory to look for faces");
        }
        return result;
    }, [this](const KSFaceFinder::Result &result) {
        if (!result.ok())
            CommLog::E(QStringLiteral("editor: faces not looked for: ") + result.error);
        setFaces(result);
    });
}

void KSEditDocument::setFaces(const KSFaceFinder::Result &faces)
{
    m_faces = faces;
    emit facesFound();
}

void KSEditDocument::setDefersSubjectBounds(bool defers)
{
    m_defersBounds = defers;
    if (!defers && m_boundsStale)
        settleSubject();
}

void KSEditDocument::settleSubject()
{
    m_boundsStale = false;
    if (!m_picture)
        return;
    const QRect before = m_subjectBounds;
    const QRect after = m_picture->visibleBounds();
    // Every pixel that stays is shown where it was.
    m_subjectRect = KSViewportGeometry::remappedSubjectRect(m_subjectRect, before, after, m_mirrored);
    m_subjectBounds = after;
    m_cutEdges = KSSubjectEdges::cutEdges(m_picture->mask(), after);
    m_reduced = QImage();
    emit subjectChanged();
}

QSize KSEditDocument::reducedSize() const
{
    const QSizeF size =
        KSPhotoRenderTools::zipSize(QSizeF(m_subjectBounds.size()), QSizeF(kMaxReducedSide, kMaxReducedSide));
    return size.toSize().expandedTo(QSize(1, 1));
}

QImage KSEditDocument::reducedSubject()
{
    if (m_reduced.isNull() && m_picture && !m_subjectBounds.isEmpty())
        m_reduced = m_picture->reducedSubject(m_subjectBounds, reducedSize());
    return m_reduced;
}

double KSEditDocument::reducedSubjectScale() const
{
    if (m_subjectBounds.isEmpty())
        return 0.0;
    return double(reducedSize().width()) / m_subjectBounds.width();
}

QRectF KSEditDocument::resultCanvasRect() const
{
    const QSizeF cutout(m_cutoutSize);
    if (!m_framing.hasSize())
        return QRectF(QPointF(), cutout);
    return KSEditGeometry::fitRect(cutout, m_framing.backgroundSize);
}

void KSEditDocument::setSubjectRect(const QRectF &rect)
{
    m_subjectRect = rect;
    emit subjectChanged();
}

void KSEditDocument::setMirrored(bool mirrored)
{
    m_mirrored = mirrored;
    emit subjectChanged();
}

void KSEditDocument::setBackground(const KSEditBackground &background)
{
    m_background = background;
    emit backgroundChanged();
}

void KSEditDocument::setShadow(const KSEditShadow &shadow)
{
    m_shadow = shadow;
    emit shadowChanged();
}

void KSEditDocument::setFramingState(const KSFramingCommand::State &state)
{
    m_framing = state.framing;
    m_subjectRect = state.subjectRect;
    // A step of the history is complete: it waits for no faces.
    m_awaitsFaces = false;
    emit framingChanged();
    emit subjectChanged();
}

void KSEditDocument::maskPainted(const QList<QRect> &rects)
{
    QRegion region;
    for (const QRect &rect : rects)
        region += rect;
    m_reduced = QImage();
    emit maskChanged(region);
    if (m_defersBounds)
        m_boundsStale = true;
    else
        settleSubject();
}

void KSEditDocument::swapMaskEdit(KSMaskEdit &edit)
{
    if (!m_picture)
        return;
    const QList<QRect> changed = m_picture->store().apply(edit);
    m_picture->maskChanged(changed);
    maskPainted(changed);
}

void KSEditDocument::moveSubject(const QRectF &before, const QRectF &after)
{
    const QString text = before.size() == after.size() ? lang("EditMove") : lang("EditResize");
    m_undoStack->push(new KSSubjectPlaceCommand(this, before, after, text));
}

void KSEditDocument::mirrorSubject(bool mirrored)
{
    m_undoStack->push(new KSMirrorCommand(this, mirrored, lang("EditMirror")));
}

void KSEditDocument::chooseBackground(const KSEditBackground &chosen, bool dragging)
{
    const KSEditBackground background = chosen.clamped();
    if (background == m_background)
        return;
    const bool colours = background.kind == KSEditBackground::Kind::colour
        && m_background.kind == KSEditBackground::Kind::colour;
    // A drag right after a save starts a step of its own, so that the saved
    // state stays one undo away.
    m_undoStack->push(new KSBackgroundColorCommand(this, m_background, background,
                                                   dragging && !m_undoStack->isClean(),
                                                   colours ? lang("EditColour") : lang("EditBackground")));
}

bool KSEditDocument::chooseBackgroundPicture(const QString &path, QString *error)
{
    std::optional<KSEditBackground> picture = KSEditBackground::loadPicture(path, error);
    if (!picture) {
        CommLog::E(QStringLiteral("editor: the background picture %1 cannot be used: %2")
                       .arg(path, error ? *error : QString()));
        return false;
    }
    chooseBackground(*picture);
    KSRecentBackgrounds::remember(path);
    return true;
}

void KSEditDocument::chooseShadow(const KSEditShadow &chosen, bool dragging)
{
    const KSEditShadow shadow = chosen.clamped();
    if (shadow == m_shadow)
        return;
    m_undoStack->push(new KSShadowCommand(this, m_shadow, shadow, dragging && !m_undoStack->isClean(),
                                          lang("EditShadow")));
}

void KSEditDocument::finishDrag()
{
    ++m_dragSerial;
}

KSFramingCommand::State KSEditDocument::framed(const KSEditChangeSizeItem &preset, KSFitMode mode, double margin)
{
    KSFramingCommand::State state = framingState();
    state.framing.backgroundSize = QSizeF(double(preset.width), double(preset.height));
    state.framing.preset = preset;
    state.framing.fitMode = mode;
    if (!m_picture || m_subjectBounds.isEmpty())
        return state;
    KSFraming::Input input;
    input.photoSize = QSizeF(m_cutoutSize);
    input.subjectBounds = QRectF(m_subjectBounds);
    input.cutEdges = m_mirrored ? KSSubjectEdges::mirrored(m_cutEdges) : m_cutEdges;
    input.preset = preset;
    input.mode = mode;
    input.margin = margin;
    input.faces = m_faces;
    const KSFraming::Result result = KSFraming::frame(input);
    state.framing.notice = result.notice;
    state.subjectRect = result.subjectRect;
    return state;
}

void KSEditDocument::frame(const KSEditChangeSizeItem &preset, KSFitMode mode, const QString &text, double margin)
{
    // The bounds as the touch-ups left them.
    if (m_boundsStale)
        settleSubject();
    const KSFramingCommand::State before = framingState();
    const KSFramingCommand::State after = framed(preset, mode, margin);
    m_framingMargin = margin;
    if (after != before)
        m_undoStack->push(new KSFramingCommand(this, before, after, text));
    m_awaitsFaces = KSFraming::placesHead(preset, mode) && !m_faces && m_picture && !m_subjectBounds.isEmpty();
}

void KSEditDocument::reframeWithFaces()
{
    if (!m_awaitsFaces || !m_faces)
        return;
    const KSFramingCommand::State before = framingState();
    const KSFramingCommand::State after = framed(m_framing.preset, m_framing.fitMode, m_framingMargin);
    m_awaitsFaces = false;
    if (after != before)
        m_undoStack->push(new KSFramingCommand(this, before, after, lang("EditFraming"), true));
}

void KSEditDocument::recordMaskEdit(KSMaskEdit edit, const QString &text)
{
    if (edit.isEmpty())
        return;
    m_undoStack->push(new KSMaskEditCommand(this, std::move(edit), text));
}

KSOutputRender::Request KSEditDocument::renderRequest(int maxSide) const
{
    KSOutputRender::Request request;
    request.imageSize = QSizeF(m_cutoutSize);
    request.subjectRect = m_subjectRect;
    // Under a picture or the backdrop: an opaque colour they cover, so that
    // the output's format and alpha are those of an opaque background.
    request.backgroundColor = m_background.kind == KSEditBackground::Kind::colour ? m_background.colour
                                                                                   : KSRGBHexColor(0xFFFFFF);
    request.background = m_background;
    request.shadow = m_shadow;
    request.subjectBounds = m_subjectBounds;
    // Until the photo's colours arrive the colours hold nothing where the
    // cut-out was clear: the backdrop then stays white rather than show that.
    if (m_background.kind == KSEditBackground::Kind::blurredPhoto && m_picture && m_hasPhotoColours) {
        // Copies that share the pixels: an edit made meanwhile does not reach them.
        request.photoColours = m_picture->colours();
        request.photoMask = m_picture->mask();
    }
    request.backgroundSize = m_framing.hasSize() ? m_framing.backgroundSize : QSizeF(0, 0);
    request.maxSide = maxSide;
    request.isMirrorImage = m_mirrored;
    // The chosen preset's printed size, while the frame is that preset's.
    if (m_framing.preset.hasPrintSize() && m_framing.hasSize() && m_framing.showsPreset())
        request.printSizeMm = m_framing.preset.printSizeMm;
    return request;
}

std::function<QImage()> KSEditDocument::subjectMaker() const
{
    if (!m_picture)
        return {};
    return [colours = m_picture->colours(), mask = m_picture->mask(), bounds = m_subjectBounds] {
        return KSMaskedPicture::subjectImage(colours, mask, bounds);
    };
}

KSOutputRender::SubjectRegion KSEditDocument::subjectRegionMaker() const
{
    if (!m_picture)
        return {};
    return [colours = m_picture->colours(), mask = m_picture->mask(), bounds = m_subjectBounds](const QRect &rect) {
        return KSMaskedPicture::composeRegion(colours, mask, rect.translated(bounds.topLeft()).intersected(bounds));
    };
}
