#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QWidget>

class KSMenuItem;
class QVBoxLayout;

// A styled popup menu attached to a view. Create it with `new KSMenu`,
// configure it, add items and pop it: it deletes itself when it closes.
class KSMenu : public QWidget
{
    Q_OBJECT

public:
    // Which side of the view the menu joins.
    enum JoinDirection { JoinAbove = 0, JoinBelow = 1, JoinLeft = 2, JoinRight = 3 };
    // How the menu lines up with the view across the join: the left (top)
    // edges, the centres, or the right (bottom) edges.
    enum Alignment { AlignStart = 0, AlignCenter = 1, AlignEnd = 2 };

    explicit KSMenu(QWidget *parent = nullptr);

    void setRadius(double radius);
    void setRowHeight(int height);
    void setBackgroundColor(const QColor &color);
    void setItemFont(const QFont &font);
    void setXOffsetBetweenIconTitle(double offset);
    // A fixed width; 0 (the default) sizes the menu to its widest item.
    void setMenuWidth(int width);

    void addItem(KSMenuItem *item);
    QList<KSMenuItem *> items() const { return m_items; }

    // Shows the menu next to `view`. Along the join, `offset` is the gap
    // away from the view (offset.y below or above, offset.x left or right);
    // across it, the menu moves left (or up) by the other component, so that
    // offset (menu width - view width, gap) ends a wide menu at the view's
    // right edge. A menu that does not fit on the screen opens on the
    // opposite side and is then pushed inside the screen.
    void popMenuToView(QWidget *view, const QPoint &offset, int joinDirection);
    void popMenuToView(QWidget *view, const QPoint &offset, int joinDirection, int alignment);

    // The placement rule of popMenuToView, in global coordinates.
    [[nodiscard]] static QRect menuGeometry(const QRect &anchor, const QSize &menuSize, const QPoint &offset,
                                            int joinDirection, int alignment, const QRect &screen);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();
    void choose(KSMenuItem *item);
    void moveHover(int step);

    QVBoxLayout *m_layout = nullptr;
    QList<KSMenuItem *> m_items;
    QColor m_background = Qt::white;
    QFont m_itemFont;
    double m_radius = 4.0;
    double m_iconTitleOffset = 6.0;
    int m_rowHeight = 30;
    int m_fixedWidth = 0;
};
