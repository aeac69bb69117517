// Proxy discovery's own rules: the list parser and the choice at start-up.
#include "kvrtest.h"
#include "platform/log.h"
#include "proxy/httpproxyfactory.h"

#include <QJsonObject>
#include <QtTest>

using namespace KvrTest;

class TestProxy : public QObject
{
    Q_OBJECT

    OwnLog m_log;

private slots:
    void initTestCase()
    {
        m_log.start();
    }

    void parser_data()
    {
        AddRows("proxy/parser.json");
    }

    void parser()
    {
        QFETCH(QJsonObject, row);
        m_log.newLines();
        QString host;
        quint16 port = 0;
        const bool ok = ProxyInfo::ParseProxyList(row["list"].toString(), host, port,
                                                  ProxyInfo::SchemeForUrl(row["url"].toString()));
        QCOMPARE(ok ? QStringLiteral("%1:%2").arg(host).arg(port) : QString(), row["proxy"].toString());
        const QStringList log = m_log.newLines();
        QCOMPARE(log.size(), row["error"].toBool() ? 1 : 0);
        QVERIFY(log.isEmpty() || LogText(log[0]) == " Error, cannot parse proxy host list!!");
    }

    void choice_data()
    {
        AddRows("proxy/choice.json");
    }

    void choice()
    {
        QFETCH(QJsonObject, row);
        const ProxyInfo::ProxyChoice choice
            = ProxyInfo::ChooseProxy(row["np"].toBool(), row["server"].toString(), row["port"].toString());
        const char* kinds[] = {"none", "fixed", "system"};
        QCOMPARE(QStringLiteral("%1 %2:%3").arg(kinds[choice.kind], choice.host).arg(choice.port), row["choice"].toString());
    }
};

QTEST_GUILESS_MAIN(TestProxy)
#include "tst_proxy.moc"
