#include "pages/PageRotation.h"

#include "files/AtomicFile.h"
#include "files/FileCommit.h"
#include "i18n/SystemErrorText.h"
#include "imaging/ImageFileReader.h"
#include "ocr/PageStraightener.h"
#include "pages/GalleryLog.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTransform>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace PageRotation {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PageImages", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The JFIF header right after the start of image: "JFIF\0", version, units,
// horizontal and vertical density. Returns the offset of the units byte, or -1.
int jfifUnitsOffset(const QByteArray &jpeg)
{
    if (jpeg.size() < 20 || uchar(jpeg[0]) != 0xFF || uchar(jpeg[1]) != 0xD8 ||
        uchar(jpeg[2]) != 0xFF || uchar(jpeg[3]) != 0xE0 ||
        jpeg.mid(6, 5) != QByteArray("JFIF\0", 5))
        return -1;
    return 13;
}

// Dots per metre from the JFIF density (dots per inch or per centimetre).
QSize jfifDotsPerMetre(const QByteArray &jpeg)
{
    const int at = jfifUnitsOffset(jpeg);
    if (at < 0)
        return {};
    const int units = uchar(jpeg[at]);
    const int x = (uchar(jpeg[at + 1]) << 8) | uchar(jpeg[at + 2]);
    const int y = (uchar(jpeg[at + 3]) << 8) | uchar(jpeg[at + 4]);
    if (units == 1)
        return QSize(qRound(x / 0.0254), qRound(y / 0.0254));
    if (units == 2)
        return QSize(x * 100, y * 100);
    return {};
}

void swapJfifDensity(QByteArray &jpeg)
{
    const int at = jfifUnitsOffset(jpeg);
    if (at < 0)
        return;
    for (int i = 1; i <= 2; ++i)
        std::swap(jpeg[at + i], jpeg[at + i + 2]);
}

// Lossless: only when the size is a whole number of blocks (TJXOPT_PERFECT),
// so no edge is dropped. Empty when the transform refuses.
QByteArray transformJpeg(const QByteArray &jpeg, int quarterTurns)
{
    tjhandle handle = tjInitTransform();
    if (!handle)
        return {};
    tjtransform transform{};
    transform.op = quarterTurns == 1   ? TJXOP_ROT90
                   : quarterTurns == 2 ? TJXOP_ROT180
                                       : TJXOP_ROT270;
    transform.options = TJXOPT_PERFECT;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    QByteArray result;
    if (tjTransform(handle, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                    static_cast<unsigned long>(jpeg.size()), 1, &out, &outSize, &transform, 0) == 0)
        result = QByteArray(reinterpret_cast<const char *>(out), qsizetype(outSize));
    else
        qCDebug(lcGallery) << "lossless turn refused:" << tjGetErrorStr2(handle);
    tjFree(out);
    tjDestroy(handle);
    return result;
}

// Line art and the TIFF resolution, which the decoded picture does not carry.
struct TiffFacts
{
    bool lineArt = false;
    QSize dotsPerMetre;
};

TiffFacts tiffFacts(const QString &path)
{
    TiffFacts facts;
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return facts;
    uint16_t bits = 8;
    uint16_t unit = RESUNIT_INCH;
    float x = 0;
    float y = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    facts.lineArt = bits == 1;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) {
        const double perMetre = unit == RESUNIT_CENTIMETER ? 100.0 : 1 / 0.0254;
        facts.dotsPerMetre = QSize(qRound(x * perMetre), qRound(y * perMetre));
    }
    TIFFClose(tif);
    return facts;
}

bool writeBytes(const QByteArray &bytes, const QString &path, QString *error)
{
    // A new file under a hidden name, in place whole and on the disk or not at all.
    AtomicFile file(path);
    if (file.open() && file.write(bytes) && file.commitReplacing())
        return true;
    setError(error, tr("The file %1 could not be written: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

// A name next to path, hidden, with path's extension so the writer keeps the format.
QString siblingName(const QString &path, const char *tag)
{
    const QFileInfo info(path);
    return info.dir().filePath(QLatin1Char('.') + info.completeBaseName() + QLatin1String(tag) +
                               QLatin1Char('.') + info.suffix());
}

} // namespace

namespace {

// Decodes source, draws it anew and writes it to target in source's format, with
// its resolution (swapped for a quarter turn) and, for line art, one bit deep.
// jpeg: the file's bytes when it is a JPEG (read already).
bool redrawInto(const QString &source, const QString &target, const QByteArray &jpeg,
                bool swapSides, const std::function<QImage(const QImage &)> &draw, QString *error)
{
    const PageImageWriter::Format format = PageImageWriter::formatForPath(source);
    TiffFacts tiff;
    if (format == PageImageWriter::Format::Tiff)
        tiff = tiffFacts(source);
    QImage image = ImageFileReader::read(source, error);
    if (image.isNull())
        return false;
    const QSize dpm = format == PageImageWriter::Format::Jpeg ? jfifDotsPerMetre(jpeg)
                      : format == PageImageWriter::Format::Tiff
                          ? tiff.dotsPerMetre
                          : QSize(image.dotsPerMeterX(), image.dotsPerMeterY());
    const bool lineArt = image.depth() == 1 || tiff.lineArt;
    if (image.depth() < 8)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    QImage drawn = draw(image);
    if (lineArt)
        drawn = drawn.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    if (dpm.isValid() && !dpm.isEmpty()) {
        drawn.setDotsPerMeterX(swapSides ? dpm.height() : dpm.width());
        drawn.setDotsPerMeterY(swapSides ? dpm.width() : dpm.height());
    }
    return PageImageWriter::save(drawn, target, error);
}

QByteArray jpegBytes(const QString &source, bool *ok, QString *error)
{
    QFile file(source);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok) {
        setError(error, tr("Unable to open file '%1'").arg(QDir::toNativeSeparators(source)));
        return {};
    }
    return file.readAll();
}

} // namespace

bool rotateInto(const QString &source, const QString &target, int quarterTurns, bool *lossless,
                QString *error)
{
    quarterTurns = ((quarterTurns % 4) + 4) % 4;
    if (lossless)
        *lossless = false;
    QByteArray jpeg;
    if (PageImageWriter::formatForPath(source) == PageImageWriter::Format::Jpeg) {
        bool ok = false;
        jpeg = jpegBytes(source, &ok, error);
        if (!ok)
            return false;
        QByteArray turned = quarterTurns == 0 ? jpeg : transformJpeg(jpeg, quarterTurns);
        if (!turned.isEmpty()) {
            if (quarterTurns % 2 == 1)
                swapJfifDensity(turned);
            if (lossless)
                *lossless = true;
            return writeBytes(turned, target, error);
        }
    }
    return redrawInto(
        source, target, jpeg, quarterTurns % 2 == 1,
        [quarterTurns](const QImage &image) {
            return image.transformed(QTransform().rotate(90.0 * quarterTurns));
        },
        error);
}

bool straightenInto(const QString &source, const QString &target, double degrees, QString *error)
{
    QByteArray jpeg;
    if (PageImageWriter::formatForPath(source) == PageImageWriter::Format::Jpeg) {
        bool ok = false;
        jpeg = jpegBytes(source, &ok, error);
        if (!ok)
            return false;
    }
    return redrawInto(
        source, target, jpeg, false,
        [degrees](const QImage &image) { return PageStraightener::rotated(image, degrees); },
        error);
}

namespace {

FailureInjector g_injector;

bool injected(Step step, int index)
{
    return g_injector && g_injector(step, index);
}

// The copy takes the file's mode, group and, where the process may, owner.
int copyAttributes(const QString &from, const QString &to)
{
    struct stat st = {};
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::stat(source.constData(), &st) != 0)
        return errno;
    // Owner and group first: changing them may clear set-id bits of the mode.
    if (::chown(target.constData(), st.st_uid, st.st_gid) != 0 &&
        ::chown(target.constData(), uid_t(-1), st.st_gid) != 0)
        qCDebug(lcGallery) << "turned copy keeps its own group:" << std::strerror(errno);
    return ::chmod(target.constData(), st.st_mode & 07777) == 0 ? 0 : errno;
}

// One file and its turned copy, and how far the swap went.
struct Swap
{
    QString file;
    QString turned;
    QString aside;          // the original under a second name (without exchange)
    bool exchanged = false; // the original is under the turned copy's name
    bool done = false;
};

bool swapIn(Swap &s, int *error)
{
    *error = FileCommit::exchange(s.turned, s.file);
    if (*error == 0) {
        s.exchanged = s.done = true;
        return true;
    }
    if (*error != ENOTSUP && *error != EINVAL && *error != ENOSYS && *error != EOPNOTSUPP)
        return false;
    // No exchange on this file system: the original keeps a second name, and
    // rename() replaces the file in one step.
    const QByteArray file = QFile::encodeName(s.file);
    const QByteArray aside = QFile::encodeName(s.aside);
    ::unlink(aside.constData());
    if (::link(file.constData(), aside.constData()) != 0) {
        *error = errno;
        return false;
    }
    if (std::rename(QFile::encodeName(s.turned).constData(), file.constData()) != 0) {
        *error = errno;
        ::unlink(aside.constData());
        return false;
    }
    s.done = true;
    return true;
}

void swapBack(Swap &s)
{
    if (!s.done)
        return;
    if (s.exchanged)
        FileCommit::exchange(s.turned, s.file);
    else
        std::rename(QFile::encodeName(s.aside).constData(), QFile::encodeName(s.file).constData());
    s.done = false;
}

} // namespace

void setFailureInjector(const FailureInjector &injector)
{
    g_injector = injector;
}

bool rotateFiles(const QStringList &files, int quarterTurns, QString *error)
{
    return replaceFiles(
        files,
        [quarterTurns](const QString &file, const QString &copy, QString *why) {
            return rotateInto(file, copy, quarterTurns, nullptr, why);
        },
        error);
}

bool straightenFiles(const QStringList &files, double degrees, QString *error)
{
    return replaceFiles(
        files,
        [degrees](const QString &file, const QString &copy, QString *why) {
            return straightenInto(file, copy, degrees, why);
        },
        error);
}

bool replaceFiles(const QStringList &files, const WriteCopy &writeCopy, QString *error)
{
    std::vector<Swap> swaps;
    const auto undo = [&swaps] {
        for (auto it = swaps.rbegin(); it != swaps.rend(); ++it) {
            swapBack(*it);
            QFile::remove(it->turned);
            QFile::remove(it->aside);
        }
    };
    const auto fail = [&](const QString &file, int errorNumber) {
        setError(error,
                 tr("The file %1 could not be replaced: %2")
                     .arg(QDir::toNativeSeparators(file), SystemErrorText::text(errorNumber)));
        undo();
        return false;
    };
    for (int i = 0; i < files.size(); ++i) {
        const QString &file = files.at(i);
        Swap s;
        s.file = file;
        s.turned = siblingName(file, ".turning");
        s.aside = siblingName(file, ".original");
        QFile::remove(s.turned);
        swaps.push_back(s);
        if (injected(Step::WriteCopy, i))
            return fail(file, EIO);
        if (!writeCopy(file, s.turned, error)) {
            undo();
            return false;
        }
        int e = injected(Step::Attributes, i) ? EPERM : copyAttributes(file, s.turned);
        if (e != 0)
            return fail(file, e);
        e = injected(Step::SyncCopy, i) ? EIO : FileCommit::syncFile(s.turned);
        if (e != 0)
            return fail(file, e);
    }
    for (int i = 0; i < int(swaps.size()); ++i) {
        int e = EIO;
        if (injected(Step::Swap, i) || !swapIn(swaps[size_t(i)], &e))
            return fail(swaps[size_t(i)].file, e);
    }
    // Every file turned: the originals go, and the folders keep the new entries.
    for (const Swap &s : swaps) {
        QFile::remove(s.exchanged ? s.turned : s.aside);
        FileCommit::syncFolderOf(s.file);
    }
    return true;
}

} // namespace PageRotation
