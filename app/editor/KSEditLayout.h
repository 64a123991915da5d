#pragma once

#include <QObject>
#include <QPointer>

class KSEditCanvasView;
class KSEditDocument;
class KSEditImageShowView;
class KSEditResultView;
class KSEidtCutImageView;
class KSIdGuideView;
class QLabel;
class QWidget;

// The editor's centre area: the photograph beside the result (compare), or
// the result alone beside a panel; the result is the crop view, or the
// result canvas while the document has a background size and no tool needs
// the crop view; the watermark over it, and the ID guides.
class KSEditLayout : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCompareViewWidth = 430;
    static constexpr int kCompareViewHeight = 400;
    static constexpr int kPanelCropViewWidth = 600;
    static constexpr int kPanelCropViewHeight = 400;

    struct Views
    {
        QWidget *centre = nullptr;
        QLabel *originalLabel = nullptr;
        QLabel *outputLabel = nullptr;
        KSEditImageShowView *original = nullptr;
        KSEidtCutImageView *crop = nullptr;
        KSEditResultView *result = nullptr;
        QLabel *watermark = nullptr;
    };

    KSEditLayout(const Views &views, KSEditDocument *document, QObject *parent = nullptr);

    [[nodiscard]] bool isPanelLayout() const { return m_panelLayout; }
    // The photograph and the result side by side, with their labels.
    void showCompare();
    // The result alone, larger, beside the panel.
    void showPanel();
    // Places the views for the centre area's size.
    void place();

    // The result canvas in place of the crop view when the document has a
    // size; the crop view otherwise.
    void showResult();
    // The crop view, whatever the size (the size and touch-up tools work on it).
    void showCropView();
    [[nodiscard]] bool resultShown() const;
    // The canvas that shows the result now.
    [[nodiscard]] KSEditCanvasView *activeCanvas() const;

    // The watermark stays off what the brush works on.
    void setWatermarkAllowed(bool allowed);
    void placeWatermark();

    // The ID guide over the size frame, for an ID size framed by its rule,
    // while `sizeTool` is open; hidden otherwise.
    void updateGuides(bool sizeTool);
    [[nodiscard]] KSIdGuideView *cropGuide() const;

private:
    void setLabelsVisible(bool visible);

    Views m_views;
    KSEditDocument *m_document;
    bool m_panelLayout = false;
    bool m_watermarkAllowed = true;
    QPointer<KSIdGuideView> m_cropGuide;
};
