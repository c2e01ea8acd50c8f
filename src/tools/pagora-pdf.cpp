// pagora-pdf: writes image files into one PDF document, one page per image, with the
// same writer as the program's "Save all to PDF" command.

#include "ocr/OcrEnginePool.h"
#include "pdf/PdfExport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <memory>

namespace {

const char kUsage[] =
    "Usage: pagora-pdf OUTPUT.pdf IMAGE...\n"
    "       pagora-pdf --ocr LANGS OUTPUT.pdf IMAGE...\n"
    "       pagora-pdf --pdfa [--ocr LANGS] OUTPUT.pdf IMAGE...\n"
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
    "is an error, never a black or garbled page. Only regular files are read.\n"
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
    "core; a page without text gets no text layer.\n"
    "\n"
    "With --pdfa the document is archival, PDF/A-2b: each page has the size of its\n"
    "image at the image's resolution (an A4 scan is 595 x 842 points at any dpi;\n"
    "an image without a resolution counts as 72 dpi); black-and-white images are\n"
    "stored losslessly as CCITT Group 4, gray ones stay gray, JPEG files are\n"
    "embedded unchanged (CMYK ones converted to RGB), and other images take the\n"
    "smaller of a quality 75 JPEG and lossless Flate. The document carries XMP\n"
    "metadata (title: the output's name without .pdf), an sRGB output intent and a\n"
    "file identifier. It combines with --ocr.\n"
    "\n"
    "Options:\n"
    "  --ocr LANGS    recognise the text in these languages (searchable PDF)\n"
    "  --pdfa         write an archival PDF/A-2b document\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end of options (for file names that begin with '-')\n";

int failWith(const QString &message)
{
    std::fprintf(stderr, "pagora-pdf: %s\n", qUtf8Printable(message));
    return 1;
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo x(a), y(b);
    if (x.exists() && y.exists())
        return x.canonicalFilePath() == y.canonicalFilePath();
    return x.absoluteFilePath() == y.absoluteFilePath();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QStringList paths;
    QString languages;
    bool archival = false;
    bool options = true;
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (options && argument == QLatin1String("--ocr")) {
            if (i + 1 >= arguments.size())
                return failWith(QStringLiteral("--ocr needs the languages, like eng or rus+eng"));
            languages = arguments.at(++i);
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
    std::unique_ptr<OcrEnginePool> engines;
    if (!languages.isNull()) {
        engines = std::make_unique<OcrEnginePool>(languages);
        if (!engines->preload(&error)) {
            failWith(error);
            return 2;
        }
        exportOptions.ocr = engines.get();
    }
    if (!PdfExport::run(paths, output, exportOptions, &error))
        return failWith(error);
    return 0;
}
