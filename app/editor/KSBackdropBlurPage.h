#pragma once

#include <QWidget>

class KSEditSliderRow;
class KSHoverButton;
class QLabel;

// The background panel's Blur page: the photo's own backdrop behind the
// subject, blurred from none to strong. Its button puts the backdrop
// behind the subject at the slider's strength; moving the slider does too.
// It only reports; showBlur() shows what the document holds.
class KSBackdropBlurPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxStrength = 100;
    static constexpr int kDefaultStrength = 40;

    explicit KSBackdropBlurPage(QWidget *parent = nullptr);

    // The strength while the backdrop is the background, or -1 while not.
    void showBlur(int strength);
    [[nodiscard]] bool isApplied() const { return m_applied; }

    KSHoverButton *useButton() const { return m_useButton; }
    KSEditSliderRow *strengthRow() const { return m_strengthRow; }

signals:
    // 0 is the backdrop as the photo has it; kMaxStrength the strongest blur.
    void blurEdited(int strength, bool dragging);

private:
    KSHoverButton *m_useButton;
    KSEditSliderRow *m_strengthRow;
    bool m_applied = false;
};
