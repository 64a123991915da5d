#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class KSEditChangeSizeTabelCellView;
}

class KSColorView;
class QLabel;
struct KSEditChangeSizeItem;

// A row of the size table: the preset's name, its description under it,
// framed in accent green while it is the chosen preset.
class KSEditChangeSizeTabelCellView : public QWidget
{
    Q_OBJECT

public:
    explicit KSEditChangeSizeTabelCellView(QWidget *parent = nullptr);
    ~KSEditChangeSizeTabelCellView() override;

    // Shows the item; the description line only when it has one.
    void configure(const KSEditChangeSizeItem &item, bool selected);

    void setIsSelected(bool selected);
    bool isSelected() const { return m_isSelected; }

    KSColorView *backgroudView() const;
    QLabel *titleLbl() const;
    QLabel *tipLbl() const;

private:
    std::unique_ptr<Ui::KSEditChangeSizeTabelCellView> m_ui;
    bool m_isSelected = false;
};
