#include "LocalHttpServer.h"

#include <QTcpSocket>

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url(const QByteArray &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2")
                    .arg(m_server.serverPort())
                    .arg(QString::fromLatin1(path)));
}

void LocalHttpServer::serveXml(const QByteArray &path, const QByteArray &xml)
{
    Response r;
    r.body = xml;
    r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/xml")));
    serve(path, r);
}

void LocalHttpServer::redirect(const QByteArray &from, const QByteArray &to,
                               const QByteArray &cookie)
{
    Response r;
    r.status = 302;
    r.headers.append(qMakePair(QByteArray("Location"), url(to).toEncoded()));
    if (!cookie.isEmpty())
        r.headers.append(qMakePair(QByteArray("Set-Cookie"), cookie + "; Path=/"));
    serve(from, r);
}

quint16 LocalHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LocalHttpServer::readRequest(QTcpSocket *socket)
{
    // Requests of the check are GETs: the header block is the whole request.
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    m_requests.append(request);

    const auto route = m_routes.constFind(request.path);
    if (route == m_routes.constEnd()) {
        Response missing;
        missing.status = 404;
        missing.body = "<html><body>Not found</body></html>";
        answer(socket, missing);
    } else if (!route->silent) {
        answer(socket, *route);
    }
}

void LocalHttpServer::answer(QTcpSocket *socket, const Response &response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) +
                      (response.status < 400 ? " OK" : " Error") + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto &h : response.headers)
        head += h.first + ": " + h.second + "\r\n";
    socket->write(head + "\r\n" + response.body);
    socket->disconnectFromHost();
}
