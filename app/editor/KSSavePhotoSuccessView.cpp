#include "KSSavePhotoSuccessView.h"

#include "ui_KSSavePhotoSuccessView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSNibLoadable.h"
#include "KSNotice.h"
#include "KSTextStyle.h"
#include "ToolFile.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace {
QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}
} // namespace

KSSavePhotoSuccessView::KSSavePhotoSuccessView(QWidget *parent)
    : KSOverlayView(parent), m_ui(std::make_unique<Ui::KSSavePhotoSuccessView>())
{
    m_ui->setupUi(this);

    KSColorView *card = m_ui->centerView;
    card->setColor(Qt::white);
    card->setRadius(3.0);

    m_ui->tipsLabel->setText(lang("Tip"));
    KSTextStyle::apply(m_ui->tipsLabel, KSRGBHexColor(0x333333), 12, QFont::Medium);
    m_ui->titleLabel->setText(lang("SaveSucess"));
    KSTextStyle::apply(m_ui->titleLabel, KSRGBHexColor(0x333333), 11);

    // Nothing is undone here: the button only dismisses the notice.
    m_ui->cancelBtn->setTitle(lang("OK"));
    KSEditPanelStyle::styleDialogButton(m_ui->cancelBtn, KSRGBHexColor(0x333333), KSRGBHexColor(0xF3F3F3),
                                        KSRGBHexColor(0xD4D4D4));
    m_ui->openFileBtn->setTitle(lang("OpenFolder"));
    KSEditPanelStyle::styleAccentButton(m_ui->openFileBtn);
    KSEditPanelStyle::fitToTitle(m_ui->cancelBtn);
    KSEditPanelStyle::fitToTitle(m_ui->openFileBtn);

    const QPixmap close = KSImageNamed(QStringLiteral("mainCloseGray"), QSize(12, 12));
    m_ui->closeBtn->setImage(close);
    m_ui->closeBtn->setBackgroundHoverColor(KSRGBHexColor(0xF3F3F3));
    m_ui->closeBtn->setBorderRadius(4.0);

    const auto wire = [this](KSHoverButton *button, void (KSSavePhotoSuccessView::*action)(KSHoverButton *)) {
        button->setTarget(this);
        button->setAction([this, action](KSHoverButton *sender) { (this->*action)(sender); });
    };
    wire(m_ui->openFileBtn, &KSSavePhotoSuccessView::actionForOpenFile);
    wire(m_ui->cancelBtn, &KSSavePhotoSuccessView::actionForCancel);
    wire(m_ui->closeBtn, &KSSavePhotoSuccessView::actionForClose);
}

KSSavePhotoSuccessView::~KSSavePhotoSuccessView() = default;

KSSavePhotoSuccessView *KSSavePhotoSuccessView::attach(QWidget *host)
{
    if (!host)
        return nullptr;
    auto *view = loadViewFromNib<KSSavePhotoSuccessView>(host);
    if (!view)
        return nullptr;
    attachTo(view, host);
    return view;
}

KSSavePhotoSuccessView *KSSavePhotoSuccessView::showSaveSuccessView(QWidget *host, const QString &filePath)
{
    if (filePath.isEmpty())
        return showSaveFailedView(host);
    KSSavePhotoSuccessView *view = attach(host);
    if (view)
        view->setFilePath(filePath);
    return view;
}

KSSavePhotoSuccessView *KSSavePhotoSuccessView::showSaveFailedView(QWidget *host, const QString &reason)
{
    KSSavePhotoSuccessView *view = attach(host);
    if (view)
        view->setErrorMessage(reason);
    return view;
}

void KSSavePhotoSuccessView::setFilePath(const QString &filePath)
{
    m_filePath = filePath;
    if (m_errorMode)
        return;
    const QFileInfo file(filePath);
    // Lets a long folder wrap at its separators.
    QString folder = QDir::toNativeSeparators(file.absolutePath());
    folder.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    m_ui->titleLabel->setText(lang("SaveSucessIn").arg(file.fileName(), folder));
    m_ui->titleLabel->setToolTip(QDir::toNativeSeparators(file.absoluteFilePath()));
}

void KSSavePhotoSuccessView::setErrorMessage(const QString &reason)
{
    m_errorMode = true;
    QString message = lang("SaveFailed");
    if (!reason.isEmpty()) {
        // Lets a long path wrap at its folder separators.
        QString breakable = reason;
        breakable.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
        message += QLatin1Char('\n') + breakable;
    }
    m_ui->titleLabel->setText(message);
    m_ui->openFileBtn->hide();
    // The only way on: an accent "OK".
    m_ui->cancelBtn->setTitle(lang("Yes"));
    KSEditPanelStyle::styleAccentButton(m_ui->cancelBtn);
    KSEditPanelStyle::fitToTitle(m_ui->cancelBtn);
}

void KSSavePhotoSuccessView::actionForOpenFile(KSHoverButton *)
{
    const QString path = m_filePath;
    removeFromSuperview();
    showInFolder(path, path, QStringLiteral("FolderNotShown"));
}

void KSSavePhotoSuccessView::showInFolder(const QString &path, const QString &fallbackPath, const QString &noticeKey)
{
    ToolFile::showFileInFinder(path, QCoreApplication::instance(), [fallbackPath, noticeKey](bool shown) {
        if (shown)
            return;
        // Neither a file manager nor the desktop's handler answered: the
        // path on the clipboard still leads the user to the picture.
        CommLog::E(QStringLiteral("could not show in a file manager: ") + fallbackPath);
        const QString nativePath = QDir::toNativeSeparators(fallbackPath);
        QGuiApplication::clipboard()->setText(nativePath);
        KSNotice::post({lang("FolderNotShownTitle"), CommLang::GetAppLang(noticeKey), nativePath});
    });
}

void KSSavePhotoSuccessView::actionForCancel(KSHoverButton *)
{
    removeFromSuperview();
}

void KSSavePhotoSuccessView::actionForClose(KSHoverButton *)
{
    removeFromSuperview();
}

QWidget *KSSavePhotoSuccessView::centerView() const
{
    return m_ui->centerView;
}

QLabel *KSSavePhotoSuccessView::tipsLabel() const
{
    return m_ui->tipsLabel;
}

QLabel *KSSavePhotoSuccessView::titleLabel() const
{
    return m_ui->titleLabel;
}

KSHoverButton *KSSavePhotoSuccessView::cancelBtn() const
{
    return m_ui->cancelBtn;
}

KSHoverButton *KSSavePhotoSuccessView::openFileBtn() const
{
    return m_ui->openFileBtn;
}

KSHoverButton *KSSavePhotoSuccessView::closeBtn() const
{
    return m_ui->closeBtn;
}
