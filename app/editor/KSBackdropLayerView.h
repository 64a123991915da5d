#pragma once

#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <optional>

class KSBackdropPreview;

// What a canvas shows behind the subject beyond its colour: the backdrop
// (a picture, or the photo's own backdrop blurred) and the shadow, made by
// the document's preview at this layer's device pixels. It lies over the
// part of the canvas area on screen, beneath the subject, and takes no
// mouse events. Transparent where the preview has nothing.
class KSBackdropLayerView : public QWidget
{
    Q_OBJECT

public:
    explicit KSBackdropLayerView(QWidget *parent = nullptr);

    void setPreview(KSBackdropPreview *preview);
    // The part of the canvas this layer shows, in the document's (cut-out)
    // pixels.
    void setView(const QRectF &view);
    [[nodiscard]] QRectF view() const { return m_view; }
    // Where the subject is while the user drags it (document pixels); none
    // once the document has it.
    void setDraggedSubject(const std::optional<QRectF> &subjectRect);

    // Whether the last painting drew anything: a backdrop or a shadow.
    [[nodiscard]] bool drewLayers() const { return m_drewLayers; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<KSBackdropPreview> m_preview;
    QRectF m_view;
    std::optional<QRectF> m_draggedSubject;
    bool m_drewLayers = false;
};
