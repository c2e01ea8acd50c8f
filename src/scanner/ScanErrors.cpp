#include "scanner/ScanErrors.h"

#include <QCoreApplication>
#include <sane/sane.h>

namespace ScanError {

int fromSaneStatus(int saneStatus)
{
    switch (SANE_Status(saneStatus)) {
    case SANE_STATUS_GOOD:
        return None;
    case SANE_STATUS_DEVICE_BUSY:
        return Busy;
    case SANE_STATUS_JAMMED:
        return Jammed;
    case SANE_STATUS_COVER_OPEN:
        return CoverOpen;
    case SANE_STATUS_NO_DOCS:
        return NoDocuments;
    case SANE_STATUS_IO_ERROR:
        return IoError;
    case SANE_STATUS_ACCESS_DENIED:
        return AccessDenied;
    case SANE_STATUS_NO_MEM:
        return OutOfMemory;
    case SANE_STATUS_INVAL:
    case SANE_STATUS_UNSUPPORTED:
        return InvalidSetting;
    case SANE_STATUS_CANCELLED:
        return Cancelled;
    default:
        return Other;
    }
}

QString text(int code)
{
    const char *const ctx = "ScanError";
    switch (code) {
    case None:
        return QString();
    case NoSource:
        return QCoreApplication::translate(ctx, "No scanner is selected. Connect a scanner and "
                                                "choose it in the source list.");
    case OpenFailed:
        return QCoreApplication::translate(ctx, "The scanner could not be opened. Check that it "
                                                "is connected and switched on.");
    case Busy:
        return QCoreApplication::translate(ctx, "The scanner is busy. Wait until it is free "
                                                "and try again.");
    case Jammed:
        return QCoreApplication::translate(ctx, "Paper jam in the document feeder. Remove the "
                                                "jammed sheet and try again.");
    case CoverOpen:
        return QCoreApplication::translate(ctx, "The scanner cover is open. Close it and try "
                                                "again.");
    case NoDocuments:
        return QCoreApplication::translate(ctx, "There are no documents in the feeder. Load "
                                                "the sheets and try again.");
    case IoError:
        return QCoreApplication::translate(ctx, "Communication with the scanner failed "
                                                "(input/output error). Check the cable and "
                                                "try again.");
    case AccessDenied:
        return QCoreApplication::translate(ctx, "Access to the scanner was denied. Check that "
                                                "you have permission to use it.");
    case DeviceGone:
        return QCoreApplication::translate(ctx, "The scanner was disconnected or switched "
                                                "off. Pages already received are kept.");
    case OutOfMemory:
        return QCoreApplication::translate(ctx, "Not enough memory for the page. Choose a "
                                                "lower resolution or a smaller size.");
    case InvalidSetting:
        return QCoreApplication::translate(ctx, "The scanner does not accept the chosen "
                                                "settings.");
    case Cancelled:
        return QCoreApplication::translate(ctx, "The scan was cancelled.");
    case NotOpen:
        return QCoreApplication::translate(ctx, "No scanner is open.");
    case WriteFailed:
        return QCoreApplication::translate(ctx, "A page file could not be written.");
    case NotResponding:
        return QCoreApplication::translate(ctx, "The scanner does not respond. Switch it off and "
                                                "on, or restart the program.");
    case FeederNotSelected:
        return QCoreApplication::translate(ctx, "The scanner did not switch to its document "
                                                "feeder, so nothing was scanned. Check the "
                                                "scanner, or scan from the flatbed.");
    case FeederNeverEmpty:
        return QCoreApplication::translate(ctx, "The scanner kept sending pages without saying "
                                                "its feeder was empty, so the batch was stopped. "
                                                "Pages already received are kept.");
    case FeatureUnavailable:
        return QCoreApplication::translate(ctx, "The scanner cannot scan both sides; only the "
                                                "front sides are scanned.");
    case ValueAdjusted:
        return QCoreApplication::translate(ctx, "The scan area was reduced to fit the "
                                                "scanner.");
    default:
        return QCoreApplication::translate(ctx, "The scanner reported an error.");
    }
}

bool isWarning(int code)
{
    return code == FeatureUnavailable || code == ValueAdjusted;
}

} // namespace ScanError
