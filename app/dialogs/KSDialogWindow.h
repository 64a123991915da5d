#pragma once

#include "KSWindow.h"

#include <QPointer>
#include <functional>

class KSHoverButton;
class QLabel;
class QLineEdit;
class QVBoxLayout;

// The small windows of the application (account, update, feedback, cut-out
// preview): a frameless window in the main window's look with a title and a
// close button only. It deletes itself when closed and, given a parent
// window, stays above it and centred on it.
class KSDialogWindow : public KSWindow
{
    Q_OBJECT

public:
    explicit KSDialogWindow(QWidget *parentWindow = nullptr);

    void setDialogTitle(const QString &title);
    QLabel *dialogTitleLabel() const { return m_titleLabel; }

    // Where subclasses put their content; 24 points of margin all round.
    QVBoxLayout *contentLayout() const { return m_contentLayout; }

    // Sizes the window to its content, centres it on its parent window (or
    // the screen) and brings it to the front.
    void present();

    // The two button looks of the application: the accent-green action and
    // the neutral grey one.
    static KSHoverButton *makePrimaryButton(const QString &title, QWidget *parent = nullptr);
    static KSHoverButton *makeNeutralButton(const QString &title, QWidget *parent = nullptr);

    // Names the button and makes it run `action` while this window lives.
    KSHoverButton *wire(KSHoverButton *button, const QString &objectName, std::function<void()> action);
    // A one-line field in the application's look.
    static QLineEdit *makeLineEdit(const QString &objectName, const QString &placeholder);
    // Gives a line or text editor the application's bordered field look.
    static void styleTextInput(QWidget *input);
    // A wrapped message line in one of the application's text colours.
    static QLabel *makeTextLabel(const QString &text, int points, qint64 hexColor, QWidget *parent = nullptr);

    // The window registered with KSCommonUtils (the main window), or none.
    static QWidget *registeredWindow();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_titleLabel = nullptr;
    QVBoxLayout *m_contentLayout = nullptr;
};
