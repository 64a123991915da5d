#pragma once

#include "KSColorView.h"
#include "KSEditChangeSizeList.h"
#include "KSFraming.h"

#include <QList>
#include <QSizeF>
#include <functional>
#include <memory>

namespace Ui {
class KSEditChangeSizeView;
}

class KSEditChangeSizeTabelCellView;
class KSEditSizeOptionsView;
class KSHoverButton;
class QTableWidget;

// The editor's size panel: the groups of KSSizePresets (regular,
// certificate-photo and e-business sizes); the chosen preset is reported in pixels. The editor makes
// it once and keeps it, so the shown group and the chosen preset survive
// closing and reopening the panel. Below the table: the fit mode, the
// framing notice, the custom size's fields and the print sheet
// (KSEditSizeOptionsView).
class KSEditChangeSizeView : public KSColorView
{
    Q_OBJECT

public:
    explicit KSEditChangeSizeView(QWidget *parent = nullptr);
    ~KSEditChangeSizeView() override;

    // The chosen preset's size in pixels; (0, 0) is the source size. Also
    // called when the chosen custom size is edited.
    std::function<void(double width, double height)> returnClosure;

    // The chosen preset, as chosen (with its key, printed size and rule);
    // the first regular one until a row is chosen.
    KSEditChangeSizeItem chosenItem() const;
    // Chooses the preset of this key as a click on its row does (shows its
    // group, reports it); false for a key no row has. For restoring a framing.
    bool choosePreset(const QString &key);

    // The row a reported size stands for: the chosen row when the size is
    // its own, else a plain size without key (the custom size as typed).
    [[nodiscard]] static KSEditChangeSizeItem itemForSize(const KSEditChangeSizeItem &chosen, const QSizeF &size);

    KSFitMode fitMode() const;
    // Marks the mode without reporting it.
    void setFitMode(KSFitMode mode);
    KSEditSizeOptionsView *optionsView() const { return m_optionsView; }

    // The width in points that the panel needs; the editor gives it to
    // the panel host at each opening.
    int calculativeWidth();

    // The group buttons' action: shows the presets of the pressed group.
    void actionForList(KSHoverButton *sender);

    int numberOfRowsInTableView() const;
    int heightOfRow(int row) const;
    // The configured cell of a row of the shown group (reused when present).
    KSEditChangeSizeTabelCellView *viewForRow(int row);
    // A row of the shown group was chosen: marks it and reports its size.
    void tableViewSelectionDidChange(int row);
    void reloadData();
    // Marks the preset of this key, with its options, without reporting
    // it: the size came back by an undo or a redo. An unknown key (a size no
    // row gave) leaves the marks as they are.
    void markPreset(const QString &key);

    const QList<KSEditChangeSizeList> &dataArray() const { return m_dataArray; }
    int chooseList() const { return m_chooseList; }
    int selectList() const { return m_selectList; }
    int selectItem() const { return m_selectItem; }

    QWidget *selectionView() const;
    KSHoverButton *regularBtn() const;
    KSHoverButton *certificateBtn() const;
    KSHoverButton *eBusinessBtn() const;
    QTableWidget *tableView() const;

private:
    QList<KSHoverButton *> groupButtons() const;

    void customSizeChanged();

    std::unique_ptr<Ui::KSEditChangeSizeView> m_ui;
    KSEditSizeOptionsView *m_optionsView = nullptr;
    QList<KSEditChangeSizeList> m_dataArray;
    int m_chooseList = 0;
    int m_selectList = 0;
    int m_selectItem = 0;
};
