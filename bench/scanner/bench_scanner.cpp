// Page file writers against the standard tools, the blank test per page, and the
// peak memory of a feeder batch. See bench/scanner/README.md.
#include "scanner/BlankPageDetector.h"
#include "scanner/PageImageWriter.h"
#include "scanner/SaneTwainControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <tiffio.h>

namespace {

constexpr int kDpi = 300;
constexpr int kRuns = 5;

// An A4 page at 300 dpi that looks like a scanned document: paper with noise,
// lines of "text", a colour picture.
QImage documentPage()
{
    const int w = 2480, h = 3508;
    QImage img(w, h, QImage::Format_RGB888);
    QRandomGenerator rng(1);
    for (int y = 0; y < h; ++y) {
        uchar *row = img.scanLine(y);
        const bool textLine = y > 300 && y < 2200 && (y / 40) % 2 == 0 && (y % 40) > 8;
        for (int x = 0; x < w; ++x) {
            int v = 245 + int(rng.bounded(7)) - 3;
            if (textLine && x > 250 && x < 2230 && ((x / 9) % 5) < 3 && ((x * 7 + y) % 11) < 6)
                v = 30;
            uchar *p = row + 3 * x;
            p[0] = p[1] = p[2] = uchar(v);
            if (y > 2400 && y < 3200 && x > 400 && x < 2000) {
                p[0] = uchar((x / 7) & 0xff);
                p[1] = uchar((y / 5) & 0xff);
                p[2] = uchar(((x + y) / 9 + rng.bounded(16)) & 0xff);
            }
        }
    }
    const int dpm = qRound(kDpi / 0.0254);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    // As the scanner control holds colour pages.
    return img.convertToFormat(QImage::Format_BGR888);
}

double bestMs(const std::function<bool()> &run)
{
    double best = 1e12;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run()) {
            std::fprintf(stderr, "run failed\n");
            return -1;
        }
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

bool tool(const QString &program, const QStringList &args)
{
    return QProcess::execute(program, args) == 0;
}

bool writePpm(const QImage &img, const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    f.write(QStringLiteral("P6\n%1 %2\n255\n").arg(img.width()).arg(img.height()).toLatin1());
    for (int y = 0; y < rgb.height(); ++y)
        f.write(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    return true;
}

bool writeRawTiff(const QImage &page, const QString &path)
{
    const QImage img = page.convertToFormat(QImage::Format_RGB888);
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(img.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(img.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uchar> row(size_t(img.width()) * 3);
    for (int y = 0; y < img.height(); ++y) {
        std::copy(img.constScanLine(y), img.constScanLine(y) + row.size(), row.begin());
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    return true;
}

int benchWriters(const QString &dir)
{
    const QImage page = documentPage();
    const QString ppm = dir + QStringLiteral("/page.ppm");
    const QString rawTiff = dir + QStringLiteral("/page-raw.tif");
    const QString bmp = dir + QStringLiteral("/page.bmp");
    if (!writePpm(page, ppm) || !writeRawTiff(page, rawTiff) || !PageImageWriter::save(page, bmp))
        return 1;
    const QString quality = QString::number(PageImageWriter::kJpegQuality);
    struct Row
    {
        const char *name;
        std::function<bool()> ours;
        std::function<bool()> theirs;
    };
    const Row rows[] = {
        {"JPEG  (cjpeg -quality 85)",
         [&] { return PageImageWriter::save(page, dir + QStringLiteral("/ours.jpg")); },
         [&] {
             return tool(QStringLiteral("cjpeg"),
                         {QStringLiteral("-quality"), quality, QStringLiteral("-outfile"),
                          dir + QStringLiteral("/theirs.jpg"), ppm});
         }},
        {"TIFF  (tiffcp -c lzw:2)",
         [&] { return PageImageWriter::save(page, dir + QStringLiteral("/ours.tiff")); },
         [&] {
             return tool(QStringLiteral("tiffcp"), {QStringLiteral("-c"), QStringLiteral("lzw:2"),
                                                    rawTiff, dir + QStringLiteral("/theirs.tif")});
         }},
        {"BMP   (cp)",
         [&] { return PageImageWriter::save(page, dir + QStringLiteral("/ours.bmp")); },
         [&] {
             return tool(QStringLiteral("cp"), {bmp, dir + QStringLiteral("/theirs.bmp")});
         }},
    };
    std::printf("A4 300 dpi colour page, best of %d runs\n", kRuns);
    std::printf("%-28s %10s %10s %8s\n", "format (baseline)", "ours ms", "tool ms", "ratio");
    for (const Row &r : rows) {
        const double ours = bestMs(r.ours);
        const double theirs = bestMs(r.theirs);
        std::printf("%-28s %10.1f %10.1f %8.2f\n", r.name, ours, theirs, ours / theirs);
    }

    QImage blank(page.size(), QImage::Format_RGB888);
    blank.fill(QColor(246, 246, 246));
    blank.setDotsPerMeterX(page.dotsPerMeterX());
    blank.setDotsPerMeterY(page.dotsPerMeterY());
    for (const auto &[name, img] : {std::pair{"document", page}, std::pair{"blank", blank}}) {
        float level = 0;
        const double ms = bestMs([&] {
            BlankPageDetector::isBlank(img, 0.01f, &level);
            return true;
        });
        std::printf("IsBlankImage %-10s %8.1f ms per page (level %.4f)\n", name, ms, level);
    }
    return 0;
}

long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// One feeder batch of `sheets` A4 300 dpi colour pages; prints the peak RSS in kB.
int runBatch(int sheets)
{
    QTemporaryDir config;
    QFile::copy(QStringLiteral(PAGORA_SOURCE_DIR "/data/sane/test.conf"),
                config.filePath(QStringLiteral("test.conf")));
    QFile dll(config.filePath(QStringLiteral("dll.conf")));
    if (!dll.open(QIODevice::WriteOnly))
        return 1;
    dll.write("test\n");
    dll.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(config.path()));

    SaneTwainControl c;
    if (!c.StartDevice())
        return 1;
    for (int i = 0; i < c.sourceCount(); ++i) {
        if (c.deviceName(i) == QLatin1String("test:0"))
            c.setSourceIndex(i);
    }
    if (!c.OpenDataSource())
        return 1;
    c.setPixelType(2);
    c.setResolution(kDpi);
    c.setPageSize(1);
    c.setFeederEnabled(1);
    c.setXferCount(sheets);
    int pages = 0;
    QObject::connect(&c, &TTwainControl::OnPostScan, [&](int flag) {
        if (flag == 0)
            ++pages;
        if (flag != 0 || c.dataSourceState() == 0)
            QCoreApplication::quit();
    });
    c.Acquire();
    QCoreApplication::exec();
    std::printf("%d %ld\n", pages, peakRssKb());
    return pages == sheets ? 0 : 1;
}

int benchMemory()
{
    long peak[2] = {};
    int idx = 0;
    for (int sheets : {2, 10}) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--batch"), QString::number(sheets)});
        child.waitForFinished(600000);
        const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || out.size() != 2) {
            std::fprintf(stderr, "batch of %d failed\n", sheets);
            return 1;
        }
        peak[idx++] = out.at(1).toLong();
    }
    const double pageKb = 2480.0 * 3508 * 3 / 1024;
    std::printf("Peak RSS, feeder batch, A4 300 dpi colour: 2 sheets %ld kB, 10 sheets %ld kB\n",
                peak[0], peak[1]);
    std::printf("Growth 2 -> 10 sheets: %.2f pages' worth (goal < 3)\n",
                (peak[1] - peak[0]) / pageKb);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--batch"))
        return runBatch(args.at(2).toInt());
    if (args.contains(QStringLiteral("--memory")))
        return benchMemory();
    QTemporaryDir dir;
    int rc = benchWriters(dir.path());
    if (!args.contains(QStringLiteral("--no-memory")))
        rc |= benchMemory();
    return rc;
}
