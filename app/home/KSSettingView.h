#pragma once

#include "KSColorView.h"

#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class KSSettingView;
}

class KSHoverButton;
class KSMenuItem;
class QLabel;

// The settings panel laid over the window: output folder, output size,
// language and output format. Folder, size and format are pending until
// Confirm; a picked language is stored at once (it stays stored even when
// the panel is then cancelled), and Confirm after a change of language
// tells languageDidChangeClosure, whose owner offers to restart in it.
class KSSettingView : public KSColorView
{
    Q_OBJECT

public:
    explicit KSSettingView(QWidget *parent = nullptr);
    ~KSSettingView() override;

    void actionForOutputDir(QObject *sender = nullptr);
    void actionForSize(QWidget *sender);
    void actionForFormat(QWidget *sender);
    void actionForManagerAppLanuage(QWidget *sender);
    void actionForConfirm(QObject *sender = nullptr);
    void actionForCancel(QObject *sender = nullptr);

    void resultForSizeWithItem(KSMenuItem *item);
    void resultForFormatWithItem(KSMenuItem *item);
    void clickForMenuItemWithItem(KSMenuItem *item);

    // The folder that Confirm stores; dirBtn shows it, shortened in the
    // middle when it is too long for the button.
    QString pendingOutputDirectory() const { return m_outputDirectory; }
    // The application language when the panel was created.
    QString defaultLanguage() const { return m_defaultLanguage; }

    // Called once the panel has gone after a Confirm that changed the
    // language.
    std::function<void()> languageDidChangeClosure;

    QLabel *titleLbl() const;
    KSHoverButton *dirBtn() const;
    KSHoverButton *outputDirBtn() const;
    KSHoverButton *outputSizeBtn() const;
    KSHoverButton *appLanguageBtn() const;
    KSHoverButton *outputFormatBtn() const;
    KSHoverButton *closeBtn() const;
    KSHoverButton *cancelBtn() const;
    KSHoverButton *confirmBtn() const;

protected:
    // Clicks on the panel stop here, so they never reach the screen below.
    void mousePressEvent(QMouseEvent *event) override;
    // Escape closes the panel as Cancel does.
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void applyStyle();
    void loadValues();
    void loadTexts();
    void setOutputDirectoryShown(const QString &path);

    std::unique_ptr<Ui::KSSettingView> m_ui;
    QString m_defaultLanguage;
    QString m_outputDirectory;
    // Pending rows of the size and format tables, whose titles follow the
    // language.
    int m_sizeRow = 0;
    int m_formatRow = 0;
};
