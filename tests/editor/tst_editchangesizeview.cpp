#include "CommLang.h"
#include "KSAppSetting.h"
#include "KSEditChangeSizeMetrics.h"
#include "KSEditChangeSizeTabelCellView.h"
#include "KSEditChangeSizeView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSTextField.h"
#include "KSTextStyle.h"

#include <QLabel>
#include <QLayout>
#include <QTableWidget>
#include <QTest>
#include <memory>

// The size panel: its groups in each language, what a click on a row
// reports, the marking of the chosen preset, and the width it asks for.
class TestEditChangeSizeView : public QObject
{
    Q_OBJECT

private slots:
    void groupsFollowTheLanguage_data();
    void groupsFollowTheLanguage();
    void newPanelShowsRegularWithSourceMarked();
    void clickingARowReportsItsSize_data();
    void clickingARowReportsItsSize();
    void chosenPresetIsMarkedOnlyInItsGroup();
    void certificateListsKeepTheirFirstTexts();
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

    QTest::newRow("ChineseSimplified: five Chinese sizes") << QStringLiteral("ChineseSimplified")
        << QList<QSize>{{259, 377}, {295, 413}, {390, 567}, {413, 531}, {413, 579}};
    QTest::newRow("English: three overseas sizes") << QStringLiteral("English")
        << QList<QSize>{{600, 600}, {466, 600}, {466, 600}};
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
        const QList<KSEditChangeSizeItem> first = newPanel()->dataArray().at(1).items;
        const QString other = language == QStringLiteral("English") ? QStringLiteral("ChineseSimplified")
                                                                    : QStringLiteral("English");
        CommLang::setCurrentLanguage(other);
        auto panel = newPanel();
        QCOMPARE(panel->dataArray().at(1).items.size(), first.size());
        for (int row = 0; row < first.size(); ++row) {
            QCOMPARE(panel->dataArray().at(1).items.at(row).title, first.at(row).title);
            QCOMPARE(panel->dataArray().at(1).items.at(row).tips, first.at(row).tips);
        }
        // The groups built with each panel follow the current texts.
        QCOMPARE(panel->dataArray().at(2).items.first().tips,
                 CommLang::textInLanguage(QStringLiteral("ProductImg"), other).value());
    }
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
}

QTEST_MAIN(TestEditChangeSizeView)
#include "tst_editchangesizeview.moc"
