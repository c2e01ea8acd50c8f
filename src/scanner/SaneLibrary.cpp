#include "scanner/SaneLibrary.h"

#include "scanner/ScannerLog.h"

#include <QCoreApplication>
#include <csignal>
#include <sane/sane.h>

namespace {

void shutdownAtExit()
{
    SaneLibrary::instance().shutdown();
}

} // namespace

SaneLibrary &SaneLibrary::instance()
{
    static SaneLibrary library;
    return library;
}

SaneLibrary::~SaneLibrary()
{
    shutdown();
}

bool SaneLibrary::ensureInitialized()
{
    QMutexLocker lock(&m_mutex);
    if (m_initialized)
        return true;
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
    // Backends keep USB and network resources until sane_exit; release them when the
    // application object goes away (the static destructor covers programs without one).
    if (QCoreApplication::instance())
        qAddPostRoutine(shutdownAtExit);
    qCDebug(lcScanner) << "SANE initialised, version" << SANE_VERSION_MAJOR(version)
                       << SANE_VERSION_MINOR(version) << SANE_VERSION_BUILD(version);
    return true;
}

bool SaneLibrary::isInitialized() const
{
    QMutexLocker lock(&m_mutex);
    return m_initialized;
}

bool SaneLibrary::listDevices(QList<ScanRules::DeviceEntry> *devices)
{
    devices->clear();
    if (!ensureInitialized())
        return false;
    QMutexLocker lock(&m_mutex);
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
    *handle = nullptr;
    if (!ensureInitialized())
        return SANE_STATUS_IO_ERROR;
    QMutexLocker lock(&m_mutex);
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
    if (!handle)
        return;
    QMutexLocker lock(&m_mutex);
    // A handle that outlived sane_exit is gone with it; closing it would crash.
    if (!m_initialized)
        return;
    sane_close(static_cast<SANE_Handle>(handle));
    --m_openHandles;
}

void SaneLibrary::shutdown()
{
    QMutexLocker lock(&m_mutex);
    if (!m_initialized)
        return;
    if (m_openHandles > 0)
        qCWarning(lcScanner) << "SANE shut down with" << m_openHandles << "open handle(s)";
    sane_exit();
    m_initialized = false;
    m_openHandles = 0;
}
