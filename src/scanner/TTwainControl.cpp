#include "scanner/TTwainControl.h"

void TTwainControl::OpenRememberedSource(const QString &deviceName)
{
    Q_UNUSED(deviceName)
    QMetaObject::invokeMethod(
        this, [this] { emit OnRememberedSourceOpened(0); }, Qt::QueuedConnection);
}
