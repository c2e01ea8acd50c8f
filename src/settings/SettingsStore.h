#pragma once

#include <QSettings>
#include <QString>
#include <functional>
#include <memory>

// The program's one per-user key: QSettings in native format, organisation
// "Veldmark", application "Pagora Pro". Every reader asks whether a value exists
// and gets it only when it is there and of its kind; otherwise the caller keeps
// what it had. Booleans are stored as the integers 1 and 0.
//
// A store lives for one access (open, read or write, drop), as the rest of the
// program expects; tests pass a file path to use a throw-away file instead.
// Dropping a store that was written to writes the file; a failure to do so (a
// read-only folder, a full disk) goes to the write-failure handler, once per run.
class SettingsStore final
{
    Q_DISABLE_COPY_MOVE(SettingsStore)

public:
    // Value names, spelled as stored.
    static constexpr const char *Lang = "Lang";
    static constexpr const char *Units = "Units";
    static constexpr const char *Save = "Save";
    static constexpr const char *SkipBlank = "SkipBlank";
    static constexpr const char *Update = "Update";
    static constexpr const char *WWidth = "WWidth";
    static constexpr const char *WHeight = "WHeight";
    static constexpr const char *Scanner = "Scanner";
    // The chosen scanner's device name ("test:0"), stored with Scanner while the
    // choices are saved: opened at start before the full search has listed it.
    static constexpr const char *ScannerDevice = "ScannerDevice";
    static constexpr const char *Mode = "Mode";
    static constexpr const char *Resolution = "Resolution";
    static constexpr const char *Size = "Size";
    static constexpr const char *Format = "Format";
    static constexpr const char *FileName = "FileName";
    static constexpr const char *Destination = "Destination";
    static constexpr const char *ADF = "ADF";
    static constexpr const char *Duplex = "Duplex";
    static constexpr const char *PWidth = "PWidth";
    static constexpr const char *PHeight = "PHeight";
    // Two-pass duplex: the feeder gives the backs of a turned stack in sheet
    // order; absent means off (last-first).
    static constexpr const char *BacksFirstFirst = "BacksFirstFirst";
    // Text recognition for "Save all to PDF"; absent means off. The languages as
    // Tesseract's codes ("rus+eng").
    static constexpr const char *SearchablePdf = "SearchablePdf";
    static constexpr const char *OcrLanguages = "OcrLanguages";
    // Seconds the recognition of one page may take (OcrTimeLimitMin to
    // OcrTimeLimitMax); absent or out of range means OcrTimeLimitDefault.
    static constexpr const char *OcrTimeLimit = "OcrTimeLimit";
    static constexpr int OcrTimeLimitDefault = 60;
    static constexpr int OcrTimeLimitMin = 5;
    static constexpr int OcrTimeLimitMax = 600;
    // Archival PDF/A documents from "Save all to PDF"; absent means off.
    static constexpr const char *ArchivalPdf = "ArchivalPdf";
    // Compact documents (text split from the paper) from "Save all to PDF", as
    // last chosen in its dialog; absent means off.
    static constexpr const char *CompactPdf = "CompactPdf";
    // Scanned pages turned upright and straightened before they are written;
    // absent means off.
    static constexpr const char *TurnUpright = "TurnUpright";
    static constexpr const char *Straighten = "Straighten";
    // Flatbed scans cut to the paper; absent means off.
    static constexpr const char *CropToPage = "CropToPage";
    // Width of the image list's thumbnails (100 to 400, height 3/4 of it);
    // absent means the usual 100 x 75.
    static constexpr const char *ThumbnailWidth = "ThumbnailWidth";

    SettingsStore();
    explicit SettingsStore(const QString &filePath);
    ~SettingsStore();

    bool ValueExists(const QString &name) const;

    // Each returns false, leaving value untouched, when the value is absent or
    // cannot be read as its kind (a hand-edited "Units=abc" counts as absent).
    bool readString(const QString &name, QString &value) const;
    bool readInteger(const QString &name, int &value) const;
    bool readBool(const QString &name, bool &value) const;
    // An integer that must lie in [min, max]; anything else counts as absent.
    bool readIntegerInRange(const QString &name, int min, int max, int &value) const;

    void WriteString(const QString &name, const QString &value);
    void WriteInteger(const QString &name, int value);
    void WriteBool(const QString &name, bool value);

    // Where the values live (a file on Linux), for messages and tests.
    QString location() const;

    // The file path that tests set so that windows use a throw-away store.
    static void setDefaultFilePath(const QString &filePath);

    // Told the location of the first store of this run that could not be written;
    // without a handler that goes to the log as a warning.
    using WriteFailureHandler = std::function<void(const QString &location)>;
    static void setWriteFailureHandler(WriteFailureHandler handler);
    // Whether a failure was reported this run; tests start a new run with reset.
    static bool writeFailureReported();
    static void resetWriteFailureReported();

private:
    std::unique_ptr<QSettings> m_settings;
    bool m_written = false;
};
