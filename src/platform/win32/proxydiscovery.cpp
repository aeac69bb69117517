// Proxy settings on Windows: the current user's Internet settings and automatic configuration,
// both through WinHTTP, which is loaded by name when first needed and runs the scripts itself.
#include "platform/proxydiscovery.h"

#include "platform/hostutils.h"
#include "platform/log.h"

#include <QHostAddress>
#include <QHostInfo>

#include <atomic>
#include <string>
#include <windows.h>
#include <winhttp.h>

namespace ProxyDiscovery {

namespace {

using GetIEProxyConfigFunction = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
using OpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using GetProxyForUrlFunction = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*);
using SetTimeoutsFunction = BOOL(WINAPI*)(HINTERNET, int, int, int, int);
using CloseHandleFunction = BOOL(WINAPI*)(HINTERNET);

// The entry points, written once by the first successful load and kept for the life of the process.
struct Entries {
    GetIEProxyConfigFunction getIEProxyConfig = nullptr;
    OpenFunction open = nullptr;
    GetProxyForUrlFunction getProxyForUrl = nullptr;
    SetTimeoutsFunction setTimeouts = nullptr;
    CloseHandleFunction closeHandle = nullptr; // optional: a session is closed when it is there
};
Entries g_entries;
std::atomic<bool> g_loaded{false};

const DWORD kLoginFailure = ERROR_WINHTTP_LOGIN_FAILURE; // 12015

template <typename Function> bool LookUp(HMODULE library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (function == nullptr)
        LogMessage(kLogComponent, 0, "cannot get procedure address %s !", name);
    return function != nullptr;
}

// Takes a text that WinHTTP allocated, and frees it.
QString TakeText(LPWSTR text)
{
    if (text == nullptr)
        return QString();
    const QString value = QString::fromWCharArray(text);
    GlobalFree(text);
    return value;
}

} // namespace

bool Load()
{
    if (g_loaded.load(std::memory_order_acquire))
        return true;
    // By name, from the system folder only, so that no copy beside the program is taken.
    HMODULE library = LoadLibraryExW(L"Winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER)
        library = LoadLibraryW(L"Winhttp.dll"); // a system that does not know the search flag
    if (library == nullptr) {
        LogMessage(kLogComponent, 0, "cannot load library Winhttp.dll! this system is not supported it!");
        return false;
    }
    Entries entries;
    if (!LookUp(library, "WinHttpGetIEProxyConfigForCurrentUser", entries.getIEProxyConfig)
        || !LookUp(library, "WinHttpOpen", entries.open) || !LookUp(library, "WinHttpGetProxyForUrl", entries.getProxyForUrl)
        || !LookUp(library, "WinHttpSetTimeouts", entries.setTimeouts))
        return false;
    entries.closeHandle = reinterpret_cast<CloseHandleFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "WinHttpCloseHandle")));
    LogMessage(kLogComponent, 0, "WINHTTP functions was loaded!");
    g_entries = entries;
    g_loaded.store(true, std::memory_order_release);
    return true;
}

bool ReadUserSettings(UserSettings& settings)
{
    settings = UserSettings();
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!Load() || !g_entries.getIEProxyConfig(&config))
        return false;
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.autoConfigUrl = TakeText(config.lpszAutoConfigUrl);
    settings.proxyList = TakeText(config.lpszProxy);
    // Windows separates the hosts that bypass the list with ";".
    settings.bypassList = TakeText(config.lpszProxyBypass).replace(QLatin1Char(';'), QLatin1Char(','));
    return true;
}

AutoProxyResult AutoProxyForUrl(const QString& url, const QString& pacUrl, int timeoutMs, QString& list)
{
    if (!Load())
        return AutoProxyResult::Failed;
    const HINTERNET session = g_entries.open(L"get auto proxy", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                             WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr)
        return AutoProxyResult::Failed;
    const int timeout = qMax(timeoutMs, 0);
    if (!g_entries.setTimeouts(session, timeout, timeout, timeout, timeout) && LogLevel > 0)
        LogMessage(kLogComponent, 1, "Failed to set timeouts for proxy resolution, error %d",
                   static_cast<int>(::GetLastError()));

    const std::wstring target = url.toStdWString();
    const std::wstring script = pacUrl.toStdWString();
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (pacUrl.isEmpty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script.c_str();
    }
    options.fAutoLogonIfChallenged = FALSE;
    WINHTTP_PROXY_INFO info{};
    bool answered = g_entries.getProxyForUrl(session, target.c_str(), &options, &info) != FALSE;
    if (!answered) {
        const DWORD error = ::GetLastError();
        if (error == kLoginFailure) {
            options.fAutoLogonIfChallenged = TRUE;
            answered = g_entries.getProxyForUrl(session, target.c_str(), &options, &info) != FALSE
                       && info.lpszProxy != nullptr;
        }
        LogMessage(kLogComponent, 0, "WinHttpGetProxyForUrl returns error %d", static_cast<int>(error));
    }
    const QString proxies = TakeText(info.lpszProxy);
    TakeText(info.lpszProxyBypass);
    if (g_entries.closeHandle != nullptr)
        g_entries.closeHandle(session);
    if (!answered)
        return AutoProxyResult::Failed;
    list = proxies;
    return proxies.isEmpty() ? AutoProxyResult::Direct : AutoProxyResult::List;
}

QString ResolveHost(const QString& host, int timeoutMs)
{
    // An address literal is read as it stands: no query leaves the machine for it.
    const QHostAddress literal(host);
    if (!literal.isNull())
        return literal.toString();
    if (host.isEmpty() || host.size() > 253 || timeoutMs <= 0)
        return QString();
    // On a thread of its own, so that the caller can stop waiting at its deadline.
    return HostUtils::AnswerWithin(timeoutMs, [host] {
        const QHostInfo answer = QHostInfo::fromName(host);
        QString address;
        for (const QHostAddress& candidate : answer.addresses()) {
            if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
                address = candidate.toString();
                break;
            }
            if (address.isEmpty())
                address = candidate.toString();
        }
        return address;
    });
}

} // namespace ProxyDiscovery
