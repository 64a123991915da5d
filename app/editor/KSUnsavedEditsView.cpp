#include "KSUnsavedEditsView.h"

#include "ui_KSUnsavedEditsView.h"

#include "CommLang.h"
#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSNibLoadable.h"
#include "KSTextStyle.h"

namespace {
QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}
} // namespace

KSUnsavedEditsView::KSUnsavedEditsView(QWidget *parent)
    : KSOverlayView(parent), m_ui(std::make_unique<Ui::KSUnsavedEditsView>())
{
    m_ui->setupUi(this);
    KSColorView *card = m_ui->centerView;
    card->setColor(Qt::white);
    card->setRadius(3.0);

    const QColor text = KSRGBHexColor(0x333333);
    m_ui->tipsLabel->setText(lang("UnsavedEditsTitle"));
    KSTextStyle::apply(m_ui->tipsLabel, text, 12, QFont::Medium);
    m_ui->titleLabel->setText(lang("UnsavedEditsMessage"));
    KSTextStyle::apply(m_ui->titleLabel, text, 11);

    m_ui->cancelBtn->setTitle(lang("Cancel"));
    m_ui->discardBtn->setTitle(lang("DontSave"));
    for (KSHoverButton *button : {m_ui->cancelBtn, m_ui->discardBtn})
        KSEditPanelStyle::styleDialogButton(button, text, KSRGBHexColor(0xF3F3F3), KSRGBHexColor(0xD4D4D4));
    m_ui->saveBtn->setTitle(lang("Save"));
    KSEditPanelStyle::styleAccentButton(m_ui->saveBtn);
    for (KSHoverButton *button : {m_ui->cancelBtn, m_ui->discardBtn, m_ui->saveBtn})
        KSEditPanelStyle::fitToTitle(button);

    m_ui->closeBtn->setImage(KSImageNamed(QStringLiteral("mainCloseGray"), QSize(12, 12)));
    m_ui->closeBtn->setBackgroundHoverColor(KSRGBHexColor(0xF3F3F3));
    m_ui->closeBtn->setBorderRadius(4.0);

    for (KSHoverButton *button : {m_ui->cancelBtn, m_ui->discardBtn, m_ui->saveBtn, m_ui->closeBtn}) {
        button->setTarget(this);
        button->setAction([this](KSHoverButton *sender) { actionForAnswer(sender); });
    }
}

KSUnsavedEditsView::~KSUnsavedEditsView() = default;

KSUnsavedEditsView *KSUnsavedEditsView::ask(QWidget *host, std::function<void(Answer answer)> answered)
{
    if (!host)
        return nullptr;
    auto *view = loadViewFromNib<KSUnsavedEditsView>(host);
    if (!view)
        return nullptr;
    view->m_answered = std::move(answered);
    attachTo(view, host);
    return view;
}

void KSUnsavedEditsView::actionForAnswer(KSHoverButton *sender)
{
    if (sender == m_ui->saveBtn)
        answer(Answer::save);
    else if (sender == m_ui->discardBtn)
        answer(Answer::discard);
    else
        answer(Answer::cancel);
}

void KSUnsavedEditsView::answer(Answer answer)
{
    // Once: a second click while the overlay fades out changes nothing.
    std::function<void(Answer)> answered = std::exchange(m_answered, {});
    removeFromSuperview();
    if (answered)
        answered(answer);
}

QLabel *KSUnsavedEditsView::titleLabel() const { return m_ui->titleLabel; }
KSHoverButton *KSUnsavedEditsView::cancelBtn() const { return m_ui->cancelBtn; }
KSHoverButton *KSUnsavedEditsView::discardBtn() const { return m_ui->discardBtn; }
KSHoverButton *KSUnsavedEditsView::saveBtn() const { return m_ui->saveBtn; }
KSHoverButton *KSUnsavedEditsView::closeBtn() const { return m_ui->closeBtn; }
