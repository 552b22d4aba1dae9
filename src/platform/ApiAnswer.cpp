#include "ApiAnswer.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace {

// A member the platform meant as a text for the user: a string with something visible in it.
std::optional<QString> usableString(const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().trimmed().isEmpty())
        return std::nullopt;
    return value.toString();
}

std::optional<QString> platformMessage(const QByteArray &body)
{
    const std::optional<QJsonObject> object = ApiAnswer::successObject(body);
    if (!object)
        return std::nullopt;
    if (auto error = usableString(*object, QLatin1String("error")))
        return error;
    return usableString(*object, QLatin1String("message"));
}

// The status is in every text so that a user reporting the problem passes it on.
QString statusMessage(int status)
{
    const QString code = QString::number(status);
    switch (status) {
    case 400:
        return QStringLiteral("The server could not process the request (HTTP %1).").arg(code);
    case 401:
    case 403:
        // On the sign-in request this means wrong credentials, on any other an ended session; the
        // text has to be true for both.
        return QStringLiteral("The server refused the request (HTTP %1).").arg(code);
    case 404:
        return QStringLiteral("The server does not know this request (HTTP %1). The launcher may "
                              "need an update.")
            .arg(code);
    case 408:
    case 504:
        return QStringLiteral("The server took too long to answer (HTTP %1). Try again later.")
            .arg(code);
    case 429:
        return QStringLiteral("The server is busy (HTTP %1). Wait a moment and try again.")
            .arg(code);
    default:
        break;
    }
    if (status >= 500)
        return QStringLiteral("The server had a problem (HTTP %1). Try again later.").arg(code);
    return QStringLiteral("The server refused the request (HTTP %1).").arg(code);
}

// The toolkit's own descriptions name the full address and, for some errors, say things that are
// wrong for this launcher ("Host requires authentication"), so each kind gets a text of its own.
QString transportMessage(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("The server refused the connection. Check your connection and try "
                              "again.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("The server could not be found. Check your connection and try "
                              "again.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("The server closed the connection before answering. Try again.");
    case QNetworkReply::TimeoutError:
        return ApiAnswer::deadlineMessage();
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("The request was cancelled. Try again.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("A secure connection to the server could not be set up. Check the "
                              "system's date and time, then try again.");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return QStringLiteral("The network is not available. Check your connection and try "
                              "again.");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return QStringLiteral("The server could not be reached through the proxy. Check the "
                              "proxy settings.");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("The server sent the request elsewhere too often or to an unsafe "
                              "address.");
    default:
        break;
    }
    return QStringLiteral("The request failed (network error %1). Check your connection and try "
                          "again.")
        .arg(int(error));
}

} // namespace

namespace ApiAnswer {

QString errorMessage(int httpStatus, QNetworkReply::NetworkError error, const QByteArray &body)
{
    if (std::optional<QString> message = platformMessage(body))
        return *message;
    if (httpStatus >= 400)
        return statusMessage(httpStatus);
    return transportMessage(error);
}

std::optional<QJsonObject> successObject(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

QString deadlineMessage()
{
    return QStringLiteral("The server did not answer in time. Check your connection and try "
                          "again.");
}

QString tooLargeMessage()
{
    return QStringLiteral("The server's answer was too large to read. Try again later.");
}

QString shortened(const QString &text, int maximumLength)
{
    if (text.size() <= maximumLength)
        return text;
    qsizetype cut = qMax(0, maximumLength);
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut; // never half a character
    return text.left(cut) + QChar(0x2026);
}

} // namespace ApiAnswer
