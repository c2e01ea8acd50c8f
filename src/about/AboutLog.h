#pragma once

#include <QLoggingCategory>

// Diagnostics of the update check; enable with QT_LOGGING_RULES="pagora.about.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcAbout)
