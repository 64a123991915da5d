#pragma once

#include "KSEraserType.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class KSHomeView;
}

class KSHomeTypeSelectedView;
class QLabel;

// The first screen: a card for a photo of a person and one for a photo of
// an object. A click on a card runs the photo picker; a picked file goes up
// through photoSelectedClosure with the card's cut-out type.
class KSHomeView : public QWidget
{
    Q_OBJECT

public:
    using PhotoSelectedClosure = std::function<void(const QString &path, KSEraserType type)>;

    explicit KSHomeView(QWidget *parent = nullptr);
    ~KSHomeView() override;

    // The cards, built from their layout on first use; nullptr for a card
    // that could not be built (the other one still works).
    KSHomeTypeSelectedView *personBtn();
    KSHomeTypeSelectedView *objectBtn();

    QLabel *tipslabel() const;

    // Called at most once per completed pick, on the GUI thread, with the
    // absolute path of the chosen file.
    PhotoSelectedClosure photoSelectedClosure;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    KSHomeTypeSelectedView *card(KSHomeTypeSelectedView *&slot, bool &tried);
    void layoutCards();
    void pickPhoto(KSEraserType type);

    std::unique_ptr<Ui::KSHomeView> m_ui;
    KSHomeTypeSelectedView *m_personBtn = nullptr;
    KSHomeTypeSelectedView *m_objectBtn = nullptr;
    bool m_personTried = false;
    bool m_objectTried = false;
};
