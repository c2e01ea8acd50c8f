#include "scanner/TwainControlFactory.h"

#include "scanner/NullTwainControl.h"

TTwainControl *createTwainControl(QObject *parent)
{
    return new NullTwainControl(parent);
}
