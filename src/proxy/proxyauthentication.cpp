// Proxy credentials for the updater's requests.
#include "updater/updater.h"

#include <QAuthenticator>

// No request is sent in this build, so no proxy asks for credentials; the demand is refused.
void CUpdater::ProxyAuthenticationRequired(QNetworkProxy, QAuthenticator*) {}
