#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QString>

#include <optional>

// What the launcher makes of the platform's answers, apart from any network object: plain bytes
// and numbers in, a message a user can act on or an object out. Any bytes at all are a valid
// input; nothing here reads beyond what it is given or fails other than by its return value.
namespace ApiAnswer {

// The largest body the launcher reads. The largest answer the platform gives is the notification
// list, which is not paged: the platform simulator (tools/platform-sim) answers 340 bytes for a
// new account, 931 bytes for a live game with all ten slots taken, and about 1.4 KB more for each
// notification that carries a match (two per match played). 4 MiB holds some 3,000 of those, the
// history of 1,500 matches, and parsing that much takes the GUI thread 25 ms (120 ms cold), where
// an unbounded answer took seconds and gigabytes.
constexpr qint64 MaximumBodySize = 4 * 1024 * 1024;

// Server-supplied text in a log line is cut to this many characters, followed by "…".
constexpr int MaximumLoggedLength = 300;

// The message for a failed request. A non-blank string in the body's JSON "error" member, else in
// its "message" member, is the platform speaking to the user and is passed on exactly as it is.
// Otherwise the message is built from the HTTP status (when the server answered with one of 400 or
// above) or from the transport error, and never names the address or quotes the body.
// `httpStatus` is 0 when no HTTP answer arrived.
QString errorMessage(int httpStatus, QNetworkReply::NetworkError error, const QByteArray &body);

// The body of a successful answer when it is a JSON object; every other body is no answer.
std::optional<QJsonObject> successObject(const QByteArray &body);

// For requests the launcher gave up on itself.
QString deadlineMessage();
QString tooLargeMessage();

// `text` cut to `maximumLength` characters and "…" when it is longer, never inside a character.
QString shortened(const QString &text, int maximumLength);

} // namespace ApiAnswer
