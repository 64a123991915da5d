#include "KSEraserErrorView.h"

#include "ui_KSEraserErrorView.h"

#include "CommLang.h"
#include "KSColorConst.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSTextStyle.h"
#include "KSViewAttach.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace {

// Larger than the 10 points of the original design: at 10 pixels on a 1x
// screen the Chinese message is not legible.
constexpr int kMessagePoints = 14;
constexpr int kAdvicePoints = 12;
constexpr int kButtonPoints = 12;
// As wide as the message, so that a long name never widens the screen.
constexpr int kFileNameWidth = 420;

void styleButton(KSHoverButton *button, const QString &titleKey, qint64 titleColor, qint64 background,
                 qint64 hoverBackground)
{
    button->setTitle(CommLang::GetAppLang(titleKey));
    button->setTitleColor(KSRGBHexColor(titleColor));
    button->setTitleFont(KSTextStyle::systemFont(kButtonPoints));
    button->setBackgroundColor(KSRGBHexColor(background));
    button->setBackgroundHoverColor(KSRGBHexColor(hoverBackground));
    button->setBorderRadius(3.0);
}

} // namespace

KSEraserErrorView::KSEraserErrorView(QWidget *parent)
    : KSColorView(parent), m_ui(std::make_unique<Ui::KSEraserErrorView>())
{
    m_ui->setupUi(this);

    KSTextStyle::apply(m_ui->titleLabel, KSRGBHexColor(0x333333), kMessagePoints, QFont::Medium);
    KSTextStyle::apply(m_ui->adviceLabel, KSRGBHexColor(0x666666), kAdvicePoints);
    // Which photo failed: after a drop or a start from outside the screen
    // is the first the user sees of it.
    m_fileLabel = new QLabel(this);
    m_fileLabel->setObjectName(QStringLiteral("fileLabel"));
    m_fileLabel->setAlignment(Qt::AlignCenter);
    m_fileLabel->setTextFormat(Qt::PlainText);
    KSTextStyle::apply(m_fileLabel, KSRGBHexColor(0x666666), kAdvicePoints);
    m_ui->rootLayout->insertWidget(m_ui->rootLayout->indexOf(m_ui->adviceLabel) + 1, m_fileLabel);
    setFailure({});

    styleButton(m_ui->backToHomeBtn, QStringLiteral("BackToHome"), 0x333333, 0xE4E4E4, 0xE5E5E9);
    styleButton(m_ui->refreshBtn, QStringLiteral("Retry"), 0xFFFFFF, 0x00CC8F, 0x00B17C);

    m_ui->backToHomeBtn->setTarget(this);
    m_ui->backToHomeBtn->setAction([this](KSHoverButton *sender) { actionForBack(sender); });
    m_ui->refreshBtn->setTarget(this);
    m_ui->refreshBtn->setAction([this](KSHoverButton *sender) { actionForRefresh(sender); });
    setFocusPolicy(Qt::StrongFocus);
}

void KSEraserErrorView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        actionForBack();
        return;
    }
    KSColorView::keyPressEvent(event);
}

KSEraserErrorView::~KSEraserErrorView() = default;

KSEraserErrorView *KSEraserErrorView::showErrorView(QWidget *host, ActionBackClosure closure,
                                                   const KSEraserFailure &failure, const QString &photoPath)
{
    if (!host)
        return nullptr;
    auto *view = loadViewFromNib<KSEraserErrorView>();
    if (!view)
        return nullptr;
    KSViewAttach::pinToEdges(view, host);
    view->setFailure(failure, photoPath);
    view->actionBackClosure = std::move(closure);
    view->setFocus(Qt::OtherFocusReason);
    return view;
}

void KSEraserErrorView::setFailure(const KSEraserFailure &failure, const QString &photoPath)
{
    const QString name = QFileInfo(photoPath).fileName();
    const QString elided = m_fileLabel->fontMetrics().elidedText(name, Qt::ElideMiddle, kFileNameWidth);
    m_fileLabel->setText(CommLang::GetAppLang(QStringLiteral("ErrorFileName")).arg(elided));
    m_fileLabel->setToolTip(photoPath);
    m_fileLabel->setVisible(!name.isEmpty());
    m_ui->titleLabel->setText(failure.message());
    m_ui->adviceLabel->setText(failure.advice());
    m_ui->refreshBtn->setVisible(failure.canRetry());
}

void KSEraserErrorView::actionForBack(QObject *)
{
    finish(true);
}

void KSEraserErrorView::actionForRefresh(QObject *)
{
    finish(false);
}

void KSEraserErrorView::finish(bool backToHome)
{
    // A second click can arrive before the deferred deletion; the screen
    // has already answered.
    if (m_finished)
        return;
    m_finished = true;
    if (auto closure = std::exchange(actionBackClosure, {}))
        closure(backToHome);
    KSViewAttach::removeFromSuperview(this);
}

QLabel *KSEraserErrorView::titleLabel() const
{
    return m_ui->titleLabel;
}

QLabel *KSEraserErrorView::fileLabel() const
{
    return m_fileLabel;
}

QLabel *KSEraserErrorView::adviceLabel() const
{
    return m_ui->adviceLabel;
}

KSHoverButton *KSEraserErrorView::refreshBtn() const
{
    return m_ui->refreshBtn;
}

KSHoverButton *KSEraserErrorView::backToHomeBtn() const
{
    return m_ui->backToHomeBtn;
}
