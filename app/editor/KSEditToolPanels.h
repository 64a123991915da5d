#pragma once

#include "KSFraming.h"
#include "KSPrintSheet.h"

#include <QObject>
#include <QPointer>

class KSEditBackgroundPanel;
class KSEditChangeBackgroundView;
class KSEditChangeSizeView;
class KSEditDocument;
class KSEditLayout;
class KSEidtCutImageView;
class KSHoverButton;
class KSTouchUpPanel;
class QWidget;
enum class KSChangeType : int;

// The panel host beside the centre area and its three tools: the
// background panel (colour, picture, blur, shadow), the size panel and the
// Touch Up tool, each opened and closed by its
// button. A panel's choices become edits of the document; the centre area
// takes the layout the open tool needs.
class KSEditToolPanels : public QObject
{
    Q_OBJECT

public:
    enum class Tool { none, colour, size, touchUp };

    static constexpr int kColourPanelWidth = 360;

    struct Buttons
    {
        KSHoverButton *colour = nullptr;
        KSHoverButton *size = nullptr;
        KSHoverButton *touchUp = nullptr;
    };

    KSEditToolPanels(QWidget *host, const Buttons &buttons, KSEditDocument *document, KSEditLayout *layout,
                     KSEidtCutImageView *crop, QObject *parent = nullptr);

    [[nodiscard]] Tool openTool() const;
    // The tool's button was pressed: opens its panel, or closes it when open.
    void toggle(Tool tool);
    // Escape: closes the open panel; false when none was open.
    bool closeOpenPanel();

    // Made the first time it is needed, then kept; null when it cannot be built.
    KSEditChangeSizeView *sizePanel();
    [[nodiscard]] KSEditChangeSizeView *loadedSizePanel() const { return m_sizePanel; }
    // While it is open: the background panel, and its colour page.
    [[nodiscard]] KSEditBackgroundPanel *backgroundPanel() const;
    [[nodiscard]] KSEditChangeBackgroundView *colourPanel() const;
    // Made the first time the Touch Up tool opens, then kept.
    [[nodiscard]] KSTouchUpPanel *touchUpPanel() const { return m_touchUpPanel; }

    // Chooses a fit mode and a preset as the size panel's clicks do; false
    // for a key no row has (nothing changes then).
    bool setFraming(KSFitMode mode, const QString &presetKey);

signals:
    void printSheetRequested(KSPrintSheet::Paper paper);

private:
    void setHostWidth(int width);
    void clearHost(QWidget *keep = nullptr);
    void showInHost(QWidget *panel);
    void openColourPanel();
    void openSizePanel();
    void openTouchUpPanel();
    void closePanel();
    // The crop view's mode; leaving the touch-up mode shows the edits on
    // the subject.
    void setCropChangeType(KSChangeType type);
    // The document's framing on the size panel: its row, fit mode and notice.
    void showFraming();

    QWidget *m_host;
    Buttons m_buttons;
    KSEditDocument *m_document;
    KSEditLayout *m_layout;
    KSEidtCutImageView *m_crop;
    KSEditChangeSizeView *m_sizePanel = nullptr;
    bool m_sizePanelTried = false;
    QPointer<KSEditBackgroundPanel> m_colourPanel;
    KSTouchUpPanel *m_touchUpPanel = nullptr;
};
