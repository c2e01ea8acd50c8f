#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

// A small HTTP/1.1 server on 127.0.0.1 for the update check: each path gets a
// canned answer, and every request is recorded with its headers.
class LocalHttpServer final : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool silent = false; // accept the request and never answer
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    explicit LocalHttpServer(QObject *parent = nullptr);

    bool listen();
    QUrl url(const QByteArray &path) const;

    void serve(const QByteArray &path, const Response &response)
    {
        m_routes.insert(path, response);
    }
    void serveXml(const QByteArray &path, const QByteArray &xml);
    void redirect(const QByteArray &from, const QByteArray &to, const QByteArray &cookie = {});

    const QList<Request> &requests() const { return m_requests; }

    // A port on 127.0.0.1 where nothing listens.
    static quint16 closedPort();

private:
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Response &response);

    QTcpServer m_server;
    QHash<QByteArray, Response> m_routes;
    QList<Request> m_requests;
};
