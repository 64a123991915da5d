#pragma once

#include <QRectF>
#include <QWidget>
#include <optional>

// The size frame over the crop view's canvas area: everything outside
// maskFrame is dimmed, and maskFrame is outlined in white. Lies above the
// subject and lets the mouse through to the crop view.
class KSEditBorderView : public QWidget
{
    Q_OBJECT

public:
    // The dimming: black at 0.7 within a layer at half opacity.
    static constexpr double kDimmingAlpha = 0.5 * 0.7;

    explicit KSEditBorderView(QWidget *parent = nullptr);

    // In this view's coordinates; none draws no frame and dims everything.
    std::optional<QRectF> maskFrame() const { return m_maskFrame; }
    void setMaskFrame(const std::optional<QRectF> &frame) { m_maskFrame = frame; }

    // Redraws after maskFrame changed.
    void updateMask();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<QRectF> m_maskFrame;
};
