#include "KSSavePhotoSuccessView.h"

#include "ui_KSSavePhotoSuccessView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSColorConst.h"
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
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {
QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

void styleDialogButton(KSHoverButton *button, const QColor &title, const QColor &background, const QColor &hover)
{
    button->setTitleFont(KSTextStyle::systemFont(11));
    button->setTitleColor(title);
    button->setTitleHoverColor(title);
    button->setTitleDownColor(title);
    button->setBackgroundColor(background);
    button->setBackgroundHoverColor(hover);
    button->setBorderRadius(4.0);
}

void styleAccentButton(KSHoverButton *button)
{
    styleDialogButton(button, Qt::white, KSRGBHexColor(0x00CC8F), KSRGBHexColor(0x00B17C));
}

// Titles differ in length between languages; a button is never narrower than its title.
void fitToTitle(KSHoverButton *button)
{
    button->setMinimumWidth(std::max(80, button->sizeHint().width() + 8));
}
} // namespace

KSSavePhotoSuccessView::KSSavePhotoSuccessView(QWidget *parent)
    : KSColorView(parent), m_ui(std::make_unique<Ui::KSSavePhotoSuccessView>())
{
    m_ui->setupUi(this);
    setColor(KSRGBHexColor(0x000000, 0.5));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoMousePropagation);

    KSColorView *card = m_ui->centerView;
    card->setColor(Qt::white);
    card->setRadius(3.0);

    m_ui->tipsLabel->setText(lang("Tip"));
    KSTextStyle::apply(m_ui->tipsLabel, KSRGBHexColor(0x333333), 12, QFont::Medium);
    m_ui->titleLabel->setText(lang("SaveSucess"));
    KSTextStyle::apply(m_ui->titleLabel, KSRGBHexColor(0x333333), 11);

    // Nothing is undone here: the button only dismisses the notice.
    m_ui->cancelBtn->setTitle(lang("OK"));
    styleDialogButton(m_ui->cancelBtn, KSRGBHexColor(0x333333), KSRGBHexColor(0xF3F3F3), KSRGBHexColor(0xD4D4D4));
    m_ui->openFileBtn->setTitle(lang("OpenFolder"));
    styleAccentButton(m_ui->openFileBtn);
    fitToTitle(m_ui->cancelBtn);
    fitToTitle(m_ui->openFileBtn);

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
    // Follows the host's size for as long as it is shown.
    host->installEventFilter(view);
    view->setGeometry(host->rect());
    view->raise();
    view->show();
    // Keys must not reach a control of the editor underneath.
    view->setFocus(Qt::OtherFocusReason);
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
    styleAccentButton(m_ui->cancelBtn);
    fitToTitle(m_ui->cancelBtn);
}

void KSSavePhotoSuccessView::removeFromSuperview()
{
    if (QWidget *host = parentWidget())
        host->removeEventFilter(this);
    hide();
    // A button of this view is still on the stack: delete once it returns.
    deleteLater();
}

void KSSavePhotoSuccessView::actionForOpenFile(KSHoverButton *)
{
    const QString path = m_filePath;
    removeFromSuperview();
    ToolFile::showFileInFinder(path, QCoreApplication::instance(), [path](bool shown) {
        if (shown)
            return;
        // Neither a file manager nor the desktop's handler answered: the
        // path on the clipboard still leads the user to the picture.
        CommLog::E(QStringLiteral("could not show the saved picture in a file manager: ") + path);
        const QString nativePath = QDir::toNativeSeparators(path);
        QGuiApplication::clipboard()->setText(nativePath);
        KSNotice::post({lang("FolderNotShownTitle"), lang("FolderNotShown"), nativePath});
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

void KSSavePhotoSuccessView::mousePressEvent(QMouseEvent *event) { event->accept(); }
void KSSavePhotoSuccessView::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }
void KSSavePhotoSuccessView::mouseDoubleClickEvent(QMouseEvent *event) { event->accept(); }
void KSSavePhotoSuccessView::mouseMoveEvent(QMouseEvent *event) { event->accept(); }
void KSSavePhotoSuccessView::wheelEvent(QWheelEvent *event) { event->accept(); }
void KSSavePhotoSuccessView::enterEvent(QEnterEvent *) {}
void KSSavePhotoSuccessView::leaveEvent(QEvent *) {}

void KSSavePhotoSuccessView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        actionForCancel();
    event->accept();
}

bool KSSavePhotoSuccessView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return KSColorView::eventFilter(watched, event);
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
