#pragma once

#include "ocr/OcrHelperProtocol.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <string>
#include <sys/types.h>

// One running recognition helper (pagora-ocr) and the two pipes to it. It is started
// with posix_spawn, which closes every descriptor of the program but the pipes and
// the error stream in the child before the helper runs: descriptors other threads
// open meanwhile, without close-on-exec or not, never reach it. Used by one thread at
// a time.
class OcrHelperProcess final
{
    Q_DISABLE_COPY_MOVE(OcrHelperProcess)

public:
    // How a transfer ended; anything but Done leaves the helper to be stopped.
    enum class Outcome
    {
        Done,
        Cancelled,
        TimedOut,
        Lost
    };

    // What a transfer looks at while it waits: a cancel flag and a time limit
    // counted from a clock (limitMs 0: none).
    struct Watch
    {
        const std::atomic_bool *cancel = nullptr;
        const QElapsedTimer *clock = nullptr;
        qint64 limitMs = 0;
    };

    OcrHelperProcess() = default;
    ~OcrHelperProcess() { stop(); }

    // Starts program with the arguments; false with *error naming the reason.
    bool start(const QString &program, const QStringList &arguments, QString *error);
    // Whether it still runs; one that has ended is reaped.
    bool isRunning();
    pid_t processId() const { return m_pid; }
    // Kills and reaps it; nothing when none runs.
    void stop();

    // The page's gray rows, bytesPerLine apart in memory.
    Outcome sendPage(const OcrHelperProtocol::PageHeader &page, const uchar *pixels,
                     qsizetype bytesPerLine, const Watch &watch);
    Outcome readStatus(OcrHelperProtocol::StatusHeader *status, std::string *text,
                       const Watch &watch);

    // Where pagora-ocr is: PAGORA_OCR_HELPER if set, else beside the running program,
    // where the package installs it relative to the program's folder, or, for a
    // program run from the build tree, that tree's helper. Empty when none is found.
    static QString program();

private:
    Outcome transfer(bool writing, char *data, std::size_t size, const Watch &watch);

    pid_t m_pid = 0;
    int m_toHelper = -1;
    int m_fromHelper = -1;
};
