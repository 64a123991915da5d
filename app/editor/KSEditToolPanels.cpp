#include "KSEditToolPanels.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSEditBackgroundPanel.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
#include "KSEditDocument.h"
#include "KSEditLayout.h"
#include "KSEditSizeOptionsView.h"
#include "KSEidtCutImageView.h"
#include "KSHoverButton.h"
#include "KSLogCategories.h"
#include "KSNibLoadable.h"
#include "KSTouchUpBrush.h"
#include "KSTouchUpPanel.h"

#include <QLayout>
#include <QWidget>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

KSEditToolPanels::KSEditToolPanels(QWidget *host, const Buttons &buttons, KSEditDocument *document,
                                   KSEditLayout *layout, KSEidtCutImageView *crop, QObject *parent)
    : QObject(parent), m_host(host), m_buttons(buttons), m_document(document), m_layout(layout), m_crop(crop)
{
    connect(document, &KSEditDocument::framingChanged, this, &KSEditToolPanels::showFraming);
    connect(document, &KSEditDocument::facesFound, this, [this] {
        // The size the user chose, framed again with the faces.
        if (openTool() == Tool::size && m_layout->isPanelLayout())
            m_document->reframeWithFaces();
    });
}

KSEditToolPanels::Tool KSEditToolPanels::openTool() const
{
    if (m_buttons.touchUp->isSelected())
        return Tool::touchUp;
    if (m_buttons.size->isSelected())
        return Tool::size;
    return m_buttons.colour->isSelected() ? Tool::colour : Tool::none;
}

void KSEditToolPanels::setHostWidth(int width)
{
    m_host->setFixedWidth(width);
}

void KSEditToolPanels::clearHost(QWidget *keep)
{
    QLayout *host = m_host->layout();
    const QList<QWidget *> panels = m_host->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *panel : panels) {
        if (panel == keep)
            continue;
        host->removeWidget(panel);
        panel->hide();
        // The size and touch-up panels are kept for their next opening; the
        // colour panel is made anew.
        if (panel != m_sizePanel && panel != m_touchUpPanel)
            panel->deleteLater();
    }
}

void KSEditToolPanels::showInHost(QWidget *panel)
{
    m_host->layout()->addWidget(panel);
    panel->show();
}

void KSEditToolPanels::toggle(Tool tool)
{
    KSHoverButton *pressed = tool == Tool::colour ? m_buttons.colour
                             : tool == Tool::size ? m_buttons.size
                                                  : m_buttons.touchUp;
    const bool select = !pressed->isSelected();
    // The touch-up mode ends before any other layout is built.
    if (openTool() == Tool::touchUp)
        setCropChangeType(KSChangeType::none);
    for (KSHoverButton *button : {m_buttons.colour, m_buttons.size, m_buttons.touchUp})
        button->setSelected(button == pressed && select);
    if (!pressed->isSelected())
        closePanel();
    else if (tool == Tool::colour)
        openColourPanel();
    else if (tool == Tool::size)
        openSizePanel();
    else
        openTouchUpPanel();
}

bool KSEditToolPanels::closeOpenPanel()
{
    if (!m_layout->isPanelLayout())
        return false;
    for (KSHoverButton *button : {m_buttons.colour, m_buttons.size, m_buttons.touchUp})
        button->setSelected(false);
    closePanel();
    return true;
}

void KSEditToolPanels::closePanel()
{
    setHostWidth(0);
    clearHost();
    setCropChangeType(KSChangeType::none);
    m_layout->showCompare();
    m_layout->showResult();
}

void KSEditToolPanels::setCropChangeType(KSChangeType type)
{
    const bool touchUp = type == KSChangeType::touchUp;
    m_crop->setChangeType(type);
    // Strokes change the subject's bounds once the tool is left.
    m_document->setDefersSubjectBounds(touchUp);
    m_layout->setWatermarkAllowed(!touchUp);
}

void KSEditToolPanels::openColourPanel()
{
    setHostWidth(kColourPanelWidth);
    m_layout->showPanel();
    setCropChangeType(KSChangeType::background);

    // The panel follows the document itself: it marks the background the
    // subject has, and its choices are the document's edits.
    auto *panel = new KSEditBackgroundPanel(m_document);
    clearHost();
    showInHost(panel);
    m_colourPanel = panel;
    m_layout->showResult();
}

KSEditChangeSizeView *KSEditToolPanels::sizePanel()
{
    if (m_sizePanelTried)
        return m_sizePanel;
    m_sizePanelTried = true;
    m_sizePanel = loadViewFromNib<KSEditChangeSizeView>(m_host);
    if (!m_sizePanel) {
        CommLog::E(QStringLiteral("editor: the size panel cannot be built"));
        return nullptr;
    }
    m_sizePanel->hide();
    m_sizePanel->setFitMode(KSFraming::storedFitMode());
    m_sizePanel->returnClosure = [this](double width, double height) {
        qCDebug(lcEditor).noquote() << QStringLiteral("showChangeSizeView size = %1 x %2").arg(width).arg(height);
        m_document->frame(KSEditChangeSizeView::itemForSize(m_sizePanel->chosenItem(), QSizeF(width, height)), m_sizePanel->fitMode(),
                          lang("EditSize"));
    };
    m_sizePanel->optionsView()->fitModeClosure = [this](KSFitMode mode) {
        KSFraming::storeFitMode(mode);
        const QSizeF size = m_document->framing().backgroundSize;
        m_document->frame(KSEditChangeSizeView::itemForSize(m_sizePanel->chosenItem(), size), mode, lang("EditFraming"));
    };
    m_sizePanel->optionsView()->printSheetClosure = [this](KSPrintSheet::Paper paper) {
        emit printSheetRequested(paper);
    };
    return m_sizePanel;
}

void KSEditToolPanels::openSizePanel()
{
    KSEditChangeSizeView *panel = sizePanel();
    if (!panel)
        return;
    setHostWidth(panel->calculativeWidth());
    m_layout->showPanel();
    m_layout->showCropView();
    setCropChangeType(KSChangeType::size);
    clearHost(panel);
    showInHost(panel);
    // The size frame shows from the first moment the panel is open.
    m_crop->updateCanvasLayout();
    m_layout->updateGuides(true);
    m_layout->placeWatermark();
}

void KSEditToolPanels::openTouchUpPanel()
{
    if (!m_touchUpPanel) {
        m_touchUpPanel = loadViewFromNib<KSTouchUpPanel>(m_host);
        if (!m_touchUpPanel) {
            CommLog::E(QStringLiteral("editor: the touch-up panel cannot be built"));
            return;
        }
        m_touchUpPanel->hide();
        m_touchUpPanel->returnClosure = [this](const KSBrushSettings &settings) { m_crop->setBrushSettings(settings); };
    }
    setHostWidth(KSTouchUpPanel::kPanelWidth);
    m_layout->showPanel();
    m_layout->showCropView();
    m_crop->setBrushSettings(m_touchUpPanel->settings());
    setCropChangeType(KSChangeType::touchUp);
    clearHost(m_touchUpPanel);
    showInHost(m_touchUpPanel);
    m_crop->updateCanvasLayout();
    m_layout->placeWatermark();
}

bool KSEditToolPanels::setFraming(KSFitMode mode, const QString &presetKey)
{
    KSEditChangeSizeView *panel = sizePanel();
    if (!panel)
        return false;
    const KSFitMode before = panel->fitMode();
    panel->setFitMode(mode);
    if (panel->choosePreset(presetKey))
        return true;
    panel->setFitMode(before);
    return false;
}

void KSEditToolPanels::showFraming()
{
    const KSEditFraming &framing = m_document->framing();
    if (m_sizePanel) {
        if (m_sizePanel->fitMode() != framing.fitMode)
            m_sizePanel->setFitMode(framing.fitMode);
        const QString key = framing.presetKey();
        if (!key.isEmpty() && m_sizePanel->chosenItem().key != key)
            m_sizePanel->markPreset(key);
        m_sizePanel->optionsView()->setNotice(KSFraming::noticeText(framing.notice));
    }
    // The size panel and the touch-up tool show the crop view itself.
    const Tool tool = openTool();
    if (!m_layout->isPanelLayout() || tool == Tool::colour || tool == Tool::none)
        m_layout->showResult();
    else if (tool == Tool::size)
        m_layout->updateGuides(true);
}

KSEditBackgroundPanel *KSEditToolPanels::backgroundPanel() const
{
    return m_colourPanel;
}

KSEditChangeBackgroundView *KSEditToolPanels::colourPanel() const
{
    return m_colourPanel ? m_colourPanel->colourPage() : nullptr;
}
