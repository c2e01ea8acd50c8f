#include "about/AboutLog.h"

Q_LOGGING_CATEGORY(lcAbout, "pagora.about", QtWarningMsg)
