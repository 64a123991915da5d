#pragma once

#include "KSColor.h"
#include "KSColorView.h"
#include "KSEditChangeBackgroundItem.h"

#include <QList>
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
// and "More", which opens the shared colour dialog. Every choice is reported
// through returnClosure; the editor makes a new panel at each opening.
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
    // the clear colour, for no colour and for a colour no preset equals;
    // otherwise the first preset of that colour.
    [[nodiscard]] static int preselectedIndex(const std::optional<KSColor> &color);

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

    KSHoverButton *colorBtn() const;
    QScrollArea *collectionView() const;

    // The application's one colour dialog, made on first use; it outlives
    // the panels and stays open until the user closes it. Each change of its
    // colour is posted as kNotificationColorPanelColorDidChange with the
    // colour (a QColor, alpha included) as the object.
    static QColorDialog *sharedColorPanel();
    static inline const QString kNotificationColorPanelColorDidChange =
        QStringLiteral("kNotificationColorPanelColorDidChange");

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutCollection();
    void showColorPanel();
    void colorPanelDidChange(const QColor &color);
    void moveSelection(int index);

    std::unique_ptr<Ui::KSEditChangeBackgroundView> m_ui;
    QList<KSEditChangeBackgroundItem> m_dataArray;
    QList<KSEditChangeBackgroundCollectionItem *> m_cells;
    std::optional<KSColor> m_defaultColor;
    int m_selectedIndex = 0;
    bool m_observesColorPanel = false;
};
