#pragma once

#include "KSEditShadow.h"

#include <QList>
#include <QWidget>

class KSEditSliderRow;
class KSHoverButton;
class QStackedWidget;

// The background panel's Shadow page: none, a contact shadow (darkness,
// softness, size) or a drop shadow (offset right and down, blur, opacity).
// It only reports; showShadow() shows what the document holds. Each kind
// keeps the values last shown for it, so that switching back and forth
// brings them back.
class KSShadowPage : public QWidget
{
    Q_OBJECT

public:
    explicit KSShadowPage(QWidget *parent = nullptr);

    void showShadow(const KSEditShadow &shadow);
    // What the page shows, as a shadow.
    [[nodiscard]] KSEditShadow shownShadow() const { return m_shadow; }

    KSHoverButton *kindButton(KSEditShadow::Kind kind) const;
    // The sliders of the contact shadow (darkness, softness, size) and of
    // the drop shadow (right, down, blur, opacity).
    const QList<KSEditSliderRow *> &contactRows() const { return m_contactRows; }
    const QList<KSEditSliderRow *> &dropRows() const { return m_dropRows; }

    // Between a shadow's values and the sliders' whole steps.
    [[nodiscard]] static QList<int> contactSteps(const KSEditShadow &shadow);
    [[nodiscard]] static QList<int> dropSteps(const KSEditShadow &shadow);
    [[nodiscard]] static KSEditShadow withContactSteps(KSEditShadow shadow, const QList<int> &steps);
    [[nodiscard]] static KSEditShadow withDropSteps(KSEditShadow shadow, const QList<int> &steps);

signals:
    void shadowEdited(const KSEditShadow &shadow, bool dragging);

private:
    void chooseKind(KSEditShadow::Kind kind);
    void rowsEdited(bool dragging);
    void showRows();

    KSEditShadow m_shadow;
    QList<KSHoverButton *> m_kindButtons;
    QStackedWidget *m_rows;
    QList<KSEditSliderRow *> m_contactRows;
    QList<KSEditSliderRow *> m_dropRows;
};
