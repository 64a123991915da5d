#pragma once

#include "KSColorView.h"

// A dimmed overlay that covers its host, follows its size and keeps the
// mouse and the keys from reaching anything underneath; the editor's
// dialogs (a save's outcome, the unsaved-edits question) are cards on it.
class KSOverlayView : public KSColorView
{
    Q_OBJECT

public:
    explicit KSOverlayView(QWidget *parent = nullptr);

protected:
    // Covers `host` with `view`, in front, with the keyboard focus.
    static void attachTo(KSOverlayView *view, QWidget *host);
    // Hides the overlay and deletes it once the event on the stack returns.
    void removeFromSuperview();
    // Escape: whatever dismissing means for the dialog.
    virtual void dismiss() {}

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
