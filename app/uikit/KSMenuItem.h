#pragma once

#include "KSTargetAction.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

class KSMenu;

// One row of a KSMenu: a title (and optional picture) whose colours follow
// the pointer, and an action that receives the item, so that one handler
// can serve a whole menu by reading the item's tag.
class KSMenuItem : public QWidget
{
    Q_OBJECT

public:
    using Action = KSTargetAction<KSMenuItem>::Action;

    explicit KSMenuItem(QWidget *parent = nullptr);
    // A fresh item for KSMenu::addItem, which takes ownership.
    [[nodiscard]] static KSMenuItem *NewMenuItem();

    void setTitle(const QString &title);
    QString title() const { return m_title; }
    void setImage(const QPixmap &image);
    void setTitleColor(const QColor &color);
    void setTitleHoverColor(const QColor &color);
    void setTitleDownColor(const QColor &color);
    // No hover background unless one is set.
    void setHoverBackgroundColor(const QColor &color);

    void setTag(int tag) { m_tag = tag; }
    int tag() const { return m_tag; }

    // Once a target is set the action runs only while the target is alive.
    void setTarget(QObject *target);
    void setAction(Action action);

    bool isHovered() const { return m_hover; }
    // Width the row needs for its picture and title in the menu's font.
    int naturalWidth() const;

signals:
    // Released inside: the menu closes and then runs the action.
    void chosen(KSMenuItem *item);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    friend class KSMenu;
    void setHovered(bool hover);
    void setIconTitleOffset(double offset);
    void sendAction();
    double titleX() const;

    QString m_title;
    QPixmap m_image;
    QColor m_titleColor;
    QColor m_titleHoverColor;
    QColor m_titleDownColor;
    QColor m_hoverBackground;
    int m_tag = 0;
    double m_iconTitleOffset = 6.0;
    bool m_hover = false;
    bool m_down = false;
    KSTargetAction<KSMenuItem> m_targetAction;
};
