#include "app/instancelock.h"

#include "platform/lasterror.h"
#include "platform/log.h"

namespace {

const QString kLockName = QStringLiteral("kvr_updater");
// Lock names are limited to 127 characters; longer ones are cut.
const int kMaxNameLength = 127;

} // namespace

CInstanceLock::CInstanceLock()
    : m_qsName(kLockName)
{
}

CInstanceLock::~CInstanceLock()
{
    // A lock held by another process is not ours to give up. The handle stays open until the
    // process ends.
    if (m_hSemaphore == Platform::kNoNamedLock || m_bHeldByOther)
        return;
    if (!Platform::ReleaseNamedLock(m_hSemaphore))
        LogMessage(kProgramComponent, 0, "ReleaseSemaphore() failed. Err = %d", Platform::LastError());
}

void CInstanceLock::Acquire(bool afterStop)
{
    m_bAfterStop = afterStop;
    const QString name = m_qsName.left(kMaxNameLength);
    switch (Platform::OpenNamedLock(name, m_hSemaphore)) {
    case Platform::NamedLockState::Opened:
        // After a stop, the lock may still belong to the background downloader just stopped.
        if (m_bAfterStop)
            return;
        LogMessage(kProgramComponent, 0, "A process %s is launched.", name.toUtf8().constData());
        m_bHeldByOther = true;
        return;
    case Platform::NamedLockState::Failed:
        LogMessage(kProgramComponent, 0, "OpenSemaphore() failed. Err = %d", Platform::LastError());
        return;
    case Platform::NamedLockState::NotFound:
        break;
    }
    if (!Platform::CreateNamedLock(name, m_hSemaphore))
        LogMessage(kProgramComponent, 0, "CreateSemaphore() failed. Err = %d", Platform::LastError());
}
