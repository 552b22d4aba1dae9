#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A minimal HTTP/1.1 server on loopback for tests that check the exact bytes of requests and
// control the exact bytes of replies. Answers every request with the current reply, or never when
// the reply says so; the reply can also take the shapes of a slow, an endless or a lying server.
class HttpTestServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query as sent
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };

    struct Reply
    {
        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body = "{}";
        bool answer = true; // false: keep the connection open and say nothing
        int byteIntervalMs = 0; // > 0: the headers at once, then the body one byte at a time
        bool endless = false; // the body over and over until the client hangs up, no length
        qint64 announcedLength = -1; // >= 0: the Content-Length sent, whatever the body's size
    };

    explicit HttpTestServer(QObject *parent = nullptr);

    bool listen();
    QString baseUrl() const; // http://127.0.0.1:<port>
    void setReply(const Reply &reply);
    QList<Request> requests() const;


private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket);
    void trickle(QTcpSocket *socket, const QByteArray &bytes);
    void stream(QTcpSocket *socket);

    Reply m_reply;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    // Last, so that it goes first: the sockets it still holds report their end into m_buffers.
    QTcpServer m_server;
};
