#include "scanner/TwainControlFactory.h"

#include "scanner/SaneTwainControl.h"

TTwainControl *createTwainControl(QObject *parent)
{
    return new SaneTwainControl(parent);
}
