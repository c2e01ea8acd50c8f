#pragma once

#include <QLoggingCategory>

// Diagnostics of the image codecs (libjpeg and libtiff messages); off by default.
Q_DECLARE_LOGGING_CATEGORY(lcImaging)
