#include "CommLang.h"
#include "KSAppSetting.h"
#include "KSCustomSize.h"
#include "KSEditChangeSizeMetrics.h"
#include "KSEditChangeSizeTabelCellView.h"
#include "KSEditChangeSizeView.h"
#include "KSEditSizeOptionsView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "KSUserDefaultKit.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <memory>

// The size panel: its groups in each language, what a click on a row
// reports, the marking of the chosen preset, and the width it asks for.
class TestEditChangeSizeView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void groupsFollowTheLanguage_data();
    void groupsFollowTheLanguage();
    void newPanelShowsRegularWithSourceMarked();
    void clickingARowReportsItsSize_data();
    void clickingARowReportsItsSize();
    void chosenPresetIsMarkedOnlyInItsGroup();
    void certificateListsKeepTheirFirstTexts();
    void customSizeIsTypedAndRemembered();
    void fitModeIsChosenByItsButtons();
    void presetIsChosenByKey();
    void widthRule_data();
    void widthRule();
    void panelIsWideEnoughForItsTextsAndButtons_data();
    void panelIsWideEnoughForItsTextsAndButtons();

private:
    struct Report
    {
        double width;
        double height;
    };
    std::unique_ptr<KSEditChangeSizeView> newPanel(QList<Report> *reports = nullptr);
    static void useLanguage(const QString &langName);
    static void clickRow(KSEditChangeSizeView *panel, int row);
    static KSHoverButton *groupButton(KSEditChangeSizeView *panel, int group);
};

void TestEditChangeSizeView::init()
{
    for (const QString &key : {KSCustomSize::kWidthKey, KSCustomSize::kHeightKey, KSCustomSize::kUnitKey,
                               KSCustomSize::kDpiKey})
        KSUserDefaultKit::removeObjectForKey(key);
}

void TestEditChangeSizeView::useLanguage(const QString &langName)
{
    KSAppSetting::appLanguage(); // the first call fixes the language from the system; later ones read the store
    KSAppSetting::setAppLanguage(langName);
    CommLang::setCurrentLanguage(langName);
}

std::unique_ptr<KSEditChangeSizeView> TestEditChangeSizeView::newPanel(QList<Report> *reports)
{
    std::unique_ptr<KSEditChangeSizeView> panel(loadViewFromNib<KSEditChangeSizeView>());
    if (!panel)
        return panel;
    if (reports)
        panel->returnClosure = [reports](double width, double height) { reports->append({width, height}); };
    panel->resize(300, 600);
    panel->show();
    return panel;
}

void TestEditChangeSizeView::clickRow(KSEditChangeSizeView *panel, int row)
{
    QTableWidget *table = panel->tableView();
    table->scrollTo(table->model()->index(row, 0));
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QVERIFY2(cell.isValid(), "row is not shown");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

KSHoverButton *TestEditChangeSizeView::groupButton(KSEditChangeSizeView *panel, int group)
{
    return QList<KSHoverButton *>{panel->regularBtn(), panel->certificateBtn(), panel->eBusinessBtn()}.at(group);
}

void TestEditChangeSizeView::groupsFollowTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QList<QSize>>("certificateSizes");

    // Every ID size in every language, the language's own first, then the
    // custom size (35 x 45 mm at 300 dpi until one is typed).
    const QList<QSize> chinese{{259, 377}, {295, 413}, {390, 567}, {413, 531}, {413, 579}};
    const QList<QSize> oversea{{600, 600}, {466, 600}, {466, 600}};
    QTest::newRow("ChineseSimplified: Chinese sizes first") << QStringLiteral("ChineseSimplified")
        << chinese + oversea + QList<QSize>{{413, 531}};
    QTest::newRow("English: overseas sizes first") << QStringLiteral("English")
        << oversea + chinese + QList<QSize>{{413, 531}};
}

void TestEditChangeSizeView::groupsFollowTheLanguage()
{
    QFETCH(QString, language);
    QFETCH(QList<QSize>, certificateSizes);

    useLanguage(language);
    auto panel = newPanel();
    QVERIFY(panel);
    const QList<KSEditChangeSizeList> &lists = panel->dataArray();
    QCOMPARE(lists.size(), 3);
    QCOMPARE(lists.at(0).title, QStringLiteral("Regular"));
    QCOMPARE(lists.at(1).title, QStringLiteral("Certificate"));
    QCOMPARE(lists.at(2).title, QStringLiteral("EBusiness"));

    QCOMPARE(lists.at(0).items.size(), 1);
    QCOMPARE(lists.at(0).items.first().width, 0);
    QCOMPARE(lists.at(0).items.first().height, 0);
    QVERIFY(lists.at(0).items.first().tips.isEmpty());

    QCOMPARE(lists.at(1).items.size(), certificateSizes.size());
    for (int row = 0; row < certificateSizes.size(); ++row) {
        const KSEditChangeSizeItem &item = lists.at(1).items.at(row);
        QCOMPARE(QSize(int(item.width), int(item.height)), certificateSizes.at(row));
        QVERIFY(!item.title.isEmpty());
        QVERIFY2(!item.tips.isEmpty(), "every certificate size has a description");
    }

    QCOMPARE(lists.at(2).items.size(), 2);
    QCOMPARE(lists.at(2).items.at(0).title, QStringLiteral("1000x1000px"));
    QCOMPARE(lists.at(2).items.at(1).title, QStringLiteral("800x800px"));
    QCOMPARE(lists.at(2).items.at(0).tips, CommLang::GetAppLang(QStringLiteral("ProductImg")));

    // The table shows the group its button names.
    panel->actionForList(panel->certificateBtn());
    QCOMPARE(panel->chooseList(), 1);
    QCOMPARE(panel->numberOfRowsInTableView(), certificateSizes.size());
    QCOMPARE(panel->tableView()->rowCount(), certificateSizes.size());
}

void TestEditChangeSizeView::newPanelShowsRegularWithSourceMarked()
{
    useLanguage(QStringLiteral("English"));
    QList<Report> reports;
    auto panel = newPanel(&reports);
    QVERIFY(panel);
    QCOMPARE(panel->chooseList(), 0);
    QCOMPARE(panel->tableView()->rowCount(), 1);
    QVERIFY(panel->regularBtn()->isSelected());
    QVERIFY(!panel->certificateBtn()->isSelected());
    QVERIFY(!panel->eBusinessBtn()->isSelected());
    KSEditChangeSizeTabelCellView *source = panel->viewForRow(0);
    QVERIFY(source);
    QVERIFY(source->isSelected());
    QCOMPARE(source->titleLbl()->text(), CommLang::GetAppLang(QStringLiteral("Source")));
    QVERIFY(source->tipLbl()->isHidden());
    QVERIFY(reports.isEmpty());
}

void TestEditChangeSizeView::clickingARowReportsItsSize_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");

    QTest::newRow("regular: the source size") << QStringLiteral("English") << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("1000x1000px") << QStringLiteral("English") << 2 << 0 << 1000.0 << 1000.0;
    QTest::newRow("800x800px") << QStringLiteral("ChineseSimplified") << 2 << 1 << 800.0 << 800.0;
    QTest::newRow("Chinese 1-inch") << QStringLiteral("ChineseSimplified") << 1 << 1 << 295.0 << 413.0;
    QTest::newRow("Chinese 2-inch") << QStringLiteral("ChineseSimplified") << 1 << 4 << 413.0 << 579.0;
    QTest::newRow("US passport") << QStringLiteral("English") << 1 << 0 << 600.0 << 600.0;
    QTest::newRow("Schengen visa") << QStringLiteral("English") << 1 << 2 << 466.0 << 600.0;
}

void TestEditChangeSizeView::clickingARowReportsItsSize()
{
    QFETCH(QString, language);
    QFETCH(int, group);
    QFETCH(int, row);
    QFETCH(double, width);
    QFETCH(double, height);

    useLanguage(language);
    QList<Report> reports;
    auto panel = newPanel(&reports);
    QVERIFY(panel);
    QTest::mouseClick(groupButton(panel.get(), group), Qt::LeftButton);
    QCOMPARE(panel->chooseList(), group);
    QVERIFY(groupButton(panel.get(), group)->isSelected());
    QVERIFY(reports.isEmpty());

    clickRow(panel.get(), row);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().width, width);
    QCOMPARE(reports.first().height, height);
    QCOMPARE(panel->selectList(), group);
    QCOMPARE(panel->selectItem(), row);
    for (int other = 0; other < panel->tableView()->rowCount(); ++other)
        QCOMPARE(panel->viewForRow(other)->isSelected(), other == row);
}

void TestEditChangeSizeView::chosenPresetIsMarkedOnlyInItsGroup()
{
    useLanguage(QStringLiteral("English"));
    QList<Report> reports;
    auto panel = newPanel(&reports);
    QVERIFY(panel);
    panel->actionForList(panel->eBusinessBtn());
    clickRow(panel.get(), 1);

    panel->actionForList(panel->certificateBtn());
    for (int row = 0; row < panel->tableView()->rowCount(); ++row)
        QVERIFY(!panel->viewForRow(row)->isSelected());
    // Row 0 here is not the chosen preset although the row number matches
    // the one chosen in the other group: a click on it is a new choice.
    clickRow(panel.get(), 0);
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports.last().width, 600.0);

    panel->actionForList(panel->eBusinessBtn());
    QVERIFY(!panel->viewForRow(0)->isSelected());
    QVERIFY(!panel->viewForRow(1)->isSelected());
    panel->actionForList(panel->certificateBtn());
    QVERIFY(panel->viewForRow(0)->isSelected());
    QVERIFY(panel->certificateBtn()->isSelected());
    QVERIFY(!panel->eBusinessBtn()->isSelected());
    QCOMPARE(reports.size(), 2);
}

void TestEditChangeSizeView::certificateListsKeepTheirFirstTexts()
{
    // Whatever language built each certificate list first, its texts stay for
    // the run; the application language only picks which list a panel shows.
    for (const QString &language : {QStringLiteral("ChineseSimplified"), QStringLiteral("English")}) {
        useLanguage(language);
        // The custom size's row is made with each panel; the fixed rows are not.
        QList<KSEditChangeSizeItem> first = newPanel()->dataArray().at(1).items;
        first.removeLast();
        const QString other = language == QStringLiteral("English") ? QStringLiteral("ChineseSimplified")
                                                                    : QStringLiteral("English");
        CommLang::setCurrentLanguage(other);
        auto panel = newPanel();
        QCOMPARE(panel->dataArray().at(1).items.size(), first.size() + 1);
        for (const KSEditChangeSizeItem &item : first) {
            const auto same = std::find_if(panel->dataArray().at(1).items.begin(), panel->dataArray().at(1).items.end(),
                                           [&item](const KSEditChangeSizeItem &other) { return other.key == item.key; });
            QCOMPARE(same->title, item.title);
            QCOMPARE(same->tips, item.tips);
        }
        // The groups built with each panel follow the current texts.
        QCOMPARE(panel->dataArray().at(2).items.first().tips,
                 CommLang::textInLanguage(QStringLiteral("ProductImg"), other).value());
    }
}

void TestEditChangeSizeView::customSizeIsTypedAndRemembered()
{
    useLanguage(QStringLiteral("English"));
    QList<Report> reports;
    auto panel = newPanel(&reports);
    KSEditSizeOptionsView *options = panel->optionsView();
    QTest::mouseClick(panel->certificateBtn(), Qt::LeftButton);
    const int customRow = panel->tableView()->rowCount() - 1;
    QVERIFY(!options->customSizeView()->isVisible());
    clickRow(panel.get(), customRow);
    QVERIFY(panel->chosenItem().isCustom);
    QVERIFY(options->customSizeView()->isVisible());
    QVERIFY2(options->printSheetBtn()->isVisible(), "a size in millimetres prints");

    // 2 x 3 in at 200 dpi, typed as a user does.
    options->customUnitBox()->setCurrentIndex(options->customUnitBox()->findText(QStringLiteral("in")));
    options->customWidthBox()->setValue(2);
    options->customHeightBox()->setValue(3);
    options->customDpiBox()->setValue(200);
    QCOMPARE(reports.last().width, 400.0);
    QCOMPARE(reports.last().height, 600.0);
    QCOMPARE(panel->chosenItem().dotsPerInch(), QSizeF(200, 200));
    QVERIFY(panel->viewForRow(customRow)->tipLbl()->text().contains(QStringLiteral("400 × 600 px")));

    // A size in pixels has no printed size and no print sheet.
    options->customUnitBox()->setCurrentIndex(options->customUnitBox()->findText(QStringLiteral("px")));
    QCOMPARE(reports.last().width, 2.0);
    QVERIFY(!panel->chosenItem().hasPrintSize());
    QVERIFY(!options->printSheetBtn()->isVisible());
    options->customWidthBox()->setValue(1200);
    options->customHeightBox()->setValue(900);

    // A new run reads the settings afresh: the panel offers what was typed.
    auto next = newPanel();
    const KSEditChangeSizeItem remembered = next->dataArray().at(1).items.last();
    QVERIFY(remembered.isCustom);
    QCOMPARE(QSize(int(remembered.width), int(remembered.height)), QSize(1200, 900));
    QCOMPARE(KSCustomSize::load().unit, KSCustomSize::Unit::px);
    // An unusable size is neither reported nor remembered, and the panel says
    // why: a side may reach the limit, the area may not pass it.
    const int before = reports.size();
    options->customWidthBox()->setValue(KSCustomSize::kMaxPixels);
    QVERIFY(options->notice().isEmpty());
    options->customHeightBox()->setValue(KSCustomSize::kMaxPixels);
    QVERIFY(options->notice().contains(QStringLiteral("200 megapixels")));
    options->customUnitBox()->setCurrentIndex(options->customUnitBox()->findText(QStringLiteral("mm")));
    options->customDpiBox()->setValue(KSCustomSize::kMaxDpi);
    QCOMPARE(reports.size(), before + 1);
    QCOMPARE(KSCustomSize::load().pixelSize(), std::optional<QSize>(QSize(30000, 900)));
    // A usable size again clears the words.
    options->customUnitBox()->setCurrentIndex(options->customUnitBox()->findText(QStringLiteral("px")));
    options->customHeightBox()->setValue(600);
    QCOMPARE(reports.size(), before + 2);
    QVERIFY(options->notice().isEmpty());
}

void TestEditChangeSizeView::fitModeIsChosenByItsButtons()
{
    useLanguage(QStringLiteral("English"));
    auto panel = newPanel();
    KSEditSizeOptionsView *options = panel->optionsView();
    QList<KSFitMode> modes;
    options->fitModeClosure = [&modes](KSFitMode mode) { modes.append(mode); };
    QCOMPARE(panel->fitMode(), KSFitMode::subject);
    QVERIFY(options->fitSubjectBtn()->isSelected());

    QTest::mouseClick(options->fitPhotoBtn(), Qt::LeftButton);
    QCOMPARE(modes, QList<KSFitMode>{KSFitMode::photo});
    QVERIFY(options->fitPhotoBtn()->isSelected());
    QVERIFY(!options->fitSubjectBtn()->isSelected());

    // A restore marks the mode without reporting it.
    panel->setFitMode(KSFitMode::subject);
    QCOMPARE(panel->fitMode(), KSFitMode::subject);
    QCOMPARE(modes.size(), 1);
}

void TestEditChangeSizeView::presetIsChosenByKey()
{
    useLanguage(QStringLiteral("ChineseSimplified"));
    QList<Report> reports;
    auto panel = newPanel(&reports);
    QVERIFY(panel->choosePreset(QStringLiteral("OverseaInch1")));
    QCOMPARE(panel->chooseList(), 1);
    QVERIFY(panel->certificateBtn()->isSelected());
    QCOMPARE(panel->chosenItem().key, QStringLiteral("OverseaInch1"));
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.last().width, 600.0);
    QVERIFY(panel->viewForRow(panel->selectItem())->isSelected());

    QVERIFY(!panel->choosePreset(QStringLiteral("NoSuchSize")));
    QCOMPARE(panel->chosenItem().key, QStringLiteral("OverseaInch1"));
    QCOMPARE(reports.size(), 1);
}

void TestEditChangeSizeView::widthRule_data()
{
    QTest::addColumn<QList<int>>("textWidths");
    QTest::addColumn<double>("eBusinessLeft");
    QTest::addColumn<int>("buttonRow");
    QTest::addColumn<int>("width");

    QTest::newRow("texts decide: widest + 74") << QList<int>{120, 151, 0} << 150.0 << 200 << 225;
    QTest::newRow("button decides: left + 48") << QList<int>{80, 100} << 200.0 << 240 << 248;
    QTest::newRow("button edge is truncated, not rounded") << QList<int>{10} << 199.9 << 0 << 247;
    QTest::newRow("no texts: 308 + 74") << QList<int>{} << 100.0 << 0 << 382;
    QTest::newRow("no texts, far button") << QList<int>{} << 400.0 << 0 << 448;
    // A long last title needs more than 48 points beside its left edge.
    QTest::newRow("button row decides") << QList<int>{168} << 166.0 << 277 << 277;
}

void TestEditChangeSizeView::widthRule()
{
    QFETCH(QList<int>, textWidths);
    QFETCH(double, eBusinessLeft);
    QFETCH(int, buttonRow);
    QFETCH(int, width);
    QCOMPARE(KSEditChangeSizeMetrics::calculativeWidth(textWidths, eBusinessLeft, buttonRow), width);
}

void TestEditChangeSizeView::panelIsWideEnoughForItsTextsAndButtons_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << QStringLiteral("English");
    QTest::newRow("ChineseSimplified") << QStringLiteral("ChineseSimplified");
}

void TestEditChangeSizeView::panelIsWideEnoughForItsTextsAndButtons()
{
    QFETCH(QString, language);
    useLanguage(language);
    auto panel = newPanel();
    QVERIFY(panel);
    const int width = panel->calculativeWidth();

    const QFont font = KSTextStyle::systemFont(12);
    for (const KSEditChangeSizeList &list : panel->dataArray()) {
        for (const KSEditChangeSizeItem &item : list.items) {
            QVERIFY(width >= KSEditChangeSizeMetrics::textWidth(item.title, font) + 74);
            QVERIFY(width >= KSEditChangeSizeMetrics::textWidth(item.tips, font) + 74);
        }
    }
    QVERIFY(width >= panel->eBusinessBtn()->x() + 48);

    // At that width the three group buttons show their whole titles.
    panel->resize(width, 600);
    panel->layout()->activate();
    panel->selectionView()->layout()->activate();
    for (KSHoverButton *button : {panel->regularBtn(), panel->certificateBtn(), panel->eBusinessBtn()})
        QVERIFY2(button->width() >= button->textFiled()->sizeThatFits(QSize(300, 30)).width(),
                 qPrintable(button->title()));

    // The options below the table, at the height the editor gives the panel
    // in the smallest window: the custom size's fields, the paper and the
    // longest notice show their texts whole.
    panel->resize(width, 440);
    QVERIFY(panel->choosePreset(QStringLiteral("Custom")));
    KSEditSizeOptionsView *options = panel->optionsView();
    options->setNotice(CommLang::GetAppLang(QStringLiteral("HeadTooSmallNotice")));
    panel->layout()->activate();
    QCoreApplication::processEvents();
    for (QWidget *field : std::initializer_list<QWidget *>{options->customDpiBox(), options->customWidthBox(),
                                                          options->paperBox()})
        QVERIFY2(field->width() >= field->sizeHint().width(), field->metaObject()->className());
    QLabel *notice = options->noticeLbl();
    QVERIFY(notice->isVisible());
    QVERIFY2(notice->height() >= notice->heightForWidth(notice->width()),
             qPrintable(QStringLiteral("%1 < %2").arg(notice->height()).arg(notice->heightForWidth(notice->width()))));
}

QTEST_MAIN(TestEditChangeSizeView)
#include "tst_editchangesizeview.moc"
