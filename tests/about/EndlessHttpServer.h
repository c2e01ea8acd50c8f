#pragma once

// An HTTP server on 127.0.0.1 that answers one request with a chunked body that
// never ends, sent from its own thread as fast as the client's socket takes it,
// like a hostile server on a fast line: it does not wait for the program's
// event loop.

#include <QByteArray>
#include <QUrl>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class EndlessHttpServer
{
public:
    EndlessHttpServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) ||
            ::listen(m_listener, 1) ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length))
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~EndlessHttpServer()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    EndlessHttpServer(const EndlessHttpServer &) = delete;
    EndlessHttpServer &operator=(const EndlessHttpServer &) = delete;

    bool isListening() const { return m_port != 0; }
    QUrl url(const QByteArray &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path)));
    }
    qint64 bytesSent() const { return m_sent; }

private:
    void serve()
    {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, n);
        }
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"
                                "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray payload(64 * 1024, 'x');
        const QByteArray chunk = QByteArray::number(payload.size(), 16) + "\r\n" + payload + "\r\n";
        bool ok = ::send(client, head.constData(), size_t(head.size()), MSG_NOSIGNAL) > 0;
        // Stops when the client hangs up (or after 4 GiB, should it never).
        while (ok && !m_stop && m_sent < (qint64(4) << 30)) {
            const ssize_t n = ::send(client, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
            ok = n > 0;
            if (ok)
                m_sent += n;
        }
        ::close(client);
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic_bool m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};
