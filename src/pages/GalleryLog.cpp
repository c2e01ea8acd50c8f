#include "pages/GalleryLog.h"

Q_LOGGING_CATEGORY(lcGallery, "pagora.gallery", QtWarningMsg)
