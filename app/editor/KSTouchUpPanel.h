#pragma once

#include "KSBrushSettings.h"
#include "KSColorView.h"

#include <functional>
#include <memory>

namespace Ui {
class KSTouchUpPanel;
}

class KSHoverButton;
class QCheckBox;
class QLabel;
class QSlider;

// The Touch Up tool's panel: Keep or Erase, the brush's size and softness,
// and the smart brush. Every change is reported through returnClosure. The
// editor makes it once and keeps it, so the brush survives closing and
// reopening the panel.
class KSTouchUpPanel : public KSColorView
{
    Q_OBJECT

public:
    static constexpr int kPanelWidth = 260;

    explicit KSTouchUpPanel(QWidget *parent = nullptr);
    ~KSTouchUpPanel() override;

    std::function<void(const KSBrushSettings &settings)> returnClosure;

    const KSBrushSettings &settings() const { return m_settings; }
    // Shows these settings and reports them.
    void setSettings(const KSBrushSettings &settings);
    // The brush's diameter held within its limits, shown and reported.
    void setDiameter(double diameter);

    // The Keep and Erase buttons' action.
    void actionForMode(KSHoverButton *sender);

    KSHoverButton *titleBtn() const;
    KSHoverButton *keepBtn() const;
    KSHoverButton *eraseBtn() const;
    QSlider *sizeSlider() const;
    QSlider *softnessSlider() const;
    QCheckBox *smartCheck() const;
    QLabel *sizeValueLabel() const;

private:
    void showSettings();
    void report();

    std::unique_ptr<Ui::KSTouchUpPanel> m_ui;
    KSBrushSettings m_settings;
    bool m_showing = false;
};
