#include "KSNibLoadable.h"
#include "ui_KSNibProbeView.h"

#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

// A view laid out by its .ui file.
class KSNibProbeView : public QWidget
{
    Q_OBJECT
public:
    explicit KSNibProbeView(QWidget *parent = nullptr)
        : QWidget(parent), ui(std::make_unique<Ui::KSNibProbeView>())
    {
        ui->setupUi(this);
    }
    std::unique_ptr<Ui::KSNibProbeView> ui;
};

// A view that builds its layout in code and needs nothing else.
class KSCodeBuiltView : public QWidget
{
    Q_OBJECT
public:
    KSCodeBuiltView() { new QVBoxLayout(this); }
};

// A view whose layout needs something that may be missing.
class KSFailingView : public QWidget
{
    Q_OBJECT
public:
    explicit KSFailingView(QWidget *parent = nullptr) : QWidget(parent) {}
    bool loadNib() { return canLoad; }
    static inline bool canLoad = false;
};

namespace screens {
class KSScopedView : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
};
} // namespace screens

class tst_KSNibLoadable : public QObject
{
    Q_OBJECT

private slots:
    void uiFileLayout();
    void codeBuiltLayout();
    void failedViewIsNoneAndLeavesNoChild();
    void nameIsUnqualifiedClassName();
};

void tst_KSNibLoadable::uiFileLayout()
{
    QWidget parent;
    KSNibProbeView *view = loadViewFromNib<KSNibProbeView>(&parent);
    QVERIFY(view);
    QCOMPARE(view->parentWidget(), &parent);
    QCOMPARE(view->objectName(), QStringLiteral("KSNibProbeView"));
    QVERIFY(view->findChild<QLabel *>(QStringLiteral("titleLabel")));
}

void tst_KSNibLoadable::codeBuiltLayout()
{
    QWidget parent;
    KSCodeBuiltView *view = loadViewFromNib<KSCodeBuiltView>(&parent);
    QVERIFY(view);
    QCOMPARE(view->parentWidget(), &parent);
    QVERIFY(view->layout());
}

void tst_KSNibLoadable::failedViewIsNoneAndLeavesNoChild()
{
    QWidget parent;
    KSFailingView::canLoad = false;
    QCOMPARE(loadViewFromNib<KSFailingView>(&parent), nullptr);
    QVERIFY(parent.findChildren<KSFailingView *>().isEmpty());
    KSFailingView::canLoad = true;
    QVERIFY(loadViewFromNib<KSFailingView>(&parent));
}

void tst_KSNibLoadable::nameIsUnqualifiedClassName()
{
    std::unique_ptr<screens::KSScopedView> view(loadViewFromNib<screens::KSScopedView>());
    QVERIFY(view);
    QCOMPARE(view->objectName(), QStringLiteral("KSScopedView"));
}

QTEST_MAIN(tst_KSNibLoadable)
#include "tst_KSNibLoadable.moc"
