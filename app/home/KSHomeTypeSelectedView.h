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
// a photo, a call to action and a short explanation.
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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitExplanation();

    std::unique_ptr<Ui::KSHomeTypeSelectedView> m_ui;
    QString m_explanation;
};
