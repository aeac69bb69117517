// The Windows sources of proxy discovery: the current user's Internet settings and configuration
// scripts, both read and run by WinHTTP. Each row writes the settings blob that WinHTTP reads; the
// settings go back to a direct connection without automatic detection after every row.
#include "kvrtest.h"
#include "oneanswerserver.h"
#include "platform/log.h"

#include <QDataStream>
#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

#include <memory>
#include <windows.h>

using namespace KvrTest;

namespace {

const wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// DefaultConnectionSettings: version 0x46, a counter, the flags (1 direct, 2 fixed list, 4 script,
// 8 automatic detection), then the list, the bypass list and the script URL, each as a length and
// its bytes; numbers in little-endian order.
bool WriteSettings(quint32 flags, const QByteArray& list, const QByteArray& bypass, const QByteArray& script)
{
    QByteArray blob;
    QDataStream out(&blob, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(0x46) << quint32(0) << flags;
    for (const QByteArray& text : {list, bypass, script}) {
        out << quint32(text.size());
        out.writeRawData(text.constData(), text.size());
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const bool written = RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY,
                                        reinterpret_cast<const BYTE*>(blob.constData()), DWORD(blob.size()))
                         == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

} // namespace

class TestWinHttp : public QObject
{
    Q_OBJECT

    OwnLog m_log;

private slots:
    void initTestCase()
    {
        m_log.start();
    }
    void cleanup() { QVERIFY(WriteSettings(1, QByteArray(), QByteArray(), QByteArray())); }

    void sources_data() { AddRows("proxy/winhttp.json"); }

    void sources()
    {
        QFETCH(QJsonObject, row);
        // The script is served from 127.0.0.1, or from a port that nobody listens on.
        const QString path = row["script"].toString();
        std::unique_ptr<OneAnswerServer> server;
        QString scriptUrl;
        if (path == "closed") {
            QTcpServer gone; // a port that was free a moment ago, closed again
            QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
            scriptUrl = QStringLiteral("http://127.0.0.1:%1/proxy.pac").arg(gone.serverPort());
        } else if (!path.isEmpty()) {
            const QByteArray script = ReadFile(DataPath("proxy/answers.pac"));
            server.reset(new OneAnswerServer("HTTP/1.1 200 OK\r\nContent-Type: application/x-ns-proxy-autoconfig\r\n"
                                             "Content-Length: " + QByteArray::number(script.size()) + "\r\n\r\n" + script,
                                             true));
            scriptUrl = QStringLiteral("http://127.0.0.1:%1%2").arg(server->port).arg(path);
        }
        QVERIFY(WriteSettings(quint32(row["flags"].toInt()), row["list"].toString().toLatin1(),
                              row["bypass"].toString().toLatin1(), scriptUrl.toLatin1()));
        m_log.newLines();
        QCOMPARE(ChosenSystemProxy(row["url"].toString()), row["proxy"].toString());
        const QString log = m_log.newLines().join('\n');
        QVERIFY2(log.contains(row["log"].toString()), qPrintable(log));
        // WinHTTP was loaded once, by name, the first time it was needed.
        QCOMPARE(m_log.lines().filter("WINHTTP functions was loaded!").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestWinHttp)
#include "tst_winhttp.moc"
