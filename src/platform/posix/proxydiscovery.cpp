// Proxy settings on POSIX systems come from the environment, as browsers and command-line
// tools read them: auto_proxy, http_proxy, https_proxy, all_proxy and no_proxy.
#include "platform/posix/proxysources.h"

#include "platform/log.h"

#include <QFile>
#include <QSet>
#include <QUrl>

#include <libpsl.h>

namespace ProxyDiscovery {

namespace {

// A variable in its lower-case form, else in its upper-case form; null when neither is set.
QString ProxyVariable(const char* lowerName)
{
    if (qEnvironmentVariableIsSet(lowerName))
        return qEnvironmentVariable(lowerName);
    const QByteArray upper = QByteArray(lowerName).toUpper();
    if (qEnvironmentVariableIsSet(upper.constData()))
        return qEnvironmentVariable(upper.constData());
    return QString();
}

// The value as it may be logged: credentials before an "@" are cut out.
QString LoggableValue(const QString& value)
{
    const int at = value.lastIndexOf(QLatin1Char('@'));
    if (at < 0)
        return value;
    const int schemeEnd = value.indexOf(QLatin1String("://"));
    const int start = schemeEnd >= 0 && schemeEnd < at ? schemeEnd + 3 : 0;
    return value.left(start) + value.mid(at + 1);
}

// "host:port" of one variable's value; empty (and logged) when it is not an HTTP proxy.
QString ProxyEntry(const char* name, const QString& rawValue)
{
    const QString value = rawValue.trimmed();
    if (value.isEmpty())
        return QString();
    QString why;
    const int schemeEnd = value.indexOf(QLatin1String("://"));
    const QString scheme = schemeEnd >= 0 ? value.left(schemeEnd).toLower() : QStringLiteral("http");
    QUrl url(schemeEnd >= 0 ? QStringLiteral("http") + value.mid(schemeEnd) : QStringLiteral("http://") + value,
             QUrl::StrictMode);
    if (scheme != QLatin1String("http"))
        why = QStringLiteral("the scheme '%1' is not an HTTP proxy").arg(scheme);
    else if (!url.isValid() || url.host().isEmpty())
        why = QStringLiteral("it is not a proxy address");
    else if (url.host().contains(QLatin1Char(':')))
        why = QStringLiteral("IPv6 proxy addresses are not supported");
    if (!why.isEmpty()) {
        LogMessage(kLogComponent, 1, "Proxy variable %s = '%s' is ignored: %s.", name,
                   LoggableValue(value).toUtf8().constData(), why.toUtf8().constData());
        return QString();
    }
    return QStringLiteral("%1:%2").arg(url.host()).arg(url.port(80));
}

const psl_ctx_t* PublicSuffixes()
{
    static const psl_ctx_t* context = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest != nullptr ? latest : psl_builtin();
    }();
    return context;
}

} // namespace

QString ProxyListFromValues(const QString& http, const QString& https, const QString& all)
{
    QStringList entries;
    const QString httpEntry = ProxyEntry("http_proxy", http);
    if (!httpEntry.isEmpty())
        entries << QStringLiteral("http=") + httpEntry;
    const QString httpsEntry = ProxyEntry("https_proxy", https);
    if (!httpsEntry.isEmpty())
        entries << QStringLiteral("https=") + httpsEntry;
    const QString allEntry = ProxyEntry("all_proxy", all);
    if (!allEntry.isEmpty())
        entries << allEntry;
    return entries.join(QLatin1Char(';'));
}

QStringList SearchDomains(const QByteArray& resolvConf, const QString* localDomain)
{
    if (localDomain != nullptr)
        return localDomain->split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList domains;
    for (const QByteArray& rawLine : resolvConf.split('\n')) {
        const QList<QByteArray> words = rawLine.simplified().split(' ');
        if (words.size() < 2 || (words[0] != "search" && words[0] != "domain"))
            continue;
        domains.clear();
        for (int i = 1; i < words.size() && !words[i].startsWith('#') && !words[i].startsWith(';'); ++i)
            domains << QString::fromUtf8(words[i]);
    }
    return domains;
}

QStringList WpadCandidates(const QStringList& domains)
{
    QStringList urls{QStringLiteral("http://wpad/wpad.dat")};
    for (const QString& domain : domains) {
        QByteArray name = domain.toLower().toUtf8();
        while (name.endsWith('.'))
            name.chop(1);
        // A public suffix has no registrable part: nobody owns "wpad.co.uk" on our behalf.
        const char* registrable = psl_registrable_domain(PublicSuffixes(), name.constData());
        if (name.isEmpty() || registrable == nullptr)
            continue;
        const QByteArray stop(registrable);
        for (QByteArray current = name;; current = current.mid(current.indexOf('.') + 1)) {
            const QString url = QStringLiteral("http://wpad.%1/wpad.dat").arg(QString::fromUtf8(current));
            if (!urls.contains(url))
                urls << url;
            if (current.size() <= stop.size())
                break;
        }
    }
    return urls;
}

bool Load()
{
    // The environment and our own script engine are always there: nothing to load.
    return true;
}

bool ReadUserSettings(UserSettings& settings)
{
    settings = UserSettings();
    const char* autoName = qEnvironmentVariableIsSet("auto_proxy") ? "auto_proxy" : "AUTO_PROXY";
    if (qEnvironmentVariableIsSet(autoName)) {
        settings.autoConfigUrl = qEnvironmentVariable(autoName).trimmed();
        settings.autoDetect = settings.autoConfigUrl.isEmpty();
    }
    settings.proxyList = ProxyListFromValues(ProxyVariable("http_proxy"), ProxyVariable("https_proxy"),
                                             ProxyVariable("all_proxy"));
    settings.bypassList = ProxyVariable("no_proxy");
    return true;
}

AutoProxyResult AutoProxyForUrl(const QString& url, const QString& pacUrl, int timeoutMs, QString& list)
{
    const QDeadlineTimer deadline(qMax(timeoutMs, 0));
    QStringList candidates{pacUrl};
    if (pacUrl.isEmpty()) {
        QFile resolvConf(QStringLiteral("/etc/resolv.conf"));
        const QByteArray conf = resolvConf.open(QIODevice::ReadOnly) ? resolvConf.read(65536) : QByteArray();
        const QString localDomain = qEnvironmentVariable("LOCALDOMAIN");
        candidates = WpadCandidates(
            SearchDomains(conf, qEnvironmentVariableIsSet("LOCALDOMAIN") ? &localDomain : nullptr));
    }
    QByteArray script;
    QString scriptUrl;
    for (const QString& candidate : qAsConst(candidates)) {
        QString error;
        if (FetchScript(candidate, deadline, script, error)) {
            scriptUrl = candidate;
            break;
        }
        LogMessage(kLogComponent, pacUrl.isEmpty() ? 3 : 0, "Cannot fetch the proxy configuration script '%s': %s",
                   candidate.toUtf8().constData(), error.toUtf8().constData());
        if (deadline.hasExpired())
            break;
    }
    if (scriptUrl.isEmpty()) {
        if (pacUrl.isEmpty())
            LogMessage(kLogComponent, 1, "Automatic proxy detection found no configuration script.");
        return AutoProxyResult::Failed;
    }
    QString answer, error;
    if (!RunScript(script, url, QUrl(url).host(), deadline, answer, error)) {
        LogMessage(kLogComponent, 0, "The proxy configuration script '%s' failed: %s", scriptUrl.toUtf8().constData(),
                   error.toUtf8().constData());
        return AutoProxyResult::Failed;
    }
    const AutoProxyResult result = ListFromScriptAnswer(answer, list);
    if (result == AutoProxyResult::Failed)
        LogMessage(kLogComponent, 0, "The proxy configuration script '%s' answered '%s', which names no proxy.",
                   scriptUrl.toUtf8().constData(), answer.left(200).toUtf8().constData());
    return result;
}

AutoProxyResult ListFromScriptAnswer(const QString& answer, QString& list)
{
    QStringList proxies;
    bool readable = false;
    for (const QString& rawEntry : answer.split(QLatin1Char(';'))) {
        const QStringList words = rawEntry.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString keyword = words[0].toUpper();
        if (keyword == QLatin1String("DIRECT") && words.size() == 1) {
            readable = true;
            break;
        }
        // SOCKS and HTTPS proxies cannot carry our requests; they are skipped.
        if (keyword == QLatin1String("SOCKS") || keyword == QLatin1String("SOCKS4") || keyword == QLatin1String("SOCKS5")
            || keyword == QLatin1String("HTTPS")) {
            readable = readable || words.size() == 2;
            continue;
        }
        if ((keyword != QLatin1String("PROXY") && keyword != QLatin1String("HTTP")) || words.size() != 2)
            return AutoProxyResult::Failed;
        const QUrl address(QStringLiteral("http://") + words[1], QUrl::StrictMode);
        if (!address.isValid() || address.host().isEmpty() || address.host().contains(QLatin1Char(':'))
            || !address.path().isEmpty() || !address.userInfo().isEmpty())
            return AutoProxyResult::Failed;
        proxies << QStringLiteral("%1:%2").arg(address.host()).arg(address.port(80));
        readable = true;
    }
    if (!readable)
        return AutoProxyResult::Failed;
    list = proxies.join(QLatin1Char(';'));
    return proxies.isEmpty() ? AutoProxyResult::Direct : AutoProxyResult::List;
}

} // namespace ProxyDiscovery
