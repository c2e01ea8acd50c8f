#include "about/UpdateChecker.h"

#include "about/AboutLog.h"
#include "about/UpdateFile.h"
#include "about/VersionNumber.h"
#include "files/TempFolder.h"
#include "i18n/SystemErrorText.h"
#include "files/AtomicFile.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

const char *const StandardAddress = "https://www.veldmark.com/download/pagora-pro/pagora-pro.xml";

QUrl &defaultAddress()
{
    static QUrl address(QString::fromLatin1(StandardAddress));
    return address;
}

std::chrono::milliseconds &defaultTimeLimit()
{
    static std::chrono::milliseconds limit = UpdateChecker::StandardTimeLimit;
    return limit;
}

} // namespace

UpdateChecker::UpdateChecker(QObject *parent)
    : QObject(parent), m_localVersion(QStringLiteral(PAGORA_VERSION)), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &UpdateChecker::timeLimitReached);
}

UpdateChecker::~UpdateChecker()
{
    cancel();
}

QUrl UpdateChecker::standardAddress()
{
    return QUrl(QString::fromLatin1(StandardAddress));
}

void UpdateChecker::setDefaultAddress(const QUrl &address)
{
    defaultAddress() = address;
}

void UpdateChecker::setDefaultTimeLimit(std::chrono::milliseconds limit)
{
    defaultTimeLimit() = limit;
}

QUrl UpdateChecker::address() const
{
    return m_address.isEmpty() ? defaultAddress() : m_address;
}

std::chrono::milliseconds UpdateChecker::timeLimit() const
{
    return m_timeLimit.count() > 0 ? m_timeLimit : defaultTimeLimit();
}

QString UpdateChecker::localFilePath()
{
    return TempFolder::join(TempFolder::path(), QStringLiteral("pagora-pro.xml"));
}

bool UpdateChecker::start()
{
    if (isRunning())
        return true;

    m_errorString.clear();
    m_announced.clear();
    m_body.clear();
    m_timedOut = m_tooLarge = m_writeFailed = false;

    // Written as a new file beside the old copy and renamed over it only when the
    // download is complete, so a failed or concurrent check never leaves a half
    // file, and a link planted under the name in a shared folder is replaced,
    // never followed.
    auto file = std::make_unique<AtomicFile>(localFilePath());
    if (!file->open()) {
        m_errorString = file->errorString();
        qCDebug(lcAbout) << "cannot create" << localFilePath() << m_errorString;
        return false;
    }
    m_file = std::move(file);

    // A manager per check: its cookie jar lives exactly as long as the request
    // and its redirects.
    m_manager = new QNetworkAccessManager(this);
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);

    QNetworkRequest request(address());
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Mozilla/3.0 (compatible; Pagora Pro)"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    qCDebug(lcAbout) << "GET" << request.url();
    m_reply = m_manager->get(request);
    // Qt would otherwise buffer all that arrives before readBody sees it: an endless
    // answer must be cut off after little more than the cap, not after gigabytes.
    m_reply->setReadBufferSize(ReadBufferSize);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UpdateChecker::checkLength);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateChecker::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateChecker::replyFinished);
    // The whole answer must arrive in time, not just some byte now and then.
    m_timer->start(timeLimit());
    return true;
}

void UpdateChecker::cancel()
{
    if (!isRunning())
        return;
    qCDebug(lcAbout) << "check cancelled";
    cleanUp();
}

void UpdateChecker::checkLength()
{
    if (!m_reply || m_tooLarge)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > MaxFileSize) {
        m_tooLarge = true;
        m_reply->abort();
    }
}

void UpdateChecker::readBody()
{
    if (!m_reply || m_tooLarge || m_writeFailed)
        return;
    // One byte past the cap is enough to know the answer is too large.
    const QByteArray chunk = m_reply->read(MaxFileSize + 1 - m_body.size());
    if (m_body.size() + chunk.size() > MaxFileSize) {
        m_tooLarge = true;
        m_reply->abort();
        return;
    }
    m_body += chunk;
    if (m_file->file().write(chunk) != chunk.size()) {
        m_writeFailed = true;
        m_errorString = SystemErrorText::afterFailedWrite(m_file->file());
        m_reply->abort();
    }
}

void UpdateChecker::timeLimitReached()
{
    if (!m_reply)
        return;
    m_timedOut = true;
    m_reply->abort();
}

void UpdateChecker::replyFinished()
{
    if (!m_reply)
        return;
    m_timer->stop();
    // abort() finishes the reply at once, so an abort ends up here too.
    if (m_tooLarge)
        return finish(Outcome::TooLarge);
    if (m_writeFailed)
        return finish(Outcome::WriteFailed);
    if (m_timedOut)
        return finish(Outcome::TimedOut);
    if (m_reply->error() != QNetworkReply::NoError) {
        qCDebug(lcAbout) << "request failed:" << m_reply->errorString();
        const bool answered =
            m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        return finish(answered ? Outcome::HttpError : Outcome::NoConnection);
    }
    readBody();
    if (m_tooLarge)
        return finish(Outcome::TooLarge);
    if (m_writeFailed)
        return finish(Outcome::WriteFailed);
    if (!m_file->commit()) {
        m_errorString = m_file->errorString();
        return finish(Outcome::WriteFailed);
    }
    finish(evaluate());
}

UpdateChecker::Outcome UpdateChecker::evaluate()
{
    // The body is what was just written to the local copy; reading it from
    // memory keeps a concurrent check from swapping the file under us.
    const UpdateFile::Result file = UpdateFile::read(m_body);
    switch (file.status) {
    case UpdateFile::Status::Ok:
        break;
    case UpdateFile::Status::NoProgramInfo:
        return Outcome::NoProgramInfo;
    case UpdateFile::Status::TooLarge:
        return Outcome::TooLarge;
    case UpdateFile::Status::NotXml:
    case UpdateFile::Status::TooDeep:
    case UpdateFile::Status::TooComplex:
        return Outcome::NotXml;
    }
    // No Program_Version: an empty announcement, which is never newer.
    m_announced = file.version;
    const std::optional<bool> newer = VersionNumber::isNewer(m_localVersion, m_announced);
    qCDebug(lcAbout) << "local" << m_localVersion << "announced" << m_announced;
    if (!newer)
        return Outcome::UnreadableVersion;
    return *newer ? Outcome::Newer : Outcome::NotNewer;
}

void UpdateChecker::finish(Outcome outcome)
{
    qCDebug(lcAbout) << "outcome" << outcome;
    cleanUp();
    emit finished(outcome);
}

void UpdateChecker::cleanUp()
{
    m_timer->stop();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr; // before abort(): its finished() must find nothing to do
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_manager) {
        m_manager->deleteLater();
        m_manager = nullptr;
    }
    // Uncommitted: the temporary file goes, the earlier copy stays.
    m_file.reset();
    m_body.clear();
}
