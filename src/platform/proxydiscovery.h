// The system's proxy settings for the current user and the automatic proxy configuration.
// The backend hands up proxy list text ("scheme=host:port;host:port"); reading that text is
// left to the caller.
#pragma once

#include <QString>

namespace ProxyDiscovery {

// Log component of every proxy discovery line.
constexpr char kLogComponent[] = "ProxyInfo";

// The proxy settings of the current user, as the system keeps them.
struct UserSettings {
    bool autoDetect = false; // find the configuration script automatically
    QString autoConfigUrl;   // the automatic configuration script named by the user
    QString proxyList;       // fixed proxy list text
    QString bypassList;      // hosts that the fixed list does not serve, comma-separated
};

// Makes the discovery services available (a backend that loads a system library does it
// here, once, logging its failures). False when discovery cannot be used on this system.
bool Load();

// Reads the current user's settings. False with the system error as the thread's last error.
bool ReadUserSettings(UserSettings& settings);

// What the automatic configuration answered for a URL.
enum class AutoProxyResult {
    Failed, // no script found, or the script could not be fetched or run (logged)
    Direct, // the script asks for direct access
    List    // the script names proxies: list holds them as list text
};

// Runs the automatic configuration for url within timeoutMs: the script at pacUrl, or the
// one found by automatic detection when pacUrl is empty.
AutoProxyResult AutoProxyForUrl(const QString& url, const QString& pacUrl, int timeoutMs, QString& list);

// The first address of a host name (an address literal is taken as it stands, without a
// look-up), waiting at most timeoutMs for the name service. Empty when there is none in time.
QString ResolveHost(const QString& host, int timeoutMs);

} // namespace ProxyDiscovery
