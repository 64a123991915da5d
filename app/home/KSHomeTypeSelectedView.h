#pragma once

#include "KSColorView.h"

#include <functional>
#include <memory>

namespace Ui {
class KSHomeTypeSelectedView;
}

class KSHoverButton;
class QLabel;

// One card of the home screen: a title, a large picture button that picks
// a photo, a call to action and a short explanation. The whole card is one
// target: a click anywhere on it, or Enter or Space while it has the focus,
// sends the action, and it shows the hover look (a green edge and the
// picture's hover image) under the pointer, and a thin edge while it has the
// keyboard's focus.
class KSHomeTypeSelectedView : public KSColorView
{
    Q_OBJECT

public:
    explicit KSHomeTypeSelectedView(QWidget *parent = nullptr);
    ~KSHomeTypeSelectedView() override;

    // Texts are shown as given; the picture is imageBaseName + "Normal",
    // with imageBaseName + "Hover" both under the pointer and pressed.
    void configure(const QString &title, const QString &callToAction, const QString &explanation,
                   const QString &imageBaseName);

    // The action of the picture button.
    void actionForEraserBtnWithSender(QObject *sender = nullptr);

    QLabel *topTitle() const;
    KSHoverButton *button() const;
    QLabel *titleLabelFirst() const;
    QLabel *titleLabelSecond() const;

    std::function<void()> actionClosure;

    // Whether the card shows its hover look now.
    bool isHighlighted() const { return m_hovered || m_pressed; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void fitExplanation();
    void refreshLook();

    std::unique_ptr<Ui::KSHomeTypeSelectedView> m_ui;
    QString m_explanation;
    bool m_hovered = false;
    bool m_pressed = false;
    bool m_keyboardFocus = false;
};
