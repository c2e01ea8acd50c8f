#pragma once

#include <QObject>

class TTwainControl;

// Makes the scanner control of this platform.
TTwainControl *createTwainControl(QObject *parent);
