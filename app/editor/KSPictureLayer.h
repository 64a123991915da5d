#pragma once

#include "KSMaskedPicture.h"

#include <QRectF>
#include <QWidget>
#include <memory>

// A layer over a canvas area that shows part of the editable picture
// stretched over the whole layer: the photograph (the "before" of a
// before/after), or the subject as the brushes edit it, with the photograph
// faintly beneath if asked. Only what is exposed is drawn. It takes no
// mouse events: they belong to the canvas.
class KSPictureLayer : public QWidget
{
    Q_OBJECT

public:
    explicit KSPictureLayer(QWidget *parent = nullptr);

    void setPicture(const std::shared_ptr<KSMaskedPicture> &picture);
    const std::shared_ptr<KSMaskedPicture> &picture() const { return m_picture; }

    // The part of the picture, in its pixels, that the layer shows.
    void setSource(const QRectF &source);
    QRectF source() const { return m_source; }

    void setLayer(KSMaskedPicture::Layer layer);
    KSMaskedPicture::Layer layer() const { return m_layer; }

    // The photograph drawn beneath the subject at this opacity (0: none).
    void setGhostOpacity(double opacity);

    // Between picture pixels and this layer's points.
    [[nodiscard]] QRectF toLayer(const QRectF &pictureRect) const;
    [[nodiscard]] QPointF toPicture(const QPointF &layerPoint) const;
    // Redraws where the picture's pixels `pictureRect` are shown.
    void updatePictureRect(const QRect &pictureRect);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<KSMaskedPicture> m_picture;
    QRectF m_source;
    KSMaskedPicture::Layer m_layer = KSMaskedPicture::Layer::photo;
    double m_ghostOpacity = 0.0;
};
