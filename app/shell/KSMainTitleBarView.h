#pragma once

#include "KSAboutWindow.h"
#include "KSWindowTitleBarView.h"

#include <QPixmap>
#include <QString>

class KSHoverButton;
class QImage;
class QLabel;

// The main window's title bar: the application's title, the account button
// (avatar and nickname, or a sign-in prompt), the settings button, the help
// button with its menu, and the window's own buttons.
class KSMainTitleBarView : public KSWindowTitleBarView
{
    Q_OBJECT

public:
    // Posted (no object) by the settings button; the main view controller
    // answers with the settings panel.
    static inline const QString kNotificationShowSettingView = QStringLiteral("kNotificationShowSettingView");

    // Pass the window it will live in, so that the product record can be
    // registered together with that window.
    explicit KSMainTitleBarView(QWidget *window = nullptr);
    ~KSMainTitleBarView() override;

    QLabel *titleLabel() const { return m_titleLabel; }
    KSHoverButton *userBtn() const { return m_userBtn; }
    KSHoverButton *settingBtn() const { return m_settingBtn; }
    KSHoverButton *helpBtn() const { return m_helpBtn; }

    void actionForUser();
    void actionForSetting();
    void actionForHelp();
    void actionForService();
    void actionForCourse();
    void actionForFeedBack();
    void actionForUpdate();
    void actionForSupport();
    void actionForAbout();
    void actionForShortcuts();

    // Puts the signed-in account (or the sign-in prompt) on the user button.
    void refreshUserButton();
    // The round avatar the user button shows; null while it shows the
    // default pictures.
    QPixmap avatar() const { return m_avatar; }

    // Opens a web address of the product record; a missing or malformed
    // one opens nothing (false). When no browser takes it, a notice shows
    // the address to copy.
    static bool openAddress(const QString &address);

    // What cuts out, as the About window tells it: the configured service, or
    // the learned model the built-in service loads (CUTORA_MODEL's or the
    // installed one), or the classical engine.
    [[nodiscard]] static KSAboutWindow::Model installedModel();

private:
    void applyTexts();
    void fitButton(KSHoverButton *button);
    void setAvatar(const QImage &image);
    void loadAvatar(const QString &address);

    QLabel *m_titleLabel = nullptr;
    KSHoverButton *m_userBtn = nullptr;
    KSHoverButton *m_settingBtn = nullptr;
    KSHoverButton *m_helpBtn = nullptr;
    QPixmap m_avatar;
    // Tells an avatar download that a newer refresh has replaced it.
    quint64 m_refreshCount = 0;
};
