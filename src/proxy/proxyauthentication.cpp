// Proxy credentials for the updater's requests: the user from the command line, the password
// from the console, a limited number of tries per run.
#include "updater/updater.h"

#include "app/commandline.h"
#include "platform/console.h"
#include "platform/log.h"

#include <QAuthenticator>
#include <QNetworkReply>
#include <QElapsedTimer>
#include <QTimer>

void CUpdater::ProxyAuthenticationRequired(QNetworkProxy proxy, QAuthenticator* auth)
{
    LogMessage(kProgramComponent, 3, "m_nState = %d, Proxy auth : server(%s) port(%d) user(%s) pwd(%s)", m_nState,
               proxy.hostName().toUtf8().constData(), int(proxy.port()), auth->user().toUtf8().constData(),
               auth->password().isEmpty() ? "no" : "yes");
    const int state = m_nState;
    m_nState = StateProxyAuth;
    const QString user = m_pCmdLine->OptionValue(Options::ProxyAuthUser);
    LogMessage(kProgramComponent, 3, "qsUser = %s, try number = %d", user.toUtf8().constData(), m_nProxyTryCount);

    // A count below zero (a negative --proxy-try-count) allows no try, as 0 does.
    if (user.isEmpty() || m_nProxyTryCount <= 0) {
        m_bDownloadAborted = true;
        if (m_pReply != nullptr)
            m_pReply->abort();
        PrintUserError(QObject::tr("Proxy authentication failed."));
        Finish(ResultProxyAuthFailed);
        return;
    }

    m_pConnectionCheckTimer->stop();
    // Clearing first makes Qt take the answer as new even when it repeats the last one;
    // otherwise it gives up silently after two equal answers.
    auth->setUser(QString());
    auth->setPassword(QString());
    auth->setUser(user);
    auth->setPassword(Console::PasswordPrompt());
    m_pLostConnectionTimeout->restart();
    m_pConnectionCheckTimer->start(2000);
    --m_nProxyTryCount;
    m_nState = state;
}
