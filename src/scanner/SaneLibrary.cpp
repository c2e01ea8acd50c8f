#include "scanner/SaneLibrary.h"

#include "scanner/ScannerLog.h"

#include <QThread>
#include <csignal>
#include <sane/sane.h>

namespace {

thread_local bool t_saneThread = false;

} // namespace

SaneLibrary &SaneLibrary::instance()
{
    // Never destroyed: a thread left in a backend must not outlive its owner object.
    static auto *library = new SaneLibrary;
    return *library;
}

QThread *SaneLibrary::attach()
{
    QMutexLocker lock(&m_mutex);
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("SANE"));
        // Direct: runs on the new thread itself, before it handles any call.
        QObject::connect(
            m_thread, &QThread::started, m_thread, [] { t_saneThread = true; },
            Qt::DirectConnection);
        m_context = new QObject;
        m_context->moveToThread(m_thread);
        m_thread->start();
    }
    ++m_users;
    return m_thread;
}

bool SaneLibrary::detach(QDeadlineTimer deadline)
{
    QMutexLocker lock(&m_mutex);
    if (m_users <= 0 || --m_users > 0 || !m_thread)
        return true;
    QThread *thread = m_thread;
    QObject *context = m_context;
    m_thread = nullptr;
    m_context = nullptr;
    lock.unlock();

    // Queued behind whatever the controls asked for last (closing their devices), and
    // the thread ends itself only after it, so nothing queued is skipped.
    QMetaObject::invokeMethod(
        context,
        [this] {
            shutdown();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (thread->wait(deadline)) {
        delete context;
        delete thread;
        return true;
    }
    // Left as it is: the backend call may still return and touch what it uses.
    qCWarning(lcScanner) << "a scanner backend did not return; SANE is left running";
    QMutexLocker again(&m_mutex);
    m_abandoned = true;
    return false;
}

bool SaneLibrary::isAbandoned() const
{
    QMutexLocker lock(&m_mutex);
    return m_abandoned;
}

bool SaneLibrary::onSaneThread() const
{
    return t_saneThread;
}

bool SaneLibrary::ensureInitialized()
{
    Q_ASSERT(onSaneThread());
    if (m_initialized)
        return true;
    if (isAbandoned())
        return false; // another thread may still be inside a backend
    // Backends stream pages through pipes and sockets; a reader that goes away (a
    // cancelled scan) must give an error code, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    SANE_Int version = 0;
    const SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD) {
        qCWarning(lcScanner) << "sane_init failed:" << sane_strstatus(status);
        return false;
    }
    m_initialized = true;
    qCDebug(lcScanner) << "SANE initialised, version" << SANE_VERSION_MAJOR(version)
                       << SANE_VERSION_MINOR(version) << SANE_VERSION_BUILD(version);
    return true;
}

bool SaneLibrary::listDevices(QList<ScanRules::DeviceEntry> *devices)
{
    Q_ASSERT(onSaneThread());
    devices->clear();
    if (!ensureInitialized())
        return false;
    qCDebug(lcScanner) << "reading the device list";
    const SANE_Device **list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD || !list) {
        qCWarning(lcScanner) << "sane_get_devices failed:" << sane_strstatus(status);
        return false;
    }
    for (int i = 0; list[i]; ++i) {
        devices->append({QString::fromUtf8(list[i]->name), QString::fromUtf8(list[i]->vendor),
                         QString::fromUtf8(list[i]->model)});
    }
    return true;
}

bool SaneLibrary::isDeviceListed(const QString &name)
{
    QList<ScanRules::DeviceEntry> devices;
    if (!listDevices(&devices))
        return false;
    for (const auto &d : devices) {
        if (d.name == name)
            return true;
    }
    return false;
}

int SaneLibrary::open(const QByteArray &name, void **handle)
{
    Q_ASSERT(onSaneThread());
    *handle = nullptr;
    if (!ensureInitialized())
        return SANE_STATUS_IO_ERROR;
    SANE_Handle h = nullptr;
    const SANE_Status status = sane_open(name.constData(), &h);
    if (status == SANE_STATUS_GOOD) {
        *handle = h;
        ++m_openHandles;
    }
    return status;
}

void SaneLibrary::close(void *handle)
{
    Q_ASSERT(onSaneThread());
    // A handle that outlived sane_exit is gone with it; closing it would crash.
    if (!handle || !m_initialized)
        return;
    sane_close(static_cast<SANE_Handle>(handle));
    --m_openHandles;
}

void SaneLibrary::shutdown()
{
    Q_ASSERT(onSaneThread());
    if (!m_initialized)
        return;
    if (m_openHandles > 0)
        qCWarning(lcScanner) << "SANE shut down with" << m_openHandles << "open handle(s)";
    qCDebug(lcScanner) << "shutting SANE down";
    sane_exit();
    qCDebug(lcScanner) << "SANE shut down";
    m_initialized = false;
    m_openHandles = 0;
}
