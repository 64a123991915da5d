#pragma once

#include "KSCustomSize.h"
#include "KSFraming.h"
#include "KSPrintSheet.h"

#include <QWidget>
#include <functional>

class KSHoverButton;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The size panel's controls below its table: the fit mode ("Fit subject" or
// "Photo"), the framing notice, the custom size's fields while the custom
// row is chosen, and "Save Print Sheet" for a size with a printed size.
class KSEditSizeOptionsView : public QWidget
{
    Q_OBJECT

public:
    explicit KSEditSizeOptionsView(QWidget *parent = nullptr);

    // Reported on a click; setFitMode() reports nothing.
    std::function<void(KSFitMode mode)> fitModeClosure;
    // A usable custom size was typed (it is remembered before this is called).
    std::function<void(const KSCustomSize &size)> customSizeClosure;
    std::function<void(KSPrintSheet::Paper paper)> printSheetClosure;

    KSFitMode fitMode() const { return m_fitMode; }
    void setFitMode(KSFitMode mode);

    // Shows what the chosen preset offers: the custom fields for the custom
    // row, the print sheet for a printed size.
    void showOptionsFor(const KSEditChangeSizeItem &item);

    // Empty hides the notice.
    void setNotice(const QString &text);
    QString notice() const;

    // The width every row needs to show its texts whole, whether shown now
    // or not: the panel is made this wide at least.
    [[nodiscard]] int requiredWidth() const;

    KSHoverButton *fitSubjectBtn() const { return m_fitSubjectBtn; }
    KSHoverButton *fitPhotoBtn() const { return m_fitPhotoBtn; }
    QLabel *noticeLbl() const { return m_noticeLbl; }
    QWidget *customSizeView() const { return m_customSizeView; }
    QDoubleSpinBox *customWidthBox() const { return m_widthBox; }
    QDoubleSpinBox *customHeightBox() const { return m_heightBox; }
    QComboBox *customUnitBox() const { return m_unitBox; }
    QSpinBox *customDpiBox() const { return m_dpiBox; }
    QComboBox *paperBox() const { return m_paperBox; }
    KSHoverButton *printSheetBtn() const { return m_printSheetBtn; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // A wrapped notice is as tall as its lines at the view's width.
    void fitNoticeHeight();
    void showCustomSize(const KSCustomSize &size);
    void customSizeEdited();

    KSFitMode m_fitMode = KSFitMode::subject;
    KSHoverButton *m_fitSubjectBtn = nullptr;
    KSHoverButton *m_fitPhotoBtn = nullptr;
    QLabel *m_noticeLbl = nullptr;
    QWidget *m_customSizeView = nullptr;
    QDoubleSpinBox *m_widthBox = nullptr;
    QDoubleSpinBox *m_heightBox = nullptr;
    QComboBox *m_unitBox = nullptr;
    QSpinBox *m_dpiBox = nullptr;
    QWidget *m_printSheetView = nullptr;
    QComboBox *m_paperBox = nullptr;
    KSHoverButton *m_printSheetBtn = nullptr;
    bool m_filling = false;
};
