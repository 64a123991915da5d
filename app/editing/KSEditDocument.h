#pragma once

#include "KSEditBackground.h"
#include "KSEditFraming.h"
#include "KSEditShadow.h"
#include "KSFaceFinder.h"
#include "KSFramingCommand.h"
#include "KSMaskEdit.h"
#include "KSOutputRender.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class KSMaskedPicture;
class QUndoStack;

// One photo being edited: the cut-out taken apart into colours and an
// editable mask, where the subject sits, whether it is mirrored, what lies
// behind it, the frame it is shown in, the faces found in it, and the undo
// history of all of these. No widgets: the editor's canvases and panels
// observe its signals, the command line builds one to render, and tests
// drive it alone.
//
// Coordinates: the subject's rectangle is in cut-out pixels, origin
// top-left: where the subject's visible bounds are drawn on the cut-out's
// own canvas. The result canvas is the background size fitted into the
// cut-out and centred (resultCanvasRect()).
//
// The set* functions put a state on the document without recording it; the
// edits (moveSubject(), mirrorSubject(), ...) push a command that does so.
// Main thread.
class KSEditDocument : public QObject
{
    Q_OBJECT

public:
    // The largest side of the reduced copy of the subject the canvases show.
    static constexpr int kMaxReducedSide = 500;

    explicit KSEditDocument(QObject *parent = nullptr);
    ~KSEditDocument() override;

    // ---- the picture
    // Takes the cut-out apart; the subject starts where it lies in it. False,
    // with the reason, for a null picture or one too large for memory. A
    // cut-out handed over (moved) becomes the colours without a copy.
    bool setCutout(QImage cutout, QString *error = nullptr);
    // setCutout() of the picture in a file.
    bool loadCutout(const QString &path, QString *error = nullptr);
    [[nodiscard]] bool isLoaded() const { return bool(m_picture); }
    // The cut-out file the document was loaded from; empty for a picture given.
    [[nodiscard]] QString cutoutPath() const { return m_cutoutPath; }
    // The cut-out's size in pixels; empty before loading.
    [[nodiscard]] QSize cutoutSize() const { return m_cutoutSize; }
    [[nodiscard]] const std::shared_ptr<KSMaskedPicture> &picture() const { return m_picture; }

    // Fills the colours where the cut-out was clear from the photograph, read
    // on a worker thread, so that a touch-up can bring back what the cut-out
    // lost and the blurred backdrop shows the photo; maskChanged() over the
    // whole picture and photoColoursLoaded() when done.
    void loadPhotoColours(const QString &photoPath);
    // The same on the calling thread (the document's own), for a document
    // made to be rendered at once; false when the photo cannot be read,
    // which leaves the colours as they were.
    bool mergePhotoColours(const QString &photoPath);
    // The same with the photograph in memory, at once (the command line).
    void setPhotoColours(const QImage &photo);
    // Whether the colours hold the photograph everywhere.
    [[nodiscard]] bool hasPhotoColours() const { return m_hasPhotoColours; }
    // Looks for faces in the cut-out on a worker thread; facesFound() then.
    void startFaceSearch();

    // The subject's visible bounds in the cut-out. Recomputed after mask
    // edits, except while deferred (a touch-up session): then at
    // settleSubject() or when the deferral ends.
    [[nodiscard]] QRect subjectBounds() const { return m_subjectBounds; }
    void setDefersSubjectBounds(bool defers);
    // The subject's sides the photo cut off (KSSubjectEdges), found with the bounds.
    [[nodiscard]] Qt::Edges subjectCutEdges() const { return m_cutEdges; }
    // Brings the bounds and the subject's place up to date with the mask.
    void settleSubject();
    [[nodiscard]] bool subjectIsStale() const { return m_boundsStale; }
    // The subject reduced to fit kMaxReducedSide, premultiplied; made once
    // per change of the bounds or the mask.
    [[nodiscard]] QImage reducedSubject();
    // The factor from the subject's full size to reducedSubject() (0 without a subject).
    [[nodiscard]] double reducedSubjectScale() const;

    // ---- the state
    [[nodiscard]] QRectF subjectRect() const { return m_subjectRect; }
    [[nodiscard]] bool isMirrored() const { return m_mirrored; }
    [[nodiscard]] KSEditBackground background() const { return m_background; }
    [[nodiscard]] KSEditShadow shadow() const { return m_shadow; }
    [[nodiscard]] const KSEditFraming &framing() const { return m_framing; }
    [[nodiscard]] KSFramingCommand::State framingState() const { return {m_framing, m_subjectRect}; }
    [[nodiscard]] const std::optional<KSFaceFinder::Result> &faces() const { return m_faces; }
    void setFaces(const KSFaceFinder::Result &faces);
    // An ID size was framed before the faces were known.
    [[nodiscard]] bool awaitsFaces() const { return m_awaitsFaces; }
    // The background size fitted into the cut-out, centred; the whole
    // cut-out without a size.
    [[nodiscard]] QRectF resultCanvasRect() const;

    void setSubjectRect(const QRectF &rect);
    void setMirrored(bool mirrored);
    void setBackground(const KSEditBackground &background);
    void setShadow(const KSEditShadow &shadow);
    void setFramingState(const KSFramingCommand::State &state);
    // Undo and redo of a stroke: swaps its tiles with the mask.
    void swapMaskEdit(KSMaskEdit &edit);
    // The mask changed inside `rects`: painted by the brush, or swapped.
    void maskPainted(const QList<QRect> &rects);

    // ---- the edits, each one step of the history
    // `before` and `after` in cut-out pixels; the document takes `after`.
    void moveSubject(const QRectF &before, const QRectF &after);
    void mirrorSubject(bool mirrored);
    // The colour dialog and a slider report every step of a drag:
    // `dragging` joins the steps of one drag into one step of the history,
    // until finishDrag(). Any kind of background.
    void chooseBackground(const KSEditBackground &background, bool dragging = false);
    // A picture in a file as the background, covering the frame, kept among
    // the recent ones (KSRecentBackgrounds). False, with the reason in
    // English, when it cannot be read: the background stays. Reads on the
    // calling thread; a panel may load with KSEditBackground::loadPicture()
    // on a worker and call chooseBackground().
    bool chooseBackgroundPicture(const QString &path, QString *error = nullptr);
    // As chooseBackground(), for the shadow.
    void chooseShadow(const KSEditShadow &shadow, bool dragging = false);
    // The drag that reported steps (a slider released, a picture moved) is
    // over: the next step starts a step of its own.
    void finishDrag();
    // Frames the subject for a size (a preset row, or any size given as a
    // row without key) in a fit mode; nothing is recorded when nothing
    // changes. `margin` is the share of the frame left around a whole subject.
    void frame(const KSEditChangeSizeItem &preset, KSFitMode mode, const QString &text,
               double margin = KSFraming::kDefaultMargin);
    // The same framing again, now that the faces are known; joins the step
    // that framed it when that is the last one.
    void reframeWithFaces();
    // A stroke the brush has already painted.
    void recordMaskEdit(KSMaskEdit edit, const QString &text);

    QUndoStack *undoStack() const { return m_undoStack; }
    // Which drag the steps reported now belong to (commands compare it).
    [[nodiscard]] int dragSerial() const { return m_dragSerial; }

    // ---- what a save renders
    // The picture a save writes: the result canvas (or the cut-out's) with
    // the subject, background and frame; the subject itself is made by
    // subjectMaker(). `maxSide` bounds an output without a size.
    [[nodiscard]] KSOutputRender::Request renderRequest(int maxSide) const;
    // Makes the subject as edited, on any thread: it holds copies that share
    // the pixels, so that an edit made meanwhile does not reach them.
    [[nodiscard]] std::function<QImage()> subjectMaker() const;
    // The subject as edited inside a rectangle of its own (origin at its
    // bounds' top-left), premultiplied, on any thread: the subject a band
    // of rows at a time (KSOutputRender::renderOutputBand()).
    [[nodiscard]] KSOutputRender::SubjectRegion subjectRegionMaker() const;

signals:
    // The mask changed inside `region` (cut-out pixels).
    void maskChanged(const QRegion &region);
    // The subject's place, bounds, picture or mirroring changed.
    void subjectChanged();
    void backgroundChanged();
    void shadowChanged();
    // The photograph's colours arrived (loadPhotoColours()).
    void photoColoursLoaded();
    void framingChanged();
    void facesFound();
    // The history's clean state (the last save) was reached or left.
    void cleanChanged(bool clean);

private:
    // Puts colours merged with the photograph on the picture and says so.
    void takePhotoColours(const QImage &merged, const QList<QImage> &photoLevels = {});
    // The size of reducedSubject() for the present bounds.
    [[nodiscard]] QSize reducedSize() const;
    KSFramingCommand::State framed(const KSEditChangeSizeItem &preset, KSFitMode mode, double margin);

    QUndoStack *m_undoStack = nullptr;
    QString m_cutoutPath;
    QSize m_cutoutSize;
    std::shared_ptr<KSMaskedPicture> m_picture;
    QRect m_subjectBounds;
    Qt::Edges m_cutEdges;
    bool m_boundsStale = false;
    bool m_defersBounds = false;
    QImage m_reduced;
    QRectF m_subjectRect;
    bool m_mirrored = false;
    KSEditBackground m_background;
    KSEditShadow m_shadow;
    bool m_hasPhotoColours = false;
    // Steps of one drag share its number; finishDrag() starts another.
    int m_dragSerial = 0;
    KSEditFraming m_framing;
    double m_framingMargin = KSFraming::kDefaultMargin;
    std::optional<KSFaceFinder::Result> m_faces;
    bool m_awaitsFaces = false;
};
