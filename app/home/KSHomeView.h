#pragma once

#include "KSEraserType.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class KSHomeView;
}

class KSDropHintView;
class KSHomeTypeSelectedView;
class QLabel;

// The first screen: a card for a photo of a person and one for a photo of
// an object. A click on a card runs the photo picker; a picked file goes up
// through photoSelectedClosure with the card's cut-out type. A file dropped
// on a card goes up the same way; one dropped beside the cards goes up
// through photoDroppedClosure, whose owner asks for the type. A hint shows
// what a drop would do while a file is dragged over the screen.
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
    std::function<void(const QString &path)> photoDroppedClosure;
    // Several photos or a folder, chosen or dropped: a batch, of the card's
    // type when they came by a card, else of a type still to ask.
    std::function<void(const QStringList &paths, std::optional<KSEraserType> type)> photosChosenClosure;

    // Runs the picker for a card's type (what a click on that card does).
    void pickPhoto(KSEraserType type);

    // The card's type under a point of the view; none beside the cards.
    [[nodiscard]] std::optional<KSEraserType> cardAt(const QPoint &point);
    KSDropHintView *dropHintView() const { return m_dropHint; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void photoDropped(const QString &path, const QPoint &point);
    void photosDropped(const QStringList &paths, const QPoint &point);
    KSHomeTypeSelectedView *card(KSHomeTypeSelectedView *&slot, bool &tried);
    void layoutCards();

    std::unique_ptr<Ui::KSHomeView> m_ui;
    KSHomeTypeSelectedView *m_personBtn = nullptr;
    KSHomeTypeSelectedView *m_objectBtn = nullptr;
    bool m_personTried = false;
    bool m_objectTried = false;
    KSDropHintView *m_dropHint = nullptr;
};
