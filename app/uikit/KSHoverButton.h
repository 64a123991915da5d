#pragma once

#include "KSTargetAction.h"

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

class KSTextField;

// A flat button whose colours, picture and border follow the pointer: the
// hover look while the pointer is inside (or while selected), the down look
// while pressed. Every hover or down setting that is left unset falls back
// to the look below it (down -> hover -> normal). The action is sent on
// release inside, like clicked().
class KSHoverButton : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Look { Normal, Hover, Down };
    enum class ImagePosition { Left, Above };
    using Action = KSTargetAction<KSHoverButton>::Action;

    explicit KSHoverButton(QWidget *parent = nullptr);
    ~KSHoverButton() override;

    void setTitle(const QString &title);
    QString title() const;
    // The title's own font; setFont() sets the button's, which the title
    // follows until a title font is set.
    void setTitleFont(const QFont &font);
    void setTitleColor(const QColor &color);
    void setTitleHoverColor(const QColor &color);
    void setTitleDownColor(const QColor &color);

    // Unset backgrounds are transparent.
    void setBackgroundColor(const QColor &color);
    void setBackgroundHoverColor(const QColor &color);
    void setBackgroundDownColor(const QColor &color);

    // Pictures are drawn at their own size, scaled down only when the button
    // is too small for them.
    void setImage(const QPixmap &image);
    void setHoverImage(const QPixmap &image);
    void setDownImage(const QPixmap &image);
    void setImagePosition(ImagePosition position);

    // Corner radius of the background and the border.
    void setBorderRadius(double radius);
    void setHasBorder(bool hasBorder);
    void setBorderColor(const QColor &color);
    void setBorderHoverColor(const QColor &color);
    void setBorderDownColor(const QColor &color);
    void setBorderLineWith(double width);
    // Space between picture and title (below the picture when it is above).
    void setXOffsetBetweenIconTitle(double offset);

    // A selected button keeps its hover look, for toggles and groups.
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    // The action runs on every click. Once a target is set, it runs only
    // while that target is alive, so a button never calls into a freed view.
    void setTarget(QObject *target);
    void setAction(Action action);

    // The title field, for measuring: textFiled()->sizeThatFits(bounds).
    KSTextField *textFiled() const { return m_titleField; }

    Look currentLook() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    template<typename T> struct Triple { T normal, hover, down; };
    template<typename T> static const T &pick(const Triple<T> &values, Look look, bool (*isSet)(const T &));

    void sendAction();
    void refreshLook();
    void relayout();
    QPixmap currentImage() const;
    QSizeF imageSize(const QSizeF &room) const;

    KSTextField *m_titleField = nullptr;
    Triple<QColor> m_titleColors;
    Triple<QColor> m_backgroundColors;
    Triple<QColor> m_borderColors;
    Triple<QPixmap> m_images;
    ImagePosition m_imagePosition = ImagePosition::Left;
    double m_borderRadius = 0.0;
    double m_borderWidth = 1.0;
    double m_spacing = 4.0;
    bool m_hasBorder = false;
    bool m_hover = false;
    bool m_selected = false;
    KSTargetAction<KSHoverButton> m_targetAction;
    Look m_appliedLook = Look::Normal;
    QRectF m_imageRect;
};
