#pragma once

#include "KSColorView.h"

#include <functional>
#include <memory>

namespace Ui {
class KSEraserErrorView;
}

class KSHoverButton;
class QLabel;

// The screen shown when a cut-out job fails: one fixed message (the cause is
// in the log only) and the choice to retry the same job or go back home.
class KSEraserErrorView : public KSColorView
{
    Q_OBJECT

public:
    // true = back to the home screen, false = retry.
    using ActionBackClosure = std::function<void(bool backToHome)>;

    explicit KSEraserErrorView(QWidget *parent = nullptr);
    ~KSEraserErrorView() override;

    // Covers `host` with a new error screen whose buttons report through
    // `closure`. Returns the screen, or nullptr when it could not be built.
    static KSEraserErrorView *showErrorView(QWidget *host, ActionBackClosure closure);

    // Each reports through actionBackClosure and then takes the screen
    // away; only the first choice counts.
    void actionForBack(QObject *sender = nullptr);
    void actionForRefresh(QObject *sender = nullptr);

    QLabel *titleLabel() const;
    KSHoverButton *refreshBtn() const;
    KSHoverButton *backToHomeBtn() const;

    ActionBackClosure actionBackClosure;

private:
    void finish(bool backToHome);

    std::unique_ptr<Ui::KSEraserErrorView> m_ui;
    bool m_finished = false;
};
