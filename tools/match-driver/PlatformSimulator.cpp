#include "PlatformSimulator.h"

#include "ChildProcess.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

PlatformSimulator::~PlatformSimulator()
{
    stop();
}

bool PlatformSimulator::start(const QStringList &options)
{
    m_process.setProgram(QStringLiteral("node"));
    // The simulator holds our end of its standard input: if this test dies, so does it.
    m_process.setArguments(QStringList{QStringLiteral(PLATFORM_SIM_DIR), QStringLiteral("--port"),
                                       QStringLiteral("0"), QStringLiteral("--exit-with-stdin")}
                           + options);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    static const QRegularExpression listening(
        QStringLiteral("^Platform simulator listening on (http://127\\.0\\.0\\.1:\\d+)"));
    while (m_process.waitForReadyRead(10000) || m_process.canReadLine()) {
        while (m_process.canReadLine()) {
            const QRegularExpressionMatch match =
                listening.match(QString::fromUtf8(m_process.readLine()));
            if (match.hasMatch()) {
                m_url = match.captured(1);
                return true;
            }
        }
    }
    return false;
}

void PlatformSimulator::stop()
{
    stopProcess(m_process);
}

QString PlatformSimulator::url() const
{
    return m_url;
}

QJsonDocument PlatformSimulator::control(const QByteArray &method, const QString &path,
                                         const QJsonDocument &body)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(m_url + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QByteArray payload = body.isNull() ? QByteArray("{}") : body.toJson();
    QNetworkReply *reply = network.sendCustomRequest(request, method, payload);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QJsonDocument answer = QJsonDocument::fromJson(reply->readAll());
    delete reply;
    return answer;
}

QString PlatformSimulator::tokenFor(const QString &email)
{
    return control("POST", QStringLiteral("/__control/token"),
                   QJsonDocument(QJsonObject{{QStringLiteral("email"), email}}))
        .object()
        .value(QLatin1String("token"))
        .toString();
}

void PlatformSimulator::reset()
{
    control("POST", QStringLiteral("/__control/reset"));
}
