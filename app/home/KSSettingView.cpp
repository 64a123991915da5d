#include "KSSettingView.h"

#include "ui_KSSettingView.h"

#include "CommLang.h"
#include "KSAppSetting.h"
#include "KSColorConst.h"
#include "KSCommonUtils.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSMenu.h"
#include "KSMenuItem.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "KSViewAttach.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QUrl>
#include <algorithm>

namespace {

QString caption(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key)) + QLatin1Char(':');
}

void styleValueButton(KSHoverButton *button)
{
    button->setTitleFont(KSTextStyle::systemFont(12));
    button->setTitleColor(KSRGBHexColor(0x333333));
    button->setHasBorder(true);
    button->setBorderColor(KSRGBHexColor(0xDDDDDD));
    button->setBorderRadius(2.0);
    button->setBorderLineWith(1.0);
}

void setAllImages(KSHoverButton *button, const QString &name)
{
    const QPixmap image = KSImageNamed(name);
    button->setImage(image);
    button->setHoverImage(image);
    button->setDownImage(image);
}

// The menus of the panel share their frame; rows differ per menu.
KSMenu *newMenu(int rowHeight, int itemFontSize)
{
    auto *menu = new KSMenu;
    menu->setRadius(4.0);
    menu->setRowHeight(rowHeight);
    menu->setBackgroundColor(Qt::white);
    menu->setItemFont(KSTextStyle::systemFont(itemFontSize));
    menu->setXOffsetBetweenIconTitle(-30.0);
    return menu;
}

KSMenuItem *newItem(const QString &title, int tag, const QColor &color, const QColor &hoverColor)
{
    KSMenuItem *item = KSMenuItem::NewMenuItem();
    item->setTitle(title);
    item->setTag(tag);
    item->setTitleColor(color);
    item->setTitleHoverColor(hoverColor);
    item->setTitleDownColor(hoverColor);
    return item;
}

// Rows of the size and format menus.
void addTableItems(KSMenu *menu, const QStringList &titles, QObject *target, const KSMenuItem::Action &action)
{
    for (int index = 0; index < titles.size(); ++index) {
        KSMenuItem *item = newItem(titles.at(index), index, KSRGBHexColor(0x333333), KSRGBHexColor(0x00CC8F));
        item->setHoverBackgroundColor(KSRGBAColor(0, 204, 143, 0.1));
        item->setTarget(target);
        item->setAction(action);
        menu->addItem(item);
    }
}

void popAt(KSMenu *menu, QWidget *sender)
{
    // As wide as the value button it drops from, or wider for long titles.
    if (sender)
        menu->setMenuWidth(std::max(sender->width(), menu->width()));
    menu->popMenuToView(sender, QPoint(0, 0), KSMenu::JoinBelow, KSMenu::AlignStart);
}

QStringList sizeTitles()
{
    QStringList titles;
    for (const auto &row : KSAppSetting::fileSizes())
        titles.append(row.title);
    return titles;
}

QStringList formatTitles()
{
    QStringList titles;
    for (const auto &row : KSAppSetting::outputFormats())
        titles.append(row.title);
    return titles;
}

QString languageDisplayName()
{
    const QString language = KSAppSetting::appLanguage();
    if (auto info = CommLang::GetAppLangInfoWithLangName(language))
        return info->langDisplayName;
    if (auto info = CommLang::GetAppLangInfoWithLangName(CommLang::GetLangName(language)))
        return info->langDisplayName;
    return {};
}

} // namespace

KSSettingView::KSSettingView(QWidget *parent)
    : KSColorView(parent), m_ui(std::make_unique<Ui::KSSettingView>()), m_defaultLanguage(KSAppSetting::appLanguage())
{
    m_ui->setupUi(this);
    applyStyle();
    loadValues();
    setFocusPolicy(Qt::StrongFocus);

    const auto wire = [this](KSHoverButton *button, auto action) {
        button->setTarget(this);
        button->setAction([this, action](KSHoverButton *sender) { (this->*action)(sender); });
    };
    wire(m_ui->dirBtn, &KSSettingView::actionForOutputDir);
    wire(m_ui->outputDirBtn, &KSSettingView::actionForOutputDir);
    wire(m_ui->outputSizeBtn, &KSSettingView::actionForSize);
    wire(m_ui->outputFormatBtn, &KSSettingView::actionForFormat);
    wire(m_ui->appLanguageBtn, &KSSettingView::actionForManagerAppLanuage);
    wire(m_ui->closeBtn, &KSSettingView::actionForCancel);
    wire(m_ui->cancelBtn, &KSSettingView::actionForCancel);
    wire(m_ui->confirmBtn, &KSSettingView::actionForConfirm);
}

KSSettingView::~KSSettingView() = default;

void KSSettingView::applyStyle()
{
    // The panel dims whatever screen it lies over; its card carries the form.
    setColor(KSRGBHexColor(0x000000, 0.28));
    m_ui->panelView->setColor(Qt::white);
    m_ui->panelView->setRadius(8.0);

    KSTextStyle::apply(m_ui->titleLbl, KSRGBHexColor(0x333333), 18);
    for (QLabel *label : {m_ui->outputDirLbl, m_ui->outputSizeLbl, m_ui->appLanguageLabel, m_ui->outputFormatLbl})
        KSTextStyle::apply(label, KSRGBHexColor(0x333333), 14);
    for (KSHoverButton *button : {m_ui->dirBtn, m_ui->outputSizeBtn, m_ui->appLanguageBtn, m_ui->outputFormatBtn})
        styleValueButton(button);

    setAllImages(m_ui->outputDirBtn, QStringLiteral("settingFolder"));
    setAllImages(m_ui->closeBtn, QStringLiteral("mainCloseGray"));

    KSHoverButton *cancel = m_ui->cancelBtn;
    cancel->setTitleFont(KSTextStyle::systemFont(12));
    cancel->setTitleColor(KSRGBHexColor(0x333333));
    cancel->setBackgroundColor(KSRGBHexColor(0xF3F3F3));
    cancel->setBackgroundHoverColor(KSRGBHexColor(0xD4D4D4));
    cancel->setBorderRadius(4.0);

    KSHoverButton *confirm = m_ui->confirmBtn;
    confirm->setTitleFont(KSTextStyle::systemFont(12));
    confirm->setTitleColor(Qt::white);
    confirm->setTitleHoverColor(Qt::white);
    confirm->setTitleDownColor(Qt::white);
    confirm->setBackgroundColor(KSRGBHexColor(0x00CC8F));
    confirm->setBackgroundHoverColor(KSRGBHexColor(0x00B17C));
    confirm->setBorderRadius(4.0);
}

void KSSettingView::loadValues()
{
    setOutputDirectoryShown(KSAppSetting::outputDirectory());
    m_sizeRow = int(std::max<qsizetype>(0, sizeTitles().indexOf(KSAppSetting::outputSizeTitle())));
    m_formatRow = int(std::max<qsizetype>(0, formatTitles().indexOf(KSAppSetting::outputFormatTitle())));
    loadTexts();
}

void KSSettingView::loadTexts()
{
    m_ui->titleLbl->setText(CommLang::GetAppLang(QStringLiteral("Setting")));
    m_ui->outputDirLbl->setText(caption("OutputDir"));
    m_ui->outputSizeLbl->setText(caption("MaxLength"));
    m_ui->appLanguageLabel->setText(caption("Language"));
    m_ui->outputFormatLbl->setText(caption("OutputFormat"));
    m_ui->cancelBtn->setTitle(CommLang::GetAppLang(QStringLiteral("Cancel")));
    m_ui->confirmBtn->setTitle(CommLang::GetAppLang(QStringLiteral("Yes")));
    m_ui->appLanguageBtn->setTitle(languageDisplayName());
    // The pending choices are rows, shown in whatever language is current.
    m_ui->outputSizeBtn->setTitle(sizeTitles().value(m_sizeRow));
    m_ui->outputFormatBtn->setTitle(formatTitles().value(m_formatRow));
}

void KSSettingView::setOutputDirectoryShown(const QString &path)
{
    m_outputDirectory = path;
    KSHoverButton *button = m_ui->dirBtn;
    const int room = button->minimumWidth() - 16;
    const QFontMetrics metrics(button->textFiled()->font());
    button->setTitle(metrics.elidedText(path, Qt::ElideMiddle, room));
    button->setToolTip(path);
}

void KSSettingView::actionForOutputDir(QObject *)
{
    auto *dialog = new QFileDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    const QUrl start = QUrl::fromLocalFile(KSAppSetting::outputDirectory());
    if (start.isValid())
        dialog->setDirectoryUrl(start);
    // The dialog is the panel's child: a panel that has gone takes its
    // chooser with it, and a queued answer for it is dropped.
    connect(
        dialog, &QFileDialog::filesSelected, this,
        [this](const QStringList &folders) {
            if (!folders.isEmpty())
                setOutputDirectoryShown(folders.constFirst());
        },
        Qt::QueuedConnection);
    dialog->open();
}

void KSSettingView::actionForSize(QWidget *sender)
{
    KSMenu *menu = newMenu(30, 14);
    addTableItems(menu, sizeTitles(), this, [this](KSMenuItem *item) { resultForSizeWithItem(item); });
    popAt(menu, sender);
}

void KSSettingView::actionForFormat(QWidget *sender)
{
    KSMenu *menu = newMenu(30, 14);
    addTableItems(menu, formatTitles(), this, [this](KSMenuItem *item) { resultForFormatWithItem(item); });
    popAt(menu, sender);
}

void KSSettingView::actionForManagerAppLanuage(QWidget *sender)
{
    KSMenu *menu = newMenu(42, 12);
    const QList<CommLangInfo> languages = CommLang::GetAppLangInfos();
    for (int index = 0; index < languages.size(); ++index) {
        KSMenuItem *item = newItem(languages.at(index).langDisplayName, index, KSRGBHexColor(0x202020),
                                   KSRGBHexColor(0xFD715B));
        item->setTarget(this);
        item->setAction([this](KSMenuItem *chosen) { clickForMenuItemWithItem(chosen); });
        menu->addItem(item);
    }
    popAt(menu, sender);
}

void KSSettingView::resultForSizeWithItem(KSMenuItem *item)
{
    const QStringList titles = sizeTitles();
    if (!item || item->tag() < 0 || item->tag() >= titles.size())
        return;
    m_sizeRow = item->tag();
    m_ui->outputSizeBtn->setTitle(titles.at(m_sizeRow));
}

void KSSettingView::resultForFormatWithItem(KSMenuItem *item)
{
    const QStringList titles = formatTitles();
    if (!item || item->tag() < 0 || item->tag() >= titles.size())
        return;
    m_formatRow = item->tag();
    m_ui->outputFormatBtn->setTitle(titles.at(m_formatRow));
}

void KSSettingView::clickForMenuItemWithItem(KSMenuItem *item)
{
    const QList<CommLangInfo> languages = CommLang::GetAppLangInfos();
    if (!item || item->tag() < 0 || item->tag() >= languages.size())
        return;

    KSAppSetting::setAppLanguage(languages.at(item->tag()).langName);
    KSCommonUtils::setAppInfo(KSAppSetting::appInfo());
    loadTexts();
}

void KSSettingView::actionForConfirm(QObject *)
{
    // Stored by row: a title read back from a button may belong to the
    // language the panel was opened in.
    KSAppSetting::setOutputFormat(formatTitles().value(m_formatRow));
    KSAppSetting::setOutputSize(sizeTitles().value(m_sizeRow));
    KSAppSetting::setOutputDirectory(m_outputDirectory);

    const bool languageChanged = m_defaultLanguage != KSAppSetting::appLanguage();
    KSViewAttach::removeFromSuperview(this);
    if (languageChanged && languageDidChangeClosure)
        std::exchange(languageDidChangeClosure, {})();
}

void KSSettingView::actionForCancel(QObject *)
{
    KSViewAttach::removeFromSuperview(this);
}

void KSSettingView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        actionForCancel();
        return;
    }
    KSColorView::keyPressEvent(event);
}

void KSSettingView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void KSSettingView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void KSSettingView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

QLabel *KSSettingView::titleLbl() const { return m_ui->titleLbl; }
KSHoverButton *KSSettingView::dirBtn() const { return m_ui->dirBtn; }
KSHoverButton *KSSettingView::outputDirBtn() const { return m_ui->outputDirBtn; }
KSHoverButton *KSSettingView::outputSizeBtn() const { return m_ui->outputSizeBtn; }
KSHoverButton *KSSettingView::appLanguageBtn() const { return m_ui->appLanguageBtn; }
KSHoverButton *KSSettingView::outputFormatBtn() const { return m_ui->outputFormatBtn; }
KSHoverButton *KSSettingView::closeBtn() const { return m_ui->closeBtn; }
KSHoverButton *KSSettingView::cancelBtn() const { return m_ui->cancelBtn; }
KSHoverButton *KSSettingView::confirmBtn() const { return m_ui->confirmBtn; }
