#pragma once

#include "KSColor.h"
#include "KSColorView.h"
#include "KSEditChangeBackgroundItem.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class KSEditChangeBackgroundView;
}

class KSEditChangeBackgroundCollectionItem;
class KSHoverButton;
class QColorDialog;
class QScrollArea;

// The editor's background colour panel: transparent, nine preset colours
// and "More", which opens the shared colour dialog beside the editor's
// window. Every choice is reported through returnClosure; the dialog's
// changes are reported as they happen, and its Cancel (or Escape) reports
// the colour from before it opened again. The editor makes a new panel at
// each opening.
class KSEditChangeBackgroundView : public KSColorView
{
    Q_OBJECT

public:
    explicit KSEditChangeBackgroundView(QWidget *parent = nullptr);
    ~KSEditChangeBackgroundView() override;

    // The chosen colour: a preset, the clear colour for transparent, or the
    // colour dialog's colour with its alpha.
    std::function<void(const KSColor &color)> returnClosure;

    // The presets in display order, titles in the current language.
    [[nodiscard]] static QList<KSEditChangeBackgroundItem> presetItems();
    // The cell to mark for the background the editor already has: 0 for
    // the clear colour and for no colour, the first preset of that colour,
    // and "More" for a colour no preset equals.
    [[nodiscard]] static int preselectedIndex(const std::optional<KSColor> &color);

    // Where the colour dialog goes: beside the window on the screen (right,
    // else left), never over the preview in the window's middle when there
    // is room; else at the screen's left edge, over the tool column.
    [[nodiscard]] static QPoint colorDialogPosition(const QRect &screen, const QRect &window, const QSize &dialog);

    // Inside the background panel, which has the heading: the grid alone,
    // without margins or fill of its own.
    void setEmbedded();

    // Remembers the editor's current colour and marks its cell.
    void setDefaultColor(const std::optional<KSColor> &color);
    std::optional<KSColor> defaultColor() const { return m_defaultColor; }

    // Marks a cell without reporting anything.
    void setSelectedIndex(int index);
    int selectedIndex() const { return m_selectedIndex; }

    const QList<KSEditChangeBackgroundItem> &dataArray() const { return m_dataArray; }
    int numberOfItems() const { return int(m_dataArray.size()); }
    // Reconfigures every cell from dataArray and selectedIndex.
    void reloadData();
    // The cell of a preset; nullptr for an index outside the grid.
    KSEditChangeBackgroundCollectionItem *itemAtIndex(int index) const;

    // Choose handler of the cells: marks preset n and applies it. Choosing
    // "More" opens the colour dialog and reports only its later changes.
    void chooseItemAtIndex(int n);

    // The colour the editor shows now, as far as the panel knows: the
    // default colour until a choice reported another.
    std::optional<KSColor> appliedColor() const { return m_appliedColor; }

    KSHoverButton *colorBtn() const;
    QScrollArea *collectionView() const;

    // The application's one colour dialog, made on first use, with OK and
    // Cancel; it outlives the panels. Each change of its colour is posted as
    // kNotificationColorPanelColorDidChange with the colour (a QColor,
    // alpha included) as the object.
    static QColorDialog *sharedColorPanel();
    static inline const QString kNotificationColorPanelColorDidChange =
        QStringLiteral("kNotificationColorPanelColorDidChange");

protected:
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutCollection();
    void showColorPanel();
    void colorPanelDidChange(const QColor &color);
    void colorPanelCancelled();
    void moveSelection(int index);
    void apply(const KSColor &color);
    // "More" shows the colour of the dialog while that colour is applied.
    void showChosenColour();

    std::unique_ptr<Ui::KSEditChangeBackgroundView> m_ui;
    QList<KSEditChangeBackgroundItem> m_dataArray;
    QList<KSEditChangeBackgroundCollectionItem *> m_cells;
    std::optional<KSColor> m_defaultColor;
    std::optional<KSColor> m_appliedColor;
    KSColor m_colorBeforeDialog;
    int m_selectedIndex = 0;
    bool m_observesColorPanel = false;
    // Set while the panel itself gives the dialog its starting colour.
    bool m_settingDialogColor = false;
};
