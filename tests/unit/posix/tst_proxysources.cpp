// The POSIX sources of proxy discovery: the proxy variables of the environment, configuration
// scripts fetched and run by our own engine, and the automatic-detection names.
#include "kvrtest.h"
#include "oneanswerserver.h"
#include "platform/log.h"
#include "platform/posix/proxysources.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QtTest>

using namespace KvrTest;

class TestProxySources : public QObject
{
    Q_OBJECT

    OwnLog m_log;

private slots:
    void initTestCase()
    {
        m_log.start();
    }

    void sources_data()
    {
        AddRows("proxy/sources.json");
    }

    // The environment as the user's settings: each row's variables, a URL, the proxy chosen.
    void sources()
    {
        QFETCH(QJsonObject, row);
        for (const QString& name : QProcessEnvironment::systemEnvironment().keys()) // auto_proxy, HTTP_PROXY, ...
            if (name.endsWith("_proxy", Qt::CaseInsensitive))
                qunsetenv(qPrintable(name));
        const QJsonObject env = row["env"].toObject();
        const QString data = DataPath(QString()).chopped(1);
        for (auto it = env.begin(); it != env.end(); ++it)
            qputenv(it.key().toUtf8().constData(), it.value().toString().replace("@DATA@", data).toUtf8());
        m_log.newLines();
        QCOMPARE(ChosenSystemProxy(row["url"].toString()), row["proxy"].toString());
        const QString log = m_log.newLines().join('\n');
        QVERIFY2(log.contains(row["log"].toString().replace("@DATA@", data)), qPrintable(log));
        QVERIFY(row["nolog"].toString().isEmpty() || !log.contains(row["nolog"].toString()));
    }

    void servedScript_data()
    {
        AddRows("proxy/served.json"); // "blanks": that many spaces follow the response
    }

    void servedScript()
    {
        QFETCH(QJsonObject, row);
        const QByteArray response = row["response"].toString().toLatin1() + QByteArray(row["blanks"].toInt(), ' ');
        const QString expected = row["expected"].toString();
        OneAnswerServer server(response, row["closeAfter"].toBool());
        QByteArray script;
        QString error, answer, list;
        const QString url = QStringLiteral("http://127.0.0.1:%1/proxy.pac").arg(server.port);
        if (ProxyDiscovery::FetchScript(url, QDeadlineTimer(10000), script, error)
            && ProxyDiscovery::RunScript(script, "http://a/", "a", QDeadlineTimer(10000), answer, error))
            ProxyDiscovery::ListFromScriptAnswer(answer, list);
        QCOMPARE(list.isEmpty() ? error : list, expected);
    }

    void helpers_data()
    {
        AddRows("proxy/helpers.json"); // "name": the expression whose value a script returns
    }

    void helpers()
    {
        QFETCH(QJsonObject, row);
        const QByteArray script
            = "function FindProxyForURL(url, host) { return String(" + row["name"].toString().toUtf8() + "); }";
        QString answer, error;
        QVERIFY2(ProxyDiscovery::RunScript(script, "http://a/", "a", QDeadlineTimer(10000), answer, error),
                 qPrintable(error));
        QCOMPARE(answer, row["expected"].toString());
    }

    void loopingScriptStopsAtDeadline()
    {
        const QByteArray script = ReadFile(DataPath("proxy/answers.pac"));
        QString answer, error;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!ProxyDiscovery::RunScript(script, "http://loop.example/", "loop.example", QDeadlineTimer(300), answer, error));
        QCOMPARE(error, QStringLiteral("the script was interrupted at the deadline"));
        QVERIFY(clock.elapsed() >= 250 && clock.elapsed() < 10000);
        // The engine is usable again afterwards.
        QVERIFY(ProxyDiscovery::RunScript(script, "http://a/", "a", QDeadlineTimer(10000), answer, error));
        QCOMPARE(answer, QStringLiteral("PROXY 127.0.0.9:3128"));
    }

    void wpadCandidates_data()
    {
        AddRows("proxy/wpad.json");
    }

    void wpadCandidates()
    {
        QFETCH(QJsonObject, row);
        const QByteArray resolvConf = row["resolvConf"].toString().toUtf8();
        QStringList names;
        for (const QString& url : ProxyDiscovery::WpadCandidates(ProxyDiscovery::SearchDomains(resolvConf, nullptr)))
            names << QUrl(url).host();
        QCOMPARE(names.join(' '), row["candidates"].toString());
        const QString local = QStringLiteral("corp.example.com");
        QCOMPARE(ProxyDiscovery::SearchDomains(resolvConf, &local), QStringList{local});
    }
};

QTEST_GUILESS_MAIN(TestProxySources)
#include "tst_proxysources.moc"
