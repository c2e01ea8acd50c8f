#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class AtomicFile;

// Asks the maker's web server whether a newer version exists: one GET of the
// update file into "pagora-pro.xml" in the temporary folder, then the version
// that the file announces (document element / Program_Info / Program_Version)
// compared with the program's own. Asynchronous: the window keeps painting and
// the outcome arrives with finished(). Every network and content failure ends
// the check without a second attempt.
class UpdateChecker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)

public:
    enum class Outcome
    {
        Newer,    // the announced version is newer than the local one
        NotNewer, // equal or older, or no Program_Version at all
        // Failures the user is not told about:
        NoConnection,      // no connection, TLS failure, redirect refused
        HttpError,         // the server answered with an error status
        TimedOut,          // no complete answer within the time limit
        TooLarge,          // far more than an update file can be
        NotXml,            // not a well-formed XML document, or nested too deep
        NoProgramInfo,     // the document element has no Program_Info child
        UnreadableVersion, // a number too large to be a version number
        // A local failure, worth telling: the copy could not be written.
        WriteFailed,
    };
    Q_ENUM(Outcome)

    static constexpr std::chrono::milliseconds StandardTimeLimit{20000};
    static constexpr qint64 MaxFileSize = 1024 * 1024;
    // What Qt may hold of the answer before readBody takes it.
    static constexpr qint64 ReadBufferSize = 64 * 1024;

    explicit UpdateChecker(QObject *parent = nullptr);
    ~UpdateChecker() override;

    // The maker's update file.
    static QUrl standardAddress();
    // What every checker uses unless told otherwise; tests point it at a local server.
    static void setDefaultAddress(const QUrl &address);
    static void setDefaultTimeLimit(std::chrono::milliseconds limit);

    void setAddress(const QUrl &address) { m_address = address; }
    QUrl address() const;
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    std::chrono::milliseconds timeLimit() const;
    // The program's own version unless set.
    void setLocalVersion(const QString &version) { m_localVersion = version; }
    QString localVersion() const { return m_localVersion; }

    // The local copy: "pagora-pro.xml" in the temporary folder.
    static QString localFilePath();

    // Creates the local copy and sends the request. Returns false when the copy
    // cannot be created; nothing is requested then and errorString() says why.
    // While a check runs, starting again does nothing and returns true.
    bool start();
    // Ends a running check without an outcome; the earlier local copy stays.
    void cancel();
    bool isRunning() const { return m_reply != nullptr; }

    // The system's text for the last file failure (start() false, WriteFailed).
    QString errorString() const { return m_errorString; }
    // The version text that the last successful download announced.
    QString announcedVersion() const { return m_announced; }

signals:
    void finished(UpdateChecker::Outcome outcome);

private:
    void checkLength();
    void readBody();
    void replyFinished();
    void timeLimitReached();
    Outcome evaluate();
    void finish(Outcome outcome);
    void cleanUp();

    QUrl m_address;
    std::chrono::milliseconds m_timeLimit{0};
    QString m_localVersion;
    QString m_errorString;
    QString m_announced;
    QByteArray m_body;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    bool m_writeFailed = false;

    QNetworkAccessManager *m_manager = nullptr;
    QNetworkReply *m_reply = nullptr;
    QTimer *m_timer = nullptr;
    std::unique_ptr<AtomicFile> m_file;
};
