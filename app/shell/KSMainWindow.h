#pragma once

#include "KSWindow.h"

#include <QSize>

#include <functional>

class KSDropHintView;
class KSMainTitleBarView;
class KSMainViewController;

// The one main window: our title bar above the main view controller's view.
// Closing it ends the application. A photo dropped where no screen takes
// it (the title bar, the margins) goes to the controller, which asks for
// the cut-out type.
class KSMainWindow : public KSWindow
{
    Q_OBJECT

public:
    // Both the content size at start and the smallest the window gets.
    // 562.5 points round up to whole pixels, so the window is never smaller.
    static constexpr QSize kContentSize{1080, 563};

    explicit KSMainWindow(QWidget *parent = nullptr);
    ~KSMainWindow() override;

    KSMainTitleBarView *mainTitleBar() const { return m_titleBar; }
    KSMainViewController *viewController() const { return m_viewController; }

    // Centred, movable by its background, at its content size, in front.
    void awakeFromNib();

    // Asked by the close button before the application quits; none quits at once.
    std::function<bool()> shouldTerminateClosure;

    void winButtonActionForClose() override;

protected:
    // A close from the window manager asks as the close button does.
    void closeEvent(QCloseEvent *event) override;

private:
    KSMainTitleBarView *m_titleBar = nullptr;
    KSMainViewController *m_viewController = nullptr;
    KSDropHintView *m_dropHint = nullptr;
};
