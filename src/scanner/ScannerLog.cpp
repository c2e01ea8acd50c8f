#include "scanner/ScannerLog.h"

Q_LOGGING_CATEGORY(lcScanner, "pagora.scanner", QtWarningMsg)
