#include "CommLang.h"
#include "KSAppSetting.h"
#include "KSHoverButton.h"
#include "KSMenuItem.h"
#include "KSNibLoadable.h"
#include "KSSettingView.h"
#include "KSUserDefaultKit.h"
#include "KSViewAttach.h"
#include "Settle.h"

#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// What a menu hands its action: an item with the row's title and index.
void choose(KSSettingView *panel, void (KSSettingView::*action)(KSMenuItem *), const QString &title, int tag)
{
    std::unique_ptr<KSMenuItem> item(KSMenuItem::NewMenuItem());
    item->setTitle(title);
    item->setTag(tag);
    (panel->*action)(item.get());
}

int languageIndex(const QString &langName)
{
    const QList<CommLangInfo> languages = CommLang::GetAppLangInfos();
    for (int index = 0; index < languages.size(); ++index) {
        if (languages.at(index).langName == langName)
            return index;
    }
    return -1;
}

} // namespace

// Folder, size and format wait for Confirm; a picked language is stored at
// once and survives Cancel; Confirm after a change of language offers to quit.
class TestSettingView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pendingChoicesAreStoredOnlyOnConfirm_data();
    void pendingChoicesAreStoredOnlyOnConfirm();
    void pickedLanguageStaysStoredAfterCancel();
    void confirmAfterLanguageChangeTellsItsOwner();
    void pendingChoicesSurviveLanguageChange_data();
    void pendingChoicesSurviveLanguageChange();

private:
    QPointer<KSSettingView> openPanel();

    // How often the panels told of a changed language.
    int m_languageChanges = 0;

    std::unique_ptr<QWidget> m_window;
    QTemporaryDir m_dir;
};

void TestSettingView::init()
{
    for (const QString &key : {KSAppSetting::kOutputDir, KSAppSetting::kOutputSize, KSAppSetting::kOutputFormat})
        KSUserDefaultKit::removeObjectForKey(key);
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kFirstLaunch, false);
    KSAppSetting::setAppLanguage(QStringLiteral("English"));
    CommLang::setCurrentLanguage(QStringLiteral("English"));

    m_languageChanges = 0;
    m_window = std::make_unique<QWidget>();
    m_window->resize(1080, 512);
    m_window->show();
}

void TestSettingView::cleanup()
{
    m_window.reset();
    settle();
}

QPointer<KSSettingView> TestSettingView::openPanel()
{
    KSSettingView *panel = loadViewFromNib<KSSettingView>();
    KSViewAttach::pinToEdges(panel, m_window.get());
    panel->languageDidChangeClosure = [this] { ++m_languageChanges; };
    return panel;
}

void TestSettingView::pendingChoicesAreStoredOnlyOnConfirm_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("stored");

    QTest::newRow("confirm stores folder, size and format") << "confirm" << true;
    QTest::newRow("cancel stores nothing") << "cancel" << false;
    QTest::newRow("close stores nothing") << "close" << false;
}

void TestSettingView::pendingChoicesAreStoredOnlyOnConfirm()
{
    QFETCH(QString, ending);
    QFETCH(bool, stored);

    QPointer<KSSettingView> panel = openPanel();
    choose(panel, &KSSettingView::resultForSizeWithItem, QStringLiteral("4K"), 1);
    choose(panel, &KSSettingView::resultForFormatWithItem, QStringLiteral("PNG"), 1);

    panel->actionForOutputDir(panel->outputDirBtn());
    QFileDialog *chooser = panel->findChild<QFileDialog *>();
    QVERIFY(chooser);
    chooser->selectFile(m_dir.path());
    static_cast<QDialog *>(chooser)->accept();
    settle();
    QCOMPARE(panel->pendingOutputDirectory(), m_dir.path());
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kOutputDir));

    KSHoverButton *button = ending == QLatin1String("confirm") ? panel->confirmBtn()
                            : ending == QLatin1String("cancel") ? panel->cancelBtn()
                                                                : panel->closeBtn();
    QTest::mouseClick(button, Qt::LeftButton);
    settle();

    QVERIFY(!panel);
    QCOMPARE(m_languageChanges, 0);
    if (stored) {
        QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(KSAppSetting::kOutputSize), 4000);
        QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(KSAppSetting::kOutputFormat), QStringLiteral("png"));
        QCOMPARE(KSAppSetting::outputDirectory(), m_dir.path());
    } else {
        QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kOutputFormat));
        QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kOutputDir));
        QCOMPARE(KSAppSetting::outputSize(), 2000);
    }
}

void TestSettingView::pickedLanguageStaysStoredAfterCancel()
{
    QPointer<KSSettingView> panel = openPanel();
    const int chinese = languageIndex(QStringLiteral("ChineseSimplified"));
    QVERIFY(chinese >= 0);

    choose(panel, &KSSettingView::clickForMenuItemWithItem, QStringLiteral("简体中文"), chinese);
    // Stored at once, and the panel itself speaks the new language.
    QCOMPARE(KSAppSetting::appLanguage(), QStringLiteral("ChineseSimplified"));
    QCOMPARE(panel->titleLbl()->text(), CommLang::textInLanguage(QStringLiteral("Setting"),
                                                                  QStringLiteral("ChineseSimplified")).value());

    panel->actionForCancel();
    settle();

    QVERIFY(!panel);
    QCOMPARE(KSAppSetting::appLanguage(), QStringLiteral("ChineseSimplified"));
    QCOMPARE(m_languageChanges, 0);
}

void TestSettingView::confirmAfterLanguageChangeTellsItsOwner()
{
    QPointer<KSSettingView> panel = openPanel();
    choose(panel, &KSSettingView::clickForMenuItemWithItem, QStringLiteral("简体中文"),
           languageIndex(QStringLiteral("ChineseSimplified")));
    QTest::mouseClick(panel->confirmBtn(), Qt::LeftButton);
    settle();

    // The panel is gone before its owner offers the restart.
    QVERIFY(!panel);
    QCOMPARE(m_languageChanges, 1);
    QCOMPARE(KSAppSetting::appLanguage(), QStringLiteral("ChineseSimplified"));

    // Confirming without a change of language offers nothing.
    panel = openPanel();
    panel->actionForConfirm();
    settle();
    QCOMPARE(m_languageChanges, 1);
}

void TestSettingView::pendingChoicesSurviveLanguageChange_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    QTest::newRow("English to Chinese") << "English" << "ChineseSimplified";
    QTest::newRow("Chinese to English") << "ChineseSimplified" << "English";
}

void TestSettingView::pendingChoicesSurviveLanguageChange()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    KSAppSetting::setAppLanguage(from);
    CommLang::setCurrentLanguage(from);
    KSAppSetting::setOutputFormat(QStringLiteral("PNG"));
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputSize, 4000);
    QPointer<KSSettingView> panel = openPanel();

    // "Original" and JPG are chosen under their titles in one language, then
    // the language changes before Confirm: both must be kept, and shown in
    // the new language.
    const int original = int(KSAppSetting::fileSizes().size()) - 1;
    choose(panel, &KSSettingView::resultForSizeWithItem, KSAppSetting::fileSizes().at(original).title, original);
    choose(panel, &KSSettingView::resultForFormatWithItem, KSAppSetting::outputFormats().at(0).title, 0);
    choose(panel, &KSSettingView::clickForMenuItemWithItem, QString(), languageIndex(to));
    QCOMPARE(panel->outputSizeBtn()->title(), CommLang::textInLanguage(QStringLiteral("OriginalSize"), to).value());
    QCOMPARE(panel->outputFormatBtn()->title(), CommLang::textInLanguage(QStringLiteral("JpgIntroduce"), to).value());

    panel->actionForConfirm();
    settle();

    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(KSAppSetting::kOutputSize),
             KSAppSetting::kOriginalOutputSize);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(KSAppSetting::kOutputFormat), QStringLiteral("jpg"));
    QCOMPARE(m_languageChanges, 1);

    // Opened again, the panel shows the stored values in the new language.
    panel = openPanel();
    QCOMPARE(panel->outputSizeBtn()->title(), CommLang::textInLanguage(QStringLiteral("OriginalSize"), to).value());
    panel->actionForCancel();
    settle();
}

QTEST_MAIN(TestSettingView)
#include "tst_setting_view.moc"
