// The REST answers' envelopes: ApiAnswer::errorMessage for a failed request and
// ApiAnswer::successObject for a successful one.
//
// Input: two bytes of HTTP status (big-endian, taken modulo 600), one byte choosing the network
// error, then the body.

#include "ApiAnswer.h"
#include "FuzzSupport.h"

#include <QJsonDocument>
#include <QNetworkReply>

#include <iterator>

namespace {

const QNetworkReply::NetworkError errors[] = {
    QNetworkReply::NoError,
    QNetworkReply::ConnectionRefusedError,
    QNetworkReply::RemoteHostClosedError,
    QNetworkReply::HostNotFoundError,
    QNetworkReply::TimeoutError,
    QNetworkReply::OperationCanceledError,
    QNetworkReply::SslHandshakeFailedError,
    QNetworkReply::TemporaryNetworkFailureError,
    QNetworkReply::ProxyConnectionRefusedError,
    QNetworkReply::TooManyRedirectsError,
    QNetworkReply::ContentAccessDenied,
    QNetworkReply::AuthenticationRequiredError,
    QNetworkReply::ContentNotFoundError,
    QNetworkReply::InternalServerError,
    QNetworkReply::ServiceUnavailableError,
    QNetworkReply::UnknownServerError,
    QNetworkReply::ProtocolFailure,
};

// The body's own "error" or "message" string, which the message may pass on as it is.
bool isFromBody(const QString &message, const QByteArray &body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    return message == object.value(QLatin1String("error")).toString()
        || message == object.value(QLatin1String("message")).toString();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int status = ((data[0] << 8) | data[1]) % 600;
    const QNetworkReply::NetworkError error = errors[data[2] % std::size(errors)];
    const QByteArray body(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    // A user always reads something, and never an address the launcher made up itself.
    const QString message = ApiAnswer::errorMessage(status, error, body);
    FUZZ_EXPECT(!message.trimmed().isEmpty());
    if (!isFromBody(message, body))
        FUZZ_EXPECT(!message.contains(QLatin1String("://")));

    const std::optional<QJsonObject> object = ApiAnswer::successObject(body);
    FUZZ_EXPECT(object.has_value() == QJsonDocument::fromJson(body).isObject());

    const QString cut = ApiAnswer::shortened(QString::fromUtf8(body), 40);
    FUZZ_EXPECT(cut.size() <= 41);
    FUZZ_EXPECT(cut.isEmpty() || !cut.at(cut.size() - 1).isHighSurrogate());
    return 0;
}
