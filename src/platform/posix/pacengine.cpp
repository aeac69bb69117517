// Evaluation of proxy configuration scripts in Qt's JavaScript engine, with the standard
// helper functions from pachelpers.js and a watchdog that interrupts a script at the deadline.
#include "platform/posix/proxysources.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QJSEngine>
#include <QQmlEngine>
#include <QNetworkInterface>

#include <mutex>
#include <thread>

static void InitPacResources()
{
    Q_INIT_RESOURCE(proxydiscovery);
}

namespace ProxyDiscovery {

namespace {

// The native side of the helpers: name look-ups bounded by the deadline of the query.
class PacNatives : public QObject
{
    Q_OBJECT
public:
    QDeadlineTimer deadline;

    Q_INVOKABLE QString resolve(const QString& host) const
    {
        return ResolveHost(host, int(qMin<qint64>(deadline.remainingTime(), 3600 * 1000)));
    }

    Q_INVOKABLE QString myIpAddress() const
    {
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                return address.toString();
        }
        return QStringLiteral("127.0.0.1");
    }
};

// One engine holding the last script run: requests that fetch the same script again call
// its FindProxyForURL without compiling it anew.
struct PacEngine {
    QJSEngine engine;
    PacNatives natives;
    QByteArray script;
};

// Kept until the application object goes away, which deletes it through a post routine.
PacEngine* g_engine = nullptr;

void DropEngine()
{
    delete g_engine;
    g_engine = nullptr;
}

QString ErrorText(const QJSValue& value)
{
    return QStringLiteral("%1 (line %2)").arg(value.toString(), value.property(QStringLiteral("lineNumber")).toString());
}

// Interrupts the engine that is running a script when its deadline passes. One thread serves
// every evaluation and looks every 50 ms: waking it, or starting a thread, for each evaluation
// would cost more than the evaluation itself.
class Watchdog
{
public:
    static Watchdog& instance()
    {
        static Watchdog* watchdog = new Watchdog; // its thread runs until the process ends
        return *watchdog;
    }
    void arm(QJSEngine* engine, const QDeadlineTimer& deadline)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_engine = engine;
        m_deadline = deadline;
    }
    // After this the engine is no longer touched.
    void disarm()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_engine = nullptr;
    }

private:
    Watchdog()
    {
        std::thread([this] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_engine != nullptr && m_deadline.hasExpired()) {
                    m_engine->setInterrupted(true);
                    m_engine = nullptr;
                }
            }
        }).detach();
    }
    std::mutex m_mutex;
    QJSEngine* m_engine = nullptr;
    QDeadlineTimer m_deadline;
};

bool LoadScript(PacEngine& pac, const QByteArray& script, QString& error)
{
    InitPacResources();
    QFile helpers(QStringLiteral(":/proxy/pachelpers.js"));
    if (!helpers.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("the helper functions are missing from the program");
        return false;
    }
    QJSEngine& engine = pac.engine;
    engine.globalObject().setProperty(QStringLiteral("__kvrPac"), engine.newQObject(&pac.natives));
    const QJSValue helperResult = engine.evaluate(QString::fromUtf8(helpers.readAll()), QStringLiteral("pachelpers.js"));
    if (helperResult.isError()) {
        error = ErrorText(helperResult);
        return false;
    }
    const QJSValue result = engine.evaluate(QString::fromUtf8(script), QStringLiteral("proxy.pac"));
    if (result.isError()) {
        error = engine.isInterrupted() ? QStringLiteral("the script was interrupted at the deadline") : ErrorText(result);
        return false;
    }
    if (!engine.globalObject().property(QStringLiteral("FindProxyForURL")).isCallable()) {
        error = QStringLiteral("the script has no function FindProxyForURL");
        return false;
    }
    pac.script = script;
    return true;
}

} // namespace

bool RunScript(const QByteArray& script, const QString& url, const QString& host, const QDeadlineTimer& deadline,
               QString& answer, QString& error)
{
    error.clear();
    if (deadline.hasExpired()) {
        error = QStringLiteral("no time is left to run it");
        return false;
    }
    const bool reuse = g_engine != nullptr && g_engine->script == script;
    if (!reuse) {
        DropEngine();
        static const bool dropAtExit = [] {
            qAddPostRoutine(DropEngine);
            return true;
        }();
        Q_UNUSED(dropAtExit);
        g_engine = new PacEngine;
        QQmlEngine::setObjectOwnership(&g_engine->natives, QQmlEngine::CppOwnership);
    }
    PacEngine& pac = *g_engine;
    pac.natives.deadline = deadline;
    QJSValue result;
    Watchdog::instance().arm(&pac.engine, deadline);
    if (reuse || LoadScript(pac, script, error)) {
        result = pac.engine.globalObject().property(QStringLiteral("FindProxyForURL")).call({url, host});
        if (result.isError())
            error = pac.engine.isInterrupted() ? QStringLiteral("the script was interrupted at the deadline")
                                               : ErrorText(result);
    }
    Watchdog::instance().disarm();
    // An engine that was interrupted or failed is not kept for the next request.
    if (!error.isEmpty() || pac.engine.isInterrupted()) {
        if (error.isEmpty())
            error = QStringLiteral("the script was interrupted at the deadline");
        DropEngine();
        return false;
    }
    if (!result.isString()) {
        error = QStringLiteral("FindProxyForURL returned %1, not a text").arg(result.toString().left(100));
        return false;
    }
    answer = result.toString();
    return true;
}

} // namespace ProxyDiscovery

#include "pacengine.moc"
