#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// The launcher's only HTTP client: JSON requests to the platform's REST API under /api/launcher/,
// with the bearer token. Every request ends in exactly one of its two callbacks, within the request
// timeout and after reading at most ApiAnswer::MaximumBodySize bytes, whatever the server does.
class ApiClient : public QObject
{
    Q_OBJECT

public:
    using SuccessCallback = std::function<void(const QJsonObject &)>;
    using ErrorCallback = std::function<void(const QString &)>;

    // A request not answered in full this long after it was sent is aborted and reported through
    // the error callback like any network error, however many bytes have arrived by then.
    static constexpr std::chrono::milliseconds DefaultRequestTimeout{30000};

    explicit ApiClient(QObject *parent = nullptr);

    void setAuthToken(const QString &token);

    void login(const QString &email, const QString &password, SuccessCallback onSuccess,
               ErrorCallback onError);
    void getLiveGame(SuccessCallback onSuccess, ErrorCallback onError);
    void getNotifications(std::function<void(const QJsonArray &)> onSuccess, ErrorCallback onError);
    void getUnreadCount(std::function<void(int)> onSuccess, ErrorCallback onError);
    void get(const QString &path, SuccessCallback onSuccess, ErrorCallback onError);
    void sendRequest(const QString &method, const QString &path, const QJsonObject &body,
                     SuccessCallback onSuccess, ErrorCallback onError);

    // Test seam: tests shorten the request timeout instead of waiting for it.
    void setRequestTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds requestTimeout() const;

signals:
    void requestStarted();
    void requestFinished();
    void networkError(const QString &error);

private:
    struct Transfer;

    void watch(QNetworkReply *reply, const std::shared_ptr<Transfer> &transfer);
    void handleReply(QNetworkReply *reply, Transfer &transfer,
                     const SuccessCallback &onSuccess, const ErrorCallback &onError);
    void reportError(const QString &message, const ErrorCallback &onError);

    QNetworkAccessManager *m_network;
    QString m_authToken;
    QString m_baseUrl;
    std::chrono::milliseconds m_requestTimeout = DefaultRequestTimeout;
};
