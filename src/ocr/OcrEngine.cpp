#include "ocr/OcrEngine.h"

#include "ocr/OcrHelperProcess.h"
#include "ocr/TesseractLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <cstring>
#include <limits>
#include <memory>

Q_LOGGING_CATEGORY(lcOcr, "pagora.ocr", QtWarningMsg)

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

// Where the language data lives: TESSDATA_PREFIX as Tesseract itself reads it, or
// the folders Debian's and upstream's packages install to.
QString OcrEngine::dataFolder()
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

namespace {

// How long the helper may take to load its languages: loading reads a few hundred
// megabytes at most, far less than this even on a busy machine.
constexpr qint64 LoadLimitMs = 120 * 1000;

// The words as the helper hands them over (TesseractPage::recognise).
bool deserialise(const std::string &in, PdfWords &words)
{
    std::size_t at = 0;
    const auto take = [&](qint32 &value) {
        if (at + sizeof value > in.size())
            return false;
        std::memcpy(&value, in.data() + at, sizeof value);
        at += sizeof value;
        return true;
    };
    while (at < in.size()) {
        qint32 x = 0, y = 0, w = 0, h = 0, length = 0;
        if (!take(x) || !take(y) || !take(w) || !take(h) || !take(length) || length < 0 ||
            at + std::size_t(length) > in.size())
            return false;
        words.append({QString::fromUtf8(in.data() + at, length).trimmed(), QRect(x, y, w, h)});
        at += std::size_t(length);
    }
    return true;
}

QString loadError(const QString &culprit)
{
    return QCoreApplication::translate("OcrEngine", "The data of the recognition language '%1' "
                                                    "cannot be loaded")
        .arg(culprit);
}

} // namespace

OcrEngine::OcrEngine() = default;

OcrEngine::~OcrEngine() = default;

QStringList OcrEngine::installedLanguages()
{
    QStringList languages;
    const QStringList files =
        QDir(dataFolder()).entryList({QStringLiteral("*.traineddata")}, QDir::Files, QDir::Name);
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
    m_helper.reset();
    m_api.reset();
    if (!checkLanguages(languages, error))
        return false;
    m_languages = languages;
    m_dataFolder = dataFolder();
    switch (startHelper(nullptr, error)) {
    case Start::Started:
        break;
    case Start::LoadFailed:
    case Start::Cancelled:
        return false;
    case Start::NoHelper:
        if (!loadHere(error))
            return false;
        break;
    }
    m_ready = true;
    return true;
}

qint64 OcrEngine::helperProcessId() const
{
    return m_helper ? m_helper->processId() : 0;
}

OcrEngine::Start OcrEngine::startHelper(const std::atomic_bool *cancel, QString *error)
{
    m_helper.reset();
    const QString program = OcrHelperProcess::program();
    QString reason = QStringLiteral("not found");
    auto helper = std::make_unique<OcrHelperProcess>();
    if (!program.isEmpty() && helper->start(program, {m_dataFolder, m_languages}, &reason)) {
        QElapsedTimer clock;
        clock.start();
        OcrHelperProtocol::StatusHeader status;
        std::string text;
        const auto outcome = helper->readStatus(&status, &text, {cancel, &clock, LoadLimitMs});
        if (outcome == OcrHelperProcess::Outcome::Done && status.result == OcrHelperProtocol::Ok) {
            m_helper = std::move(helper);
            return Start::Started;
        }
        if (outcome == OcrHelperProcess::Outcome::Done &&
            status.result == OcrHelperProtocol::LoadFailed) {
            setError(error, loadError(QString::fromStdString(text)));
            return Start::LoadFailed;
        }
        if (outcome == OcrHelperProcess::Outcome::Cancelled)
            return Start::Cancelled;
        reason = QStringLiteral("it did not answer");
    }
    // Without its helper a page is recognised in this process, bounded only where
    // Tesseract looks at its monitor; a page still gets its text.
    qCWarning(lcOcr).noquote() << QStringLiteral("cannot run the recognition helper %1 (%2), "
                                                 "recognising in this process")
                                      .arg(program, reason);
    return Start::NoHelper;
}

bool OcrEngine::loadHere(QString *error)
{
    const TesseractLibrary *library = TesseractLibrary::get(error);
    if (!library)
        return false;
    m_api = library->newEngine();
    std::string culprit;
    if (!m_api->loadLanguages(QFile::encodeName(m_dataFolder).constData(),
                              m_languages.toStdString(), &culprit)) {
        m_api.reset();
        setError(error, loadError(QString::fromStdString(culprit)));
        return false;
    }
    return true;
}

bool OcrEngine::recognise(const QImage &image, PdfWords &words, QString *error,
                          const std::atomic_bool *cancel, bool *timedOut)
{
    words.clear();
    if (timedOut)
        *timedOut = false;
    if (!m_ready) {
        setError(error, QStringLiteral("The recognition engine has no language loaded"));
        return false;
    }
    if (image.isNull()) {
        setError(error, QStringLiteral("There is no image to recognise"));
        return false;
    }
    QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    // A resolution the file does not state is taken as a scan's usual 300 dpi.
    int dpi = qRound(image.dotsPerMeterY() * 0.0254);
    if (dpi < 70 || dpi > 2400)
        dpi = 300;

    // A helper ended by a cancel, a time limit or a fault before: a new one, with
    // the time it takes to load not counted against the page.
    if (!m_api && !(m_helper && m_helper->isRunning())) {
        const Start start = startHelper(cancel, error);
        if (start == Start::Cancelled)
            setError(error, QCoreApplication::translate("OcrEngine", "The text of the page could "
                                                                     "not be recognised"));
        if (start == Start::Cancelled || start == Start::LoadFailed ||
            (start == Start::NoHelper && !loadHere(error)))
            return false;
    }

    bool ok = false, late = false;
    QElapsedTimer clock;
    clock.start();
    std::string found;
    if (m_helper) {
        ok = recogniseInHelper(gray.constBits(), gray.bytesPerLine(), gray.width(), gray.height(),
                               dpi, found, cancel, clock, &late);
    } else {
        const int deadlineMs = qMin(m_timeLimit, std::numeric_limits<int>::max() / 1000) * 1000;
        ok = m_api->recognise(gray.constBits(), gray.width(), gray.height(),
                              int(gray.bytesPerLine()), dpi, found, cancel, deadlineMs);
        late = !ok && m_timeLimit > 0 && clock.elapsed() >= qint64(m_timeLimit) * 1000;
    }
    if (ok && !deserialise(found, words)) {
        qCWarning(lcOcr) << "the recognition helper sent words that cannot be read";
        m_helper.reset();
        ok = false;
    }
    if (cancel && cancel->load())
        ok = false, late = false;
    if (late) {
        words.clear();
        if (timedOut)
            *timedOut = true;
        setError(error,
                 QCoreApplication::translate("OcrEngine", "The recognition of the page was stopped "
                                                          "after %1 s")
                     .arg(m_timeLimit));
        return false;
    }
    if (!ok) {
        words.clear();
        setError(error,
                 QCoreApplication::translate("OcrEngine", "The text of the page could not be "
                                                          "recognised"));
        return false;
    }
    qCDebug(lcOcr) << words.size() << "words on a" << image.size() << "page at" << dpi << "dpi";
    return true;
}

bool OcrEngine::recogniseInHelper(const uchar *pixels, qsizetype bytesPerLine, int width,
                                  int height, int dpi, std::string &words,
                                  const std::atomic_bool *cancel, const QElapsedTimer &clock,
                                  bool *timedOut)
{
    using Outcome = OcrHelperProcess::Outcome;
    const OcrHelperProcess::Watch watch{cancel, &clock, qint64(m_timeLimit) * 1000};
    const OcrHelperProtocol::PageHeader page{width, height, dpi};
    OcrHelperProtocol::StatusHeader status;
    Outcome outcome = m_helper->sendPage(page, pixels, bytesPerLine, watch);
    if (outcome == Outcome::Lost) {
        // It ended before it had the page (killed between pages, out of memory):
        // not this page's fault, so once more with a new one.
        qCWarning(lcOcr) << "the recognition helper had ended; starting another";
        if (startHelper(cancel, nullptr) != Start::Started)
            return false;
        outcome = m_helper->sendPage(page, pixels, bytesPerLine, watch);
    }
    if (outcome == Outcome::Done)
        outcome = m_helper->readStatus(&status, &words, watch);
    if (outcome != Outcome::Done) {
        // Tesseract cannot be stopped while it finds a page's layout: the helper is
        // killed, and the next page gets a new one.
        if (outcome == Outcome::Lost)
            qCWarning(lcOcr) << "the recognition helper ended during a page";
        m_helper.reset();
        *timedOut = outcome == Outcome::TimedOut;
        return false;
    }
    return status.result == OcrHelperProtocol::Ok;
}
