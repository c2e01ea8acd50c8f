#pragma once

#include <QLoggingCategory>

// Diagnostics of the image list, thumbnails and the preview window (off by default).
Q_DECLARE_LOGGING_CATEGORY(lcGallery)
