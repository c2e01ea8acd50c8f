#include "ocr/OcrEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <memory>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#ifdef _OPENMP
#include <omp.h>
#endif

Q_LOGGING_CATEGORY(lcOcr, "pagora.ocr", QtWarningMsg)

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Where the language data lives: TESSDATA_PREFIX as Tesseract itself reads it, or
// the folders Debian's and upstream's packages install to.
QString dataPath()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return prefix;
    static const QStringList candidates{QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"),
                                        QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata"),
                                        QStringLiteral("/usr/share/tessdata"),
                                        QStringLiteral("/usr/local/share/tessdata")};
    for (const QString &path : candidates) {
        if (QDir(path).exists())
            return path;
    }
    return candidates.first();
}

// Tesseract's networks run their loops on OpenMP teams of up to four threads. Pages
// are recognised in parallel instead, one engine per worker, which makes better use
// of the cores (teams on busy cores spin and slow everything down). The setting
// belongs to the calling thread, so it is made on each before it recognises.
void keepThisThreadSingle()
{
#ifdef _OPENMP
    omp_set_max_active_levels(0);
#endif
}

struct CancelProbe
{
    const std::atomic_bool *flag;
};

bool cancelRequested(void *probe, int)
{
    const auto *p = static_cast<CancelProbe *>(probe);
    return p->flag && p->flag->load();
}

} // namespace

OcrEngine::OcrEngine() : m_api(std::make_unique<tesseract::TessBaseAPI>())
{
}

OcrEngine::~OcrEngine()
{
    m_api->End();
}

QStringList OcrEngine::installedLanguages()
{
    QStringList languages;
    const QStringList files =
        QDir(dataPath()).entryList({QStringLiteral("*.traineddata")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString code = file.chopped(int(qstrlen(".traineddata")));
        if (code != QLatin1String("osd") && code != QLatin1String("equ"))
            languages << code;
    }
    return languages;
}

QString OcrEngine::preferredLanguages(const QStringList &wanted)
{
    const QStringList installed = installedLanguages();
    QStringList chosen;
    for (const QString &code : wanted) {
        if (installed.contains(code))
            chosen << code;
    }
    if (chosen.isEmpty() && !wanted.isEmpty())
        chosen << wanted.first();
    return chosen.join(QLatin1Char('+'));
}

bool OcrEngine::checkLanguages(const QString &languages, QString *error)
{
    const QStringList wanted = languages.split(QLatin1Char('+'));
    const QStringList installed = installedLanguages();
    for (const QString &code : wanted) {
        if (code.isEmpty() || !installed.contains(code)) {
            setError(error, QCoreApplication::translate("OcrEngine",
                                                        "The recognition language '%1' is not "
                                                        "installed")
                                .arg(code));
            return false;
        }
    }
    return true;
}

bool OcrEngine::init(const QString &languages, QString *error)
{
    m_ready = false;
    if (!checkLanguages(languages, error))
        return false;
    const QByteArray path = QFile::encodeName(dataPath());
    if (m_api->Init(path.constData(), languages.toUtf8().constData(), tesseract::OEM_DEFAULT) !=
        0) {
        // Name the language at fault: the first that does not load alone.
        QString culprit = languages;
        for (const QString &code : languages.split(QLatin1Char('+'))) {
            tesseract::TessBaseAPI probe;
            if (probe.Init(path.constData(), code.toUtf8().constData(), tesseract::OEM_DEFAULT) !=
                0) {
                culprit = code;
                break;
            }
        }
        setError(error, QCoreApplication::translate("OcrEngine",
                                                    "The data of the recognition language '%1' "
                                                    "cannot be loaded")
                            .arg(culprit));
        return false;
    }
    // Nothing on the terminal for every page.
    m_api->SetVariable("debug_file", "/dev/null");
    m_ready = true;
    return true;
}

bool OcrEngine::recognise(const QImage &image, PdfWords &words, QString *error,
                          const std::atomic_bool *cancel)
{
    words.clear();
    if (!m_ready) {
        setError(error, QStringLiteral("The recognition engine has no language loaded"));
        return false;
    }
    if (image.isNull()) {
        setError(error, QStringLiteral("There is no image to recognise"));
        return false;
    }
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    m_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    // A resolution the file does not state is taken as a scan's usual 300 dpi.
    int dpi = qRound(image.dotsPerMeterY() * 0.0254);
    if (dpi < 70 || dpi > 2400)
        dpi = 300;
    m_api->SetSourceResolution(dpi);

    keepThisThreadSingle();
    CancelProbe probe{cancel};
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = cancelRequested;
    monitor.cancel_this = &probe;
    const int status = m_api->Recognize(&monitor);
    if (status != 0 || (cancel && cancel->load())) {
        m_api->Clear();
        setError(error,
                 QCoreApplication::translate("OcrEngine", "The text of the page could not be "
                                                          "recognised"));
        return false;
    }

    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!text || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                continue;
            // Right and bottom are exclusive.
            words.append({QString::fromUtf8(text.get()).trimmed(),
                          QRect(left, top, right - left, bottom - top)});
        } while (it->Next(tesseract::RIL_WORD));
    }
    m_api->Clear();
    qCDebug(lcOcr) << words.size() << "words on a" << image.size() << "page at" << dpi << "dpi";
    return true;
}
