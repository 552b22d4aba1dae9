#include "ApiClient.h"

#include "Config.h"
#include "Log.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

// The message of a failed reply: the platform's "error" or, failing that, "message" member of a
// JSON object body; otherwise the network layer's own description.
QString errorMessageOf(QNetworkReply *reply)
{
    QString message = reply->errorString();
    const QByteArray body = reply->readAll();
    if (body.isEmpty())
        return message;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return message;
    const QJsonObject object = document.object();
    if (object.contains(QLatin1String("error")))
        return object.value(QLatin1String("error")).toString();
    if (object.contains(QLatin1String("message")))
        return object.value(QLatin1String("message")).toString();
    return message;
}

} // namespace

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
    request.setTransferTimeout(int(m_requestTimeout.count()));

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

    connect(reply, &QNetworkReply::finished, this,
            [this, reply, onSuccess = std::move(onSuccess), onError = std::move(onError)] {
                handleReply(reply, onSuccess, onError);
            });
}

void ApiClient::handleReply(QNetworkReply *reply, const SuccessCallback &onSuccess,
                            const ErrorCallback &onError)
{
    emit requestFinished();
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError) {
        const QString message = errorMessageOf(reply);
        logError(QStringLiteral("API error: %1").arg(message));
        emit networkError(message);
        if (onError)
            onError(message);
        return;
    }

    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
    if (!document.isObject()) {
        if (onError)
            onError(QStringLiteral("Invalid JSON response"));
        return;
    }
    if (onSuccess)
        onSuccess(document.object());
}
