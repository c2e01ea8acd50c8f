#pragma once

#include <QString>

// Error codes of the scanner control (errorCode) and their texts (errorString).
//
//   0  no error
//   1  no scanner is selected, or the selected one is not in the list
//   2  the scanner could not be opened
//   3  the scanner is busy (another program or a running scan uses it)
//   4  paper jam in the feeder
//   5  the scanner cover is open
//   6  no documents in the feeder
//   7  input/output error while talking to the scanner
//   8  access to the scanner was denied (permissions)
//   9  the scanner was disconnected or switched off
//  10  not enough memory (also: a page too large for memory)
//  11  the scanner refused a setting
//  12  the scan was cancelled
//  13  no scanner is open (acquire before OpenDataSource)
//  14  any other scanner failure
//  15  a page file could not be written (SaveImage; the text names the file)
//  16  the scanner did not answer in time (its driver is stuck); restart the program
//  17  a feeder batch was asked for, but the scanner kept another source (the
//      flatbed would give a page at every start); nothing is scanned
//  18  a feeder batch reached SaneScanWorker::kMaxFeederSheets without the scanner
//      saying its feeder was empty; the pages received are kept
//  39  warning: a requested feature is not available and was left out
//      (duplex on a single-sided feeder); the command goes on
//  45  warning: a value was adjusted to what the scanner accepts
//      (scan area clamped to the bed); the command goes on
//
// 39 and 45 never stop a scan or copy; every other non-zero code does.
namespace ScanError {

enum Code
{
    None = 0,
    NoSource = 1,
    OpenFailed = 2,
    Busy = 3,
    Jammed = 4,
    CoverOpen = 5,
    NoDocuments = 6,
    IoError = 7,
    AccessDenied = 8,
    DeviceGone = 9,
    OutOfMemory = 10,
    InvalidSetting = 11,
    Cancelled = 12,
    NotOpen = 13,
    Other = 14,
    WriteFailed = 15,
    NotResponding = 16,
    FeederNotSelected = 17,
    FeederNeverEmpty = 18,
    FeatureUnavailable = 39,
    ValueAdjusted = 45,
};

// The code for a SANE status (SANE_Status as int); 0 for SANE_STATUS_GOOD.
int fromSaneStatus(int saneStatus);

// The user's text for a code: what happened and what to do.
QString text(int code);

// 39 and 45 report a condition, not a failure.
bool isWarning(int code);

} // namespace ScanError
