// pagora-pdf: writes image files into one PDF document, one page per image, with the
// same writer as the program's "Save all to PDF" command.

#include "files/LocalFileName.h"
#include "ocr/OcrEnginePool.h"
#include "pdf/PdfExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <sys/stat.h>

namespace {

const char kUsage[] =
    "Usage: pagora-pdf OUTPUT.pdf IMAGE...\n"
    "       pagora-pdf --ocr LANGS [--ocr-timeout S] OUTPUT.pdf IMAGE...\n"
    "       pagora-pdf --pdfa [--ocr LANGS [--ocr-timeout S]] OUTPUT.pdf IMAGE...\n"
    "       pagora-pdf [--rotate-pages] [--deskew] [other options] OUTPUT.pdf IMAGE...\n"
    "       pagora-pdf --compact [--pdfa] [--ocr LANGS] OUTPUT.pdf IMAGE...\n"
    "\n"
    "Writes the images into one PDF document, one page per image in the order given;\n"
    "a multi-page TIFF gives one page per frame, in the file's order.\n"
    "Each page has the size of its image, one pixel per PDF unit.\n"
    "\n"
    "  JPEG files are embedded unchanged (gray, RGB or CMYK; baseline or progressive)\n"
    "  once a decode at 1/8 scale has shown them whole; a damaged one is refused.\n"
    "  BMP, PNG, TIFF and other images Qt or libtiff can read are encoded as colour\n"
    "  JPEGs of quality 75.\n"
    "\n"
    "A damaged image (empty, cut short, or holding less than its header promises)\n"
    "is an error, never a black or garbled page. Only regular files are read, and\n"
    "none larger than the largest page the program can scan (1 GiB of pixels, as\n"
    "an uncompressed file); any page up to that size is read, 600 dpi colour pages\n"
    "included. File names are taken byte for byte, UTF-8 or not, and the output is\n"
    "written under exactly the name given; a symbolic link of that name is\n"
    "replaced by the document, never followed.\n"
    "\n"
    "Images are encoded in parallel, one thread per core. On any error a message\n"
    "names the file and the reason, the exit status is 1 and no output file is\n"
    "written (an existing file of that name is left as it was).\n"
    "\n"
    "With --ocr the text of every page is recognised (Tesseract) and laid over the\n"
    "image as invisible text, so viewers can search, select and copy it: a\n"
    "searchable PDF. LANGS names the installed languages, like eng or rus+eng; a\n"
    "language that is not installed or cannot be loaded is named, the exit status\n"
    "is 2 and nothing is written. Pages are recognised in parallel, one engine per\n"
    "core and per 2 GiB of memory; a page without text gets no text layer. A page\n"
    "whose recognition takes longer than the time limit (--ocr-timeout, 60 seconds\n"
    "unless given) is written without a text layer and named in a warning; the\n"
    "document is still written and the exit status stays 0.\n"
    "\n"
    "With --pdfa the document is archival, PDF/A-2b: each page has the size of its\n"
    "image at the image's resolution (an A4 scan is 595 x 842 points at any dpi;\n"
    "an image without a resolution counts as 72 dpi); black-and-white images are\n"
    "stored losslessly as CCITT Group 4, gray ones stay gray, JPEG files keep\n"
    "their pixels exactly (their coefficients are copied with Huffman tables made\n"
    "for them; CMYK ones are converted to RGB), and other images take the\n"
    "smaller of a quality 75 JPEG and lossless Flate. The document carries XMP\n"
    "metadata (title: the output's name without .pdf), an sRGB output intent and a\n"
    "file identifier. It combines with --ocr.\n"
    "\n"
    "With --rotate-pages every page is turned upright first: Tesseract's orientation\n"
    "detection (osd.traineddata) decides a turn of 0, 90, 180 or 270 degrees, and\n"
    "only a confident answer turns a page; a blank page, a picture or noise stays\n"
    "as it is. With --deskew a page whose lines of text are tilted by more than 0.1\n"
    "degree (up to 12 either way) is turned straight; the corners that come in take\n"
    "the colour of the paper. Both run before the recognition, so --ocr reads the\n"
    "corrected page. A corrected page is encoded again (a JPEG file included);\n"
    "pages that need nothing are written as without these options. Without the\n"
    "orientation data --rotate-pages is an error and nothing is written.\n"
    "\n"
    "With --compact the document is made small for sending: each page that is a\n"
    "document (dark text on light paper) is split into three layers: the paper and\n"
    "any pictures at a third of the resolution or less as a JPEG, the text and line\n"
    "art at full resolution in black and white (CCITT Group 4), and the text's\n"
    "colour. The largest picture of a page keeps its full resolution. Pages that do\n"
    "not split cleanly (photographs, dark pages, line art) are stored as --pdfa\n"
    "stores them. Pages have the size of their image at its resolution, as with\n"
    "--pdfa. It combines with --pdfa and --ocr.\n"
    "\n"
    "Options:\n"
    "  --ocr LANGS    recognise the text in these languages (searchable PDF)\n"
    "  --ocr-timeout S\n"
    "                 seconds the recognition of one page may take (default 60;\n"
    "                 0: no limit)\n"
    "  --pdfa         write an archival PDF/A-2b document\n"
    "  --compact      split document pages into layers for a much smaller file\n"
    "  --rotate-pages turn pages upright (quarter turns)\n"
    "  --deskew       straighten tilted pages\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end of options (for file names that begin with '-')\n";

// Messages name files byte for byte, as they were given.
void print(const char *prefix, const QString &message)
{
    std::fprintf(stderr, "pagora-pdf: %s%s\n", prefix, LocalFileName::encode(message).constData());
}

int failWith(const QString &message)
{
    print("", message);
    return 1;
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat x = {}, y = {};
    if (::stat(LocalFileName::encode(a).constData(), &x) == 0 &&
        ::stat(LocalFileName::encode(b).constData(), &y) == 0)
        return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
    return QDir::cleanPath(QDir::current().absoluteFilePath(a)) ==
           QDir::cleanPath(QDir::current().absoluteFilePath(b));
}

} // namespace

int main(int argc, char *argv[])
{
    // Every page allocates and frees the same few megabytes on the worker threads;
    // handing them back to the kernel each time and faulting them in again cost
    // more than the memory kept (about 2 MiB).
    mallopt(M_MMAP_THRESHOLD, 16 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    QCoreApplication app(argc, argv);

    QStringList paths;
    QString languages;
    int timeLimit = OcrEngine::DefaultTimeLimit;
    bool archival = false;
    bool rotatePages = false;
    bool deskew = false;
    bool compact = false;
    bool options = true;
    // From argv itself: Qt's arguments() turns bytes that are not UTF-8 into U+FFFD,
    // and such a file could then not be opened nor such an output be written.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << LocalFileName::decode(QByteArray(argv[i]));
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (options && argument == QLatin1String("--ocr")) {
            if (i + 1 >= arguments.size())
                return failWith(QStringLiteral("--ocr needs the languages, like eng or rus+eng"));
            languages = arguments.at(++i);
            continue;
        }
        if (options && (argument == QLatin1String("--ocr-timeout") ||
                        argument.startsWith(QLatin1String("--ocr-timeout=")))) {
            QString value;
            if (argument.contains(QLatin1Char('=')))
                value = argument.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                value = arguments.at(++i);
            bool ok = false;
            timeLimit = value.toInt(&ok);
            if (!ok || timeLimit < 0)
                return failWith(QStringLiteral("--ocr-timeout needs a number of seconds, like 60 "
                                               "(0: no limit)"));
            continue;
        }
        if (options && argument.startsWith(QLatin1String("--ocr="))) {
            languages = argument.mid(6);
            continue;
        }
        if (options && argument == QLatin1String("--pdfa")) {
            archival = true;
            continue;
        }
        if (options && argument == QLatin1String("--compact")) {
            compact = true;
            continue;
        }
        if (options && argument == QLatin1String("--rotate-pages")) {
            rotatePages = true;
            continue;
        }
        if (options && argument == QLatin1String("--deskew")) {
            deskew = true;
            continue;
        }
        if (options && (argument == QLatin1String("-h") || argument == QLatin1String("--help"))) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (options &&
            (argument == QLatin1String("-V") || argument == QLatin1String("--version"))) {
            std::printf("pagora-pdf %s\n", PAGORA_VERSION);
            return 0;
        }
        if (options && argument == QLatin1String("--")) {
            options = false;
            continue;
        }
        if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            return failWith(QStringLiteral("unknown option '%1' (try --help)").arg(argument));
        paths << argument;
    }
    if (paths.size() < 2) {
        std::fputs(kUsage, stderr);
        return failWith(paths.isEmpty() ? QStringLiteral("no output file and no images given")
                                        : QStringLiteral("no images given"));
    }

    const QString output = paths.takeFirst();
    // The first name is overwritten: refuse anything that does not look like the PDF
    // the user meant, so a forgotten output name never destroys an image.
    if (!output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return failWith(QStringLiteral("the output file name '%1' must end in .pdf").arg(output));
    for (const QString &path : std::as_const(paths)) {
        if (sameFile(path, output))
            return failWith(QStringLiteral("'%1' is both the output and an input").arg(path));
    }

    QString error;
    PdfExportOptions exportOptions;
    exportOptions.archival = archival;
    exportOptions.rotatePages = rotatePages;
    exportOptions.deskew = deskew;
    exportOptions.compact = compact;
    std::unique_ptr<OcrEnginePool> engines;
    if (!languages.isNull()) {
        engines = std::make_unique<OcrEnginePool>(languages, timeLimit);
        if (!engines->preload(&error)) {
            failWith(error);
            return 2;
        }
        exportOptions.ocr = engines.get();
        exportOptions.warning = [](const QString &warning) {
            print("warning: ", warning + QStringLiteral("; the page has no text layer"));
        };
    }
    if (!PdfExport::run(paths, output, exportOptions, &error))
        return failWith(error);
    return 0;
}
