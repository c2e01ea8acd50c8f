#pragma once

#include "scanner/SaneWorkerTypes.h" // DeviceEntry as a meta type

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>

class QProcess;

// Reads the SANE device list in a process of its own. Asking every backend takes
// seconds (longer with network backends), and SANE allows one thread per process:
// on the scanner's own thread the search would hold up every command given
// meanwhile. The child is the program itself, run with a hidden option that prints
// the list (printDevices) and exits.
class SaneDeviceLister final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneDeviceLister)

public:
    explicit SaneDeviceLister(QObject *parent = nullptr);
    ~SaneDeviceLister() override;

    // The program and its arguments that print the list; empty: no child is used.
    static void setCommand(const QString &program, const QStringList &arguments);
    static bool hasCommand();

    // Starts a search; listed() follows, never from inside the call. A search
    // still running is abandoned for the new one.
    void start();

    // The child's side: lists the devices on stdout and returns the exit status.
    static int printDevices();
    // The program's hidden option that calls printDevices.
    static constexpr const char *kOption = "--list-scanners";
    // The list printDevices wrote; false when it cannot be read.
    static bool parse(const QByteArray &output, QList<ScanRules::DeviceEntry> *devices);

    // A search that hangs (a backend waiting on the network) is given up after this.
    static constexpr int kTimeoutMs = 60000;

signals:
    // ok false: the child could not be run, failed or timed out; started false: it
    // could not even be run, so the caller may search another way.
    void listed(bool ok, bool started, const QList<ScanRules::DeviceEntry> &devices);

private:
    void finish(bool ok, bool started, const QList<ScanRules::DeviceEntry> &devices);

    QProcess *m_process = nullptr;
    QElapsedTimer m_clock;
};
