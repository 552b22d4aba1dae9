#include "WebMessageOutbox.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char collectTemplate[] = R"js((function (received) {
    var key = 'corvanta.launcher.outbox';
    var box;
    try { box = JSON.parse(window.sessionStorage.getItem(key)); } catch (e) { return null; }
    if (!box || !Array.isArray(box.messages))
        return null;
    var last = received[box.epoch];
    if (typeof last === 'number') {
        box.messages = box.messages.filter(function (m) { return m.seq > last; });
        window.sessionStorage.setItem(key, JSON.stringify(box));
    }
    return JSON.stringify(box);
})(%1))js";

} // namespace

QString WebMessageOutbox::collectScript() const
{
    QJsonObject received;
    for (auto it = m_lastReceived.cbegin(); it != m_lastReceived.cend(); ++it)
        received.insert(it.key(), it.value());
    return QString::fromUtf8(collectTemplate)
        .arg(QString::fromUtf8(QJsonDocument(received).toJson(QJsonDocument::Compact)));
}

QList<WebMessageOutbox::Message> WebMessageOutbox::receive(const QVariant &scriptResult)
{
    const QJsonObject box =
        QJsonDocument::fromJson(scriptResult.toString().toUtf8()).object();
    const QString epoch = box.value(QLatin1String("epoch")).toString();
    if (epoch.isEmpty())
        return {};

    qint64 &last = m_lastReceived.insert(epoch, m_lastReceived.value(epoch, 0)).value();
    QList<Message> fresh;
    for (const QJsonValue &value : box.value(QLatin1String("messages")).toArray()) {
        const QJsonObject message = value.toObject();
        const qint64 seq = message.value(QLatin1String("seq")).toInteger(-1);
        if (seq <= last)
            continue;
        last = seq;
        fresh.append({message.value(QLatin1String("channel")).toString(),
                      message.value(QLatin1String("args")).toArray().toVariantList()});
    }
    return fresh;
}
