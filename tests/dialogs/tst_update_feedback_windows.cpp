#include "CommLang.h"
#include "KSFeedbackWindow.h"
#include "KSHoverButton.h"
#include "KSNotice.h"
#include "KSNoticeWindow.h"
#include "KSUpdateWindow.h"
#include "ShownWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

Q_DECLARE_METATYPE(CommUpdateResult::State)

// The windows behind CommUpdate and CommFeedback.
class TestUpdateFeedbackWindows : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void updateWindowTellsWhatTheCheckFound_data();
    void updateWindowTellsWhatTheCheckFound();
    void feedbackIsCheckedThenCopied_data();
    void feedbackIsCheckedThenCopied();
    void postedNoticeShowsWithItsTextToCopy_data();
    void postedNoticeShowsWithItsTextToCopy();
};

void TestUpdateFeedbackWindows::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestUpdateFeedbackWindows::updateWindowTellsWhatTheCheckFound_data()
{
    QTest::addColumn<CommUpdateResult::State>("state");
    QTest::addColumn<QString>("downloadUrl");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("mentions");

    QTest::newRow("newer version with a download")
        << CommUpdateResult::State::UpdateAvailable << "https://example.com/cutora.deb" << "downloadBtn"
        << QStringList{"1.3.0", "1.2.0"};
    QTest::newRow("newer version without an address: nothing to download")
        << CommUpdateResult::State::UpdateAvailable << "" << "okBtn" << QStringList{"1.3.0"};
    QTest::newRow("up to date") << CommUpdateResult::State::UpToDate << "" << "okBtn" << QStringList{"1.2.0"};
    QTest::newRow("check failed") << CommUpdateResult::State::Failed << "" << "okBtn" << QStringList{};
}

void TestUpdateFeedbackWindows::updateWindowTellsWhatTheCheckFound()
{
    QFETCH(CommUpdateResult::State, state);
    QFETCH(QString, downloadUrl);
    QFETCH(QString, button);
    QFETCH(QStringList, mentions);

    CommUpdateResult result;
    result.state = state;
    result.runningVersion = QStringLiteral("1.2.0");
    result.latestVersion = QStringLiteral("1.3.0");
    result.downloadUrl = QUrl(downloadUrl);
    KSUpdateWindow *window = KSUpdateWindow::showResult(result);

    const QString message = window->findChild<QLabel *>(QStringLiteral("messageLabel"))->text();
    QVERIFY(!message.isEmpty());
    for (const QString &mention : mentions)
        QVERIFY2(message.contains(mention), qPrintable(message));
    QVERIFY(window->findChild<KSHoverButton *>(button));
}

void TestUpdateFeedbackWindows::feedbackIsCheckedThenCopied_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("errorKey"); // empty: sent

    QTest::newRow("message and address") << "The hair is cut off." << "ann@example.com" << "";
    QTest::newRow("message without address") << "Works well." << "" << "";
    QTest::newRow("no message") << "  \n " << "ann@example.com" << "EmptyFeedback";
    QTest::newRow("address that is none") << "Hello" << "ann@" << "InvalidEmail";
}

void TestUpdateFeedbackWindows::feedbackIsCheckedThenCopied()
{
    QFETCH(QString, message);
    QFETCH(QString, email);
    QFETCH(QString, errorKey);

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    CommFeedbackContext context;
    context.diagnostics = QStringLiteral("Cutora 1.2.0\nLanguage: English");
    QPointer<KSFeedbackWindow> window = KSFeedbackWindow::showFeedback(context);
    window->findChild<QPlainTextEdit *>(QStringLiteral("messageEdit"))->setPlainText(message);
    window->findChild<QLineEdit *>(QStringLiteral("emailEdit"))->setText(email);

    const bool sent = window->actionForSend();

    QCOMPARE(sent, errorKey.isEmpty());
    if (!sent) {
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("errorLabel"))->text(), CommLang::GetAppLang(errorKey));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        return;
    }
    const QString report = QGuiApplication::clipboard()->text();
    QVERIFY(report.startsWith(message));
    QVERIFY(report.contains(context.diagnostics));
    QCOMPARE(report.contains(QStringLiteral("Contact: ") + email), !email.isEmpty());
    QCOMPARE(report.contains(QStringLiteral("Contact:")), !email.isEmpty());
    QTRY_VERIFY(!window || !window->isVisible());
}

void TestUpdateFeedbackWindows::postedNoticeShowsWithItsTextToCopy_data()
{
    QTest::addColumn<QString>("detail");
    QTest::newRow("an address to copy") << "https://www.cutora.app/support/";
    QTest::newRow("a message alone") << "";
}

void TestUpdateFeedbackWindows::postedNoticeShowsWithItsTextToCopy()
{
    QFETCH(QString, detail);
    QObject owner;
    KSNoticeWindow::observeNotices(&owner);
    QGuiApplication::clipboard()->clear();
    KSNotice::post({QStringLiteral("No Browser Opened"), QStringLiteral("Copy the address."), detail});

    KSNoticeWindow *notice = nullptr;
    QTRY_VERIFY((notice = shownWindow<KSNoticeWindow>()) != nullptr);
    QCOMPARE(notice->findChild<QLabel *>(QStringLiteral("messageLabel"))->text(), QStringLiteral("Copy the address."));
    KSHoverButton *copy = notice->findChild<KSHoverButton *>(QStringLiteral("copyBtn"));
    QCOMPARE(copy != nullptr, !detail.isEmpty());
    if (copy) {
        QCOMPARE(notice->findChild<QLabel *>(QStringLiteral("detailLabel"))->text(), detail);
        QTest::mouseClick(copy, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), detail);
    }
    QPointer<KSNoticeWindow> guard(notice);
    QTest::mouseClick(notice->findChild<KSHoverButton *>(QStringLiteral("okBtn")), Qt::LeftButton);
    QTRY_VERIFY(!guard);
}

QTEST_MAIN(TestUpdateFeedbackWindows)
#include "tst_update_feedback_windows.moc"
