#include "KSTaskReply.h"

#include <QJsonDocument>
#include <QTest>

Q_DECLARE_METATYPE(KSTaskReply::Fault)
Q_DECLARE_METATYPE(KSTaskReply::State)

namespace {
// JSON text written with single quotes, which read more easily in a table.
QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}
} // namespace

// A poll's reply as the client reads it, from the JSON text the service sends.
class TestTaskReply : public QObject
{
    Q_OBJECT

private slots:
    void readsWhatThePollSays_data()
    {
        using Fault = KSTaskReply::Fault;
        using State = KSTaskReply::State;
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<KSTaskReply::Fault>("fault");
        QTest::addColumn<KSTaskReply::State>("state");
        QTest::addColumn<QString>("maskUrl");

        QTest::newRow("done with its mask")
            << json("{'status':'1','data':{'status':2,'mask_file_url':'http://h/m.png','engine':'e'}}")
            << Fault::None << State::Done << "http://h/m.png";
        QTest::newRow("waiting") << json("{'data':{'status':0}}") << Fault::None << State::Unfinished << "";
        QTest::newRow("running") << json("{'data':{'status':1}}") << Fault::None << State::Unfinished << "";
        QTest::newRow("a state of a newer service") << json("{'data':{'status':7}}") << Fault::None
                                                    << State::Unfinished << "";
        QTest::newRow("failed") << json("{'data':{'status':-1,'error':'x'}}") << Fault::None << State::Failed << "";
        QTest::newRow("done, a relative mask address") << json("{'data':{'status':2,'mask_file_url':'/m.png'}}")
                                                      << Fault::NoMaskUrl << State::Done << "";
        QTest::newRow("done, the address a number") << json("{'data':{'status':2,'mask_file_url':5}}")
                                                   << Fault::NoMaskUrl << State::Done << "";
        QTest::newRow("status as text") << json("{'data':{'status':'2'}}") << Fault::NoStatus
                                        << State::Unfinished << "";
        QTest::newRow("status with a fraction") << json("{'data':{'status':2.5}}") << Fault::NoStatus
                                                << State::Unfinished << "";
        QTest::newRow("data as text") << json("{'data':'done'}") << Fault::NoStatus << State::Unfinished << "";
        QTest::newRow("a list") << json("[2]") << Fault::NotADictionary << State::Unfinished << "";
    }

    void readsWhatThePollSays()
    {
        QFETCH(QByteArray, text);
        QFETCH(KSTaskReply::Fault, fault);
        QFETCH(KSTaskReply::State, state);
        QFETCH(QString, maskUrl);
        const KSTaskReply task = KSTaskReply::read(QJsonDocument::fromJson(text).toVariant());
        QCOMPARE(task.fault, fault);
        QCOMPARE(task.state, state);
        QCOMPARE(task.maskUrl, maskUrl);
    }
};

QTEST_GUILESS_MAIN(TestTaskReply)
#include "tst_taskreply.moc"
