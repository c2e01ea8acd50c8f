#include "gallery/GalleryLog.h"

Q_LOGGING_CATEGORY(lcGallery, "pagora.gallery", QtWarningMsg)
