#include "scanner/NullTwainControl.h"

#include <QMetaObject>

NullTwainControl::NullTwainControl(QObject *parent) : TTwainControl(parent)
{
}

int NullTwainControl::StartDevice()
{
    return 0;
}

void NullTwainControl::StopDevice()
{
    QMetaObject::invokeMethod(
        this, [this] { emit OnStopped(); }, Qt::QueuedConnection);
}

int NullTwainControl::OpenDataSource()
{
    setError(1, tr("No scanner is available"));
    return 0;
}

void NullTwainControl::Acquire()
{
    setError(1, tr("No scanner is available"));
    // Events arrive after the command returns, as with a real device.
    QMetaObject::invokeMethod(
        this, [this] { emit OnPostScan(1); }, Qt::QueuedConnection);
}

int NullTwainControl::IsBlankImage(int, float, float &currentNoiseLevel)
{
    currentNoiseLevel = 0;
    return 0;
}
