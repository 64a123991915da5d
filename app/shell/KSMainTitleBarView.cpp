#include "KSMainTitleBarView.h"

#include "CommFeedback.h"
#include "CommLang.h"
#include "CommLog.h"
#include "CommPassport.h"
#include "CommUpdate.h"
#include "KSAFNetworking.h"
#include "KSAppSetting.h"
#include "KSColorConst.h"
#include "KSCommonUtils.h"
#include "KSHoverButton.h"
#include "KSImageExtension.h"
#include "KSImageNamed.h"
#include "KSInstalledModel.h"
#include "KSLogCategories.h"
#include "KSMenu.h"
#include "KSMenuItem.h"
#include "KSNotice.h"
#include "KSNotificationCenter.h"
#include "KSServiceConnection.h"
#include "KSShareLib.h"
#include "KSShortcutsWindow.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "ToolFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QUrl>

namespace {
constexpr int kAvatarSize = 20;
constexpr int kButtonHeight = 30;
constexpr int kMaxNickNameWidth = 180;

// The application's accent, made once and shared by the bar's styles.
const QColor &accentColor()
{
    static const QColor accent = KSRGBHexColor(0x00CC8F);
    return accent;
}

void styleBarButton(KSHoverButton *button, const QString &picture)
{
    button->setImage(KSImageNamed(picture + QStringLiteral("Normal")));
    button->setHoverImage(KSImageNamed(picture + QStringLiteral("Hover")));
    button->setTitleColor(KSRGBHexColor(0x333333));
    button->setTitleHoverColor(accentColor());
    button->setTitleFont(KSTextStyle::systemFont(13));
    button->setXOffsetBetweenIconTitle(4);
    button->setCursor(Qt::PointingHandCursor);
}

// The picture cut to the circle inscribed in its square centre.
QImage squareCircle(const QImage &image)
{
    const int side = std::min(image.width(), image.height());
    QImage circle(side, side, QImage::Format_ARGB32_Premultiplied);
    circle.fill(Qt::transparent);
    QPainter painter(&circle);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath path;
    path.addEllipse(QRectF(0, 0, side, side));
    painter.setClipPath(path);
    painter.drawImage(QPointF((side - image.width()) / 2.0, (side - image.height()) / 2.0), image);
    return circle;
}
} // namespace

KSMainTitleBarView::KSMainTitleBarView(QWidget *window)
    : KSWindowTitleBarView(window)
    , m_titleLabel(new QLabel(this))
    , m_userBtn(new KSHoverButton(this))
    , m_settingBtn(new KSHoverButton(this))
    , m_helpBtn(new KSHoverButton(this))
{
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_userBtn->setObjectName(QStringLiteral("userBtn"));
    m_settingBtn->setObjectName(QStringLiteral("settingBtn"));
    m_helpBtn->setObjectName(QStringLiteral("helpBtn"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 0, reservedRightWidth(), 0);
    layout->setSpacing(6);
    layout->addWidget(m_titleLabel);
    layout->addStretch(1);
    layout->addWidget(m_userBtn);
    layout->addWidget(m_settingBtn);
    layout->addWidget(m_helpBtn);

    // 1. The product record goes to the common utilities with our window.
    KSCommonUtils::initWithCommAppInfo(KSAppSetting::appInfo(), window ? window->window() : nullptr);
    // 2. and 3. Look, texts and the account.
    setBgColor(Qt::white);
    setBottomLineColor(KSRGBHexColor(0xEBEBEB));
    KSTextStyle::apply(m_titleLabel, accentColor(), 14, QFont::DemiBold);
    styleBarButton(m_helpBtn, QStringLiteral("help"));
    styleBarButton(m_settingBtn, QStringLiteral("setting"));
    // The icon lives among the pictures, which the buttons have loaded by now.
    auto *appIcon = new QLabel(this);
    appIcon->setPixmap(QIcon(QStringLiteral(":/app/cutora.svg")).pixmap(20, 20));
    layout->insertWidget(0, appIcon);
    applyTexts();
    m_userBtn->setTitleFont(KSTextStyle::systemFont(13));
    m_userBtn->setXOffsetBetweenIconTitle(6);
    m_userBtn->setCursor(Qt::PointingHandCursor);
    refreshUserButton();

    m_userBtn->setTarget(this);
    m_userBtn->setAction([this](KSHoverButton *) { actionForUser(); });
    m_settingBtn->setTarget(this);
    m_settingBtn->setAction([this](KSHoverButton *) { actionForSetting(); });
    m_helpBtn->setTarget(this);
    m_helpBtn->setAction([this](KSHoverButton *) { actionForHelp(); });

    // 4. The account may change on any thread; the centre brings the
    // notification to ours and forgets us when we go.
    KSNotificationCenter::defaultCenter()->observe(CommPassport::kPassportDidUpdateNotification, this,
                                                   [this](const QVariant &) {
        qCDebug(lcShell).noquote() << QStringLiteral("登录成功");
        QPointer<KSMainTitleBarView> self(this);
        QMetaObject::invokeMethod(this, [self] {
            if (self)
                self->refreshUserButton();
        }, Qt::QueuedConnection);
    });
}

KSMainTitleBarView::~KSMainTitleBarView() = default;

void KSMainTitleBarView::applyTexts()
{
    m_titleLabel->setText(CommLang::GetAppLang(QStringLiteral("MacCutora")));
    m_helpBtn->setTitle(CommLang::GetAppLang(QStringLiteral("Help")));
    m_settingBtn->setTitle(CommLang::GetAppLang(QStringLiteral("Setting")));
    fitButton(m_helpBtn);
    fitButton(m_settingBtn);
}

void KSMainTitleBarView::fitButton(KSHoverButton *button)
{
    // Sized to the title in whatever language it is in.
    button->setFixedSize(button->sizeHint().width() + 12, kButtonHeight);
}

void KSMainTitleBarView::refreshUserButton()
{
    ++m_refreshCount;
    m_avatar = QPixmap();
    styleBarButton(m_userBtn, QStringLiteral("userIcon"));
    m_userBtn->setTitle(CommLang::GetAppLang(QStringLiteral("Login")));
    if (CommPassport::isLogged()) {
        loadAvatar(CommPassport::userAvatarUrl());
        // A long nickname is shortened so that it never pushes the other
        // buttons; the whole of it is in the tooltip.
        const QString nickName = CommPassport::userNickName();
        m_userBtn->setTitle(QFontMetrics(KSTextStyle::systemFont(13))
                                .elidedText(nickName, Qt::ElideMiddle, kMaxNickNameWidth));
        m_userBtn->setToolTip(nickName);
    } else {
        m_userBtn->setToolTip({});
    }
    fitButton(m_userBtn);
}

void KSMainTitleBarView::loadAvatar(const QString &address)
{
    const QUrl url(address);
    if (address.isEmpty() || !url.isValid())
        return;
    if (url.isLocalFile()) {
        setAvatar(QImage(url.toLocalFile()));
        return;
    }
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return;
    // A web picture is fetched off the GUI thread, so a slow server never
    // freezes the window; a refresh made meanwhile wins over this one.
    const quint64 refresh = m_refreshCount;
    QPointer<KSMainTitleBarView> self(this);
    KSAFNetworking::GETtWithUrl(address, {}, {},
                                [self, refresh](const std::optional<KSNetError> &error, const QVariant &reply) {
        if (error)
            return;
        const QImage image = QImage::fromData(reply.toByteArray());
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, refresh, image] {
            if (self && self->m_refreshCount == refresh)
                self->setAvatar(image);
        }, Qt::QueuedConnection);
    });
}

void KSMainTitleBarView::setAvatar(const QImage &image)
{
    if (image.isNull())
        return;
    const QImage scaled = KSImageExtension::adjuectWithNewSize(image, QSizeF(kAvatarSize, kAvatarSize));
    m_avatar = QPixmap::fromImage(squareCircle(scaled));
    m_userBtn->setImage(m_avatar);
    m_userBtn->setHoverImage(m_avatar);
}

void KSMainTitleBarView::actionForUser()
{
    qCDebug(lcShell).noquote() << QStringLiteral("点击用户中心");
    KSShareLib::showShareLoginOrVipInfoWindow(nullptr);
}

void KSMainTitleBarView::actionForSetting()
{
    qCDebug(lcShell).noquote() << QStringLiteral("点击设置按钮");
    KSNotificationCenter::defaultCenter()->post(kNotificationShowSettingView);
}

void KSMainTitleBarView::actionForHelp()
{
    auto *menu = new KSMenu(this);
    menu->setRowHeight(30);
    menu->setBackgroundColor(Qt::white);
    menu->setItemFont(KSTextStyle::systemFont(14));
    menu->setXOffsetBetweenIconTitle(-30);
    const struct {
        const char *key;
        void (KSMainTitleBarView::*action)();
    } rows[] = {
        {"Course", &KSMainTitleBarView::actionForCourse},
        {"FeedBack", &KSMainTitleBarView::actionForFeedBack},
        {"Update", &KSMainTitleBarView::actionForUpdate},
        {"Support", &KSMainTitleBarView::actionForSupport},
        {"Shortcuts", &KSMainTitleBarView::actionForShortcuts},
        {"About", &KSMainTitleBarView::actionForAbout},
    };
    for (const auto &row : rows) {
        KSMenuItem *item = KSMenuItem::NewMenuItem();
        item->setTitleColor(KSRGBHexColor(0x333333));
        item->setTitleHoverColor(accentColor());
        item->setTitleDownColor(accentColor());
        item->setHoverBackgroundColor(KSRGBAColor(0, 204, 143, 0.1));
        item->setTitle(CommLang::GetAppLang(QString::fromLatin1(row.key)));
        item->setTarget(this);
        const auto action = row.action;
        item->setAction([this, action](KSMenuItem *) { (this->*action)(); });
        menu->addItem(item);
    }
    // The menu's width is fixed here, so that the offset ends it exactly at
    // the help button's right edge in every language.
    const QFontMetrics metrics(KSTextStyle::systemFont(14));
    int menuWidth = 120;
    for (KSMenuItem *item : menu->items())
        menuWidth = std::max(menuWidth, metrics.horizontalAdvance(item->title()) + 36);
    menu->setMenuWidth(menuWidth);
    menu->popMenuToView(m_helpBtn, QPoint(menuWidth - m_helpBtn->width(), 10), KSMenu::JoinBelow);
}

bool KSMainTitleBarView::openAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (address.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return false;
    ToolFile::openFileAtURL(url, QCoreApplication::instance(), [address](bool opened) {
        if (!opened)
            KSNotice::post({CommLang::GetAppLang(QStringLiteral("LinkNotOpenedTitle")),
                            CommLang::GetAppLang(QStringLiteral("LinkNotOpened")), address});
    });
    return true;
}

KSAboutWindow::Model KSMainTitleBarView::installedModel()
{
    KSAboutWindow::Model model;
    model.serviceUrl = KSServiceConnection::configuredServiceUrl();
    if (!model.serviceUrl.isEmpty())
        return model;
    // The model the built-in service loads, which the environment may name.
    const QString description = KSInstalledModel::descriptionInUse();
    if (description.isEmpty()) {
        // Told to use it, or passing over an installed model: no offer to install one.
        model.classicChosen = !qEnvironmentVariableIsEmpty("CUTORA_MODEL")
                              || QFileInfo::exists(KSInstalledModel::descriptionPath());
        return model;
    }
    const KSInstalledModel inUse = KSInstalledModel::read(description);
    model.name = inUse.name;
    model.licence = inUse.licence;
    model.runtime = inUse.runtime;
    // A description that cannot be read loads no model.
    model.classicChosen = inUse.name.isEmpty();
    return model;
}

void KSMainTitleBarView::actionForService()
{
    openAddress(KSAppSetting::appInfo().urlSupport());
}

void KSMainTitleBarView::actionForCourse()
{
    qCDebug(lcShell).noquote() << QStringLiteral("展示教程");
    openAddress(KSAppSetting::appInfo().urlFAQ());
}

void KSMainTitleBarView::actionForFeedBack()
{
    qCDebug(lcShell).noquote() << QStringLiteral(" 用户反馈");
    CommFeedback::submit();
}

void KSMainTitleBarView::actionForUpdate()
{
    CommUpdate::check();
}

void KSMainTitleBarView::actionForSupport()
{
    qCDebug(lcShell).noquote() << QStringLiteral("技术支持");
    openAddress(KSAppSetting::appInfo().urlSupport());
}

void KSMainTitleBarView::actionForAbout()
{
    qCDebug(lcShell).noquote() << QStringLiteral("关于");
    KSAboutWindow::showAbout(installedModel());
}

void KSMainTitleBarView::actionForShortcuts()
{
    KSShortcutsWindow::showShortcuts();
}
