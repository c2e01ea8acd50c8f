#include "scanner/SaneDeviceLister.h"

#include "scanner/ScannerLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sane/sane.h>

namespace {

QMutex g_commandMutex;
QString g_program;
QStringList g_arguments;

} // namespace

SaneDeviceLister::SaneDeviceLister(QObject *parent) : QObject(parent)
{
}

SaneDeviceLister::~SaneDeviceLister()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

void SaneDeviceLister::setCommand(const QString &program, const QStringList &arguments)
{
    QMutexLocker lock(&g_commandMutex);
    g_program = program;
    g_arguments = arguments;
}

bool SaneDeviceLister::hasCommand()
{
    QMutexLocker lock(&g_commandMutex);
    return !g_program.isEmpty();
}

void SaneDeviceLister::start()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->deleteLater();
        m_process = nullptr;
    }
    QString program;
    QStringList arguments;
    {
        QMutexLocker lock(&g_commandMutex);
        program = g_program;
        arguments = g_arguments;
    }
    auto *process = new QProcess(this);
    m_process = process;
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_clock.start();
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (process != m_process)
            return;
        if (e == QProcess::FailedToStart) {
            qCWarning(lcScanner) << "cannot run the device search:" << process->errorString();
            // Possibly from inside start(): answered once that has returned.
            QMetaObject::invokeMethod(
                this,
                [this, process] {
                    if (process == m_process)
                        finish(false, false, {});
                },
                Qt::QueuedConnection);
        }
    });
    connect(process, &QProcess::finished, this,
            [this, process](int code, QProcess::ExitStatus status) {
                if (process != m_process)
                    return;
                QList<ScanRules::DeviceEntry> devices;
                const bool ok = status == QProcess::NormalExit && code == 0 &&
                                parse(process->readAllStandardOutput(), &devices);
                if (!ok)
                    qCWarning(lcScanner) << "the device search failed, exit" << status << code;
                finish(ok, true, devices);
            });
    auto *timer = new QTimer(process);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, process] {
        if (process != m_process)
            return;
        qCWarning(lcScanner) << "the device search did not end within" << kTimeoutMs << "ms";
        finish(false, true, {});
    });
    timer->start(kTimeoutMs);
    process->start(program, arguments, QIODevice::ReadOnly);
}

void SaneDeviceLister::finish(bool ok, bool started, const QList<ScanRules::DeviceEntry> &devices)
{
    QProcess *process = m_process;
    m_process = nullptr;
    if (process) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning)
            process->kill();
        // Deleted once the event that brought us here has returned.
        process->deleteLater();
    }
    qCDebug(lcScanner) << "source list read:" << devices.size() << "device(s) in"
                       << m_clock.elapsed() << "ms (separate process)";
    emit listed(ok, started, devices);
}

int SaneDeviceLister::printDevices()
{
    std::signal(SIGPIPE, SIG_IGN);
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD)
        return 1;
    const SANE_Device **list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    QJsonArray devices;
    for (int i = 0; status == SANE_STATUS_GOOD && list && list[i]; ++i) {
        devices.append(QJsonObject{{QStringLiteral("name"), QString::fromUtf8(list[i]->name)},
                                   {QStringLiteral("vendor"), QString::fromUtf8(list[i]->vendor)},
                                   {QStringLiteral("model"), QString::fromUtf8(list[i]->model)}});
    }
    if (status == SANE_STATUS_GOOD) {
        const QByteArray out = QJsonDocument(devices).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    }
    std::fflush(stdout);
    // No sane_exit: the process ends here, and a backend that hangs on the way
    // out must not keep the list from its reader.
    return status == SANE_STATUS_GOOD ? 0 : 1;
}

bool SaneDeviceLister::parse(const QByteArray &output, QList<ScanRules::DeviceEntry> *devices)
{
    devices->clear();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(output.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return false;
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString name = o.value(QStringLiteral("name")).toString();
        if (name.isEmpty())
            return false;
        devices->append({name, o.value(QStringLiteral("vendor")).toString(),
                         o.value(QStringLiteral("model")).toString()});
    }
    return true;
}
