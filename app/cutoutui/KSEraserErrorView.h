#pragma once

#include "KSColorView.h"
#include "KSEraserFailure.h"

#include <functional>
#include <memory>

namespace Ui {
class KSEraserErrorView;
}

class KSHoverButton;
class QLabel;

// The screen shown when a cut-out job fails: what happened and what the user
// can do about it, and the choice to retry the same job (where a retry can
// end otherwise) or go back home.
class KSEraserErrorView : public KSColorView
{
    Q_OBJECT

public:
    // true = back to the home screen, false = retry.
    using ActionBackClosure = std::function<void(bool backToHome)>;

    explicit KSEraserErrorView(QWidget *parent = nullptr);
    ~KSEraserErrorView() override;

    // Covers `host` with a new error screen for the failure whose buttons
    // report through `closure`. Returns the screen, or nullptr when it could
    // not be built.
    static KSEraserErrorView *showErrorView(QWidget *host, ActionBackClosure closure,
                                            const KSEraserFailure &failure = {}, const QString &photoPath = {});

    // Shows the failure's message and advice, and the photo's file name
    // (elided in the middle when long); hides Retry where retrying cannot
    // help.
    void setFailure(const KSEraserFailure &failure, const QString &photoPath = {});

    // Each reports through actionBackClosure and then takes the screen
    // away; only the first choice counts.
    void actionForBack(QObject *sender = nullptr);
    void actionForRefresh(QObject *sender = nullptr);

    QLabel *titleLabel() const;
    QLabel *fileLabel() const;
    QLabel *adviceLabel() const;
    KSHoverButton *refreshBtn() const;
    KSHoverButton *backToHomeBtn() const;

    ActionBackClosure actionBackClosure;

protected:
    // Escape goes back home, as the button does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void finish(bool backToHome);

    std::unique_ptr<Ui::KSEraserErrorView> m_ui;
    QLabel *m_fileLabel = nullptr;
    bool m_finished = false;
};
