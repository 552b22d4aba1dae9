#include "HttpTestServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    default: return "Status";
    }
}

} // namespace

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

bool HttpTestServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString HttpTestServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void HttpTestServer::setReply(const Reply &reply)
{
    m_reply = reply;
}

QList<HttpTestServer::Request> HttpTestServer::requests() const
{
    return m_requests;
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        Request request;
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);

        if (m_reply.answer)
            answer(socket);
    }
}

void HttpTestServer::answer(QTcpSocket *socket)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_reply.status) + ' '
        + reasonPhrase(m_reply.status) + "\r\n";
    head += "Content-Type: " + m_reply.contentType + "\r\n";
    if (m_reply.endless) {
        // Without a length the body ends only when the connection does.
        socket->write(head + "Connection: close\r\n\r\n");
        stream(socket);
        return;
    }
    const qint64 length = m_reply.announcedLength >= 0 ? m_reply.announcedLength
                                                       : m_reply.body.size();
    socket->write(head + "Content-Length: " + QByteArray::number(length) + "\r\n\r\n");
    if (m_reply.byteIntervalMs > 0)
        trickle(socket, m_reply.body);
    else
        socket->write(m_reply.body);
}

void HttpTestServer::trickle(QTcpSocket *socket, const QByteArray &bytes)
{
    auto *timer = new QTimer(socket);
    timer->setInterval(m_reply.byteIntervalMs);
    connect(timer, &QTimer::timeout, socket, [socket, timer, bytes, sent = qsizetype(0)]() mutable {
        socket->write(bytes.mid(sent++, 1));
        if (sent >= bytes.size())
            timer->deleteLater();
    });
    timer->start();
}

void HttpTestServer::stream(QTcpSocket *socket)
{
    // Never more than four chunks ahead of the socket, so the server itself stays small however
    // long the client keeps reading.
    constexpr qsizetype ChunkSize = 64 * 1024;
    QByteArray chunk;
    while (chunk.size() < ChunkSize)
        chunk += m_reply.body.isEmpty() ? QByteArray(" ") : m_reply.body;
    auto refill = [socket, chunk] {
        while (socket->state() == QAbstractSocket::ConnectedState
               && socket->bytesToWrite() < 4 * ChunkSize)
            socket->write(chunk);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}
