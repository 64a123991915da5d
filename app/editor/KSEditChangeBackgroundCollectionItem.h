#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class KSEditChangeBackgroundCollectionItem;
}

class KSHoverButton;
class QLabel;
struct KSEditChangeBackgroundItem;

// One cell of the colour grid: a swatch with the colour's name under it.
class KSEditChangeBackgroundCollectionItem : public QWidget
{
    Q_OBJECT

public:
    explicit KSEditChangeBackgroundCollectionItem(QWidget *parent = nullptr);
    ~KSEditChangeBackgroundCollectionItem() override;

    // Called with `index` when the user chooses this cell.
    std::function<void(int index)> returnClosure;

    void setIndex(int index) { m_index = index; }
    int index() const { return m_index; }

    // Shows the preset: its title, and the transparent or more-colours
    // picture or its colour filling the swatch.
    void configure(const KSEditChangeBackgroundItem &item);

    // The "More" cell shows the colour chosen in the dialog, over the
    // transparency checkerboard where it is not opaque; an invalid colour
    // brings its own picture back.
    void showChosenColour(const QColor &color);
    // The colour the swatch shows (invalid for a picture).
    QColor chosenColour() const { return m_chosenColour; }

    // The selected style: accent border of 2 points instead of grey 1.
    void setSelected(bool selected);
    bool isSelected() const;

    // The swatch's action: chooses the cell unless it is already selected;
    // "More" is chosen again even then, since it opens the colour dialog.
    void colorBtnClick();

    KSHoverButton *colorBtn() const;
    // The swatch's title, under it.
    QLabel *titleLbl() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshTitleColor();

    std::unique_ptr<Ui::KSEditChangeBackgroundCollectionItem> m_ui;
    int m_index = 0;
    bool m_hovered = false;
    bool m_choosableWhenSelected = false;
    QColor m_chosenColour;
};
