#pragma once

#include <QLoggingCategory>

// Diagnostics of the scanner control; enable with QT_LOGGING_RULES="pagora.scanner.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcScanner)
