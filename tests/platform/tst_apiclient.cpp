#include "ApiAnswer.h"
#include "ApiClient.h"
#include "HttpTestServer.h"
#include "LogCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

#include <unistd.h>

namespace {

// What one request ended in, and in which order the client reported it.
struct Outcome
{
    std::optional<QJsonObject> success;
    std::optional<QString> error;
    QStringList events;
};

// While it lives, samples the process every 10 ms of its event loop: the longest the loop went
// without turning (how long the launcher's window would have been frozen) and how far the
// resident memory rose above what it was at the start.
class ProcessWatch
{
public:
    ProcessWatch()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestGap = qMax(m_longestGap, m_sinceLastTurn.restart());
            m_largestGrowth = qMax(m_largestGrowth, residentBytes() - m_residentAtStart);
        });
        m_sinceLastTurn.start();
        m_timer.start();
    }

    qint64 longestGapMs() const { return qMax(m_longestGap, m_sinceLastTurn.elapsed()); }
    qint64 largestGrowth() const { return m_largestGrowth; }

private:
    static qint64 residentBytes()
    {
        QFile statm(QStringLiteral("/proc/self/statm")); // in pages: size, resident, ...
        if (!statm.open(QIODevice::ReadOnly))
            return 0;
        return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
    }

    QTimer m_timer;
    QElapsedTimer m_sinceLastTurn;
    qint64 m_longestGap = 0;
    const qint64 m_residentAtStart = residentBytes();
    qint64 m_largestGrowth = 0;
};

} // namespace

Q_DECLARE_METATYPE(HttpTestServer::Reply)

class TestApiClient : public QObject
{
    Q_OBJECT

private:
    HttpTestServer m_server;

    std::unique_ptr<ApiClient> makeClient(const QString &baseUrl)
    {
        qputenv("API_BASE_URL", baseUrl.toUtf8());
        return std::make_unique<ApiClient>();
    }

    // Issues one request through `issue` and waits until a callback has run.
    static Outcome run(ApiClient &client,
                       const std::function<void(ApiClient::SuccessCallback,
                                                ApiClient::ErrorCallback)> &issue)
    {
        Outcome outcome;
        bool done = false;
        QObject context; // the connections end with the request
        connect(&client, &ApiClient::requestStarted, &context, [&] { outcome.events << "started"; });
        connect(&client, &ApiClient::requestFinished, &context, [&] { outcome.events << "finished"; });
        connect(&client, &ApiClient::networkError, &context,
                [&](const QString &message) { outcome.events << "networkError:" + message; });
        issue(
            [&](const QJsonObject &object) {
                outcome.success = object;
                outcome.events << "success";
                done = true;
            },
            [&](const QString &message) {
                outcome.error = message;
                outcome.events << "error";
                done = true;
            });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            outcome.events << "no callback";
        return outcome;
    }

    // In the table: the answer has no usable text, a message of the launcher's own is due.
    static QString ownMessage() { return QStringLiteral("(the launcher's own)"); }

    static Outcome runGet(ApiClient &client, const QString &path)
    {
        return run(client, [&](auto onSuccess, auto onError) {
            client.get(path, std::move(onSuccess), std::move(onError));
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
    }

    void init()
    {
        m_server.setReply({});
    }

    void requestShape_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("body");

        const QByteArray loginBody = "{\n    \"email\": \"ana@corvanta.test\",\n"
                                     "    \"password\": \"p\\\"w\"\n}\n";
        QTest::addRow("login") << "" << QByteArray("POST") << QByteArray("/api/launcher/auth")
                               << loginBody;
        QTest::addRow("live game, token sent as stored")
            << QString::fromUtf8("a b+c=ü") << QByteArray("GET")
            << QByteArray("/api/launcher/live-game") << QByteArray();
        QTest::addRow("notifications") << "abc" << QByteArray("GET")
                                       << QByteArray("/api/launcher/notifications") << QByteArray();
        QTest::addRow("unread count") << "abc" << QByteArray("GET")
                                      << QByteArray("/api/launcher/notifications/unread-count")
                                      << QByteArray();
        QTest::addRow("put") << "abc" << QByteArray("PUT") << QByteArray("/api/x")
                             << QByteArray("{\n    \"k\": 1\n}\n");
        QTest::addRow("delete") << "" << QByteArray("DELETE") << QByteArray("/api/x") << QByteArray();
    }

    void requestShape()
    {
        QFETCH(QString, token);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);

        auto client = makeClient(m_server.baseUrl());
        client->setAuthToken(QStringLiteral("old")); // an empty token clears it: no header
        client->setAuthToken(token);
        const qsizetype before = m_server.requests().size();
        run(*client, [&](auto onSuccess, auto onError) {
            if (target == "/api/launcher/auth")
                client->login(QStringLiteral("ana@corvanta.test"), QStringLiteral("p\"w"),
                              std::move(onSuccess), std::move(onError));
            else if (target == "/api/launcher/live-game")
                client->getLiveGame(std::move(onSuccess), std::move(onError));
            else if (target == "/api/launcher/notifications")
                client->getNotifications([onSuccess](const QJsonArray &) { onSuccess({}); },
                                         std::move(onError));
            else if (target == "/api/launcher/notifications/unread-count")
                client->getUnreadCount([onSuccess](int) { onSuccess({}); }, std::move(onError));
            else
                client->sendRequest(QString::fromLatin1(method), QString::fromLatin1(target),
                                    body.isEmpty() ? QJsonObject() : QJsonObject{{"k", 1}},
                                    std::move(onSuccess), std::move(onError));
        });

        QCOMPARE(m_server.requests().size(), before + 1);
        const HttpTestServer::Request request = m_server.requests().constLast();
        QCOMPARE(request.method, method);
        QCOMPARE(request.target, target);
        QCOMPARE(request.body, body);
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        if (token.isEmpty())
            QVERIFY(!request.headers.contains("authorization"));
        else
            QCOMPARE(request.headers.value("authorization"), "Bearer " + token.toUtf8());
    }

    // An object in a 200 answer is the result. Error answers without a usable text of the
    // platform's own still give the user a message, one that neither names the server's address
    // nor quotes its page.
    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // null: success expected

        const QByteArray json = "application/json";
        QTest::addRow("object") << 200 << json << QByteArray("{\"a\":1}") << QString();
        const QByteArray largest = "{\"a\":\""
            + QByteArray(int(ApiAnswer::MaximumBodySize) - 8, 'x') + "\"}";
        QTest::addRow("largest answer read") << 200 << json << largest << QString();
        const QString invalid = QStringLiteral("Invalid JSON response");
        QTest::addRow("empty array") << 200 << json << QByteArray("[]") << invalid;
        QTest::addRow("empty body") << 200 << json << QByteArray() << invalid;
        QTest::addRow("not json") << 200 << QByteArray("text/plain") << QByteArray("hello") << invalid;

        const QString own = ownMessage();
        QTest::addRow("error wins over message")
            << 401 << json
            << QByteArray(R"({"error":"Invalid email or password","message":"Unauthorized"})")
            << QStringLiteral("Invalid email or password");
        QTest::addRow("message alone") << 400 << json << QByteArray(R"({"message":"Email is required"})")
                                       << QStringLiteral("Email is required");
        QTest::addRow("html 401") << 401 << QByteArray("text/html")
                                  << QByteArray("<html><body><h1>401 Authorization Required</h1>"
                                                "</body></html>")
                                  << own;
        QTest::addRow("error an object") << 401 << json << QByteArray(R"({"error":{"code":7}})")
                                         << own;
        QTest::addRow("error blank") << 400 << json << QByteArray(R"({"error":" \n "})") << own;
        QTest::addRow("array where an object is due")
            << 400 << json << QByteArray(R"([{"error":"Email is required"}])") << own;
        QTest::addRow("error an object, message a string")
            << 401 << json << QByteArray(R"({"error":{"code":7},"message":"Session expired"})")
            << QStringLiteral("Session expired");
        QTest::addRow("error blank, message a string")
            << 500 << json << QByteArray(R"({"error":" ","message":"Try later"})")
            << QStringLiteral("Try later");
        const QString longText = QString(2000, QLatin1Char('x'));
        QTest::addRow("long platform text")
            << 400 << json << QJsonDocument(QJsonObject{{"error", longText}}).toJson() << longText;
    }

    void answers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);

        m_server.setReply({status, contentType, body, true});
        auto client = makeClient(m_server.baseUrl());
        LogCapture log;
        const Outcome outcome = runGet(*client, QStringLiteral("/api/launcher/live-game"));

        const QString message = outcome.error.value_or(QString());
        QStringList events({"started", "finished"});
        if (status != 200) // HTTP errors are also announced as network errors
            events << "networkError:" + message;
        events << (error.isNull() ? "success" : "error");
        QCOMPARE(outcome.events, events);
        if (error.isNull()) {
            QCOMPARE(QJsonDocument(*outcome.success).toJson(QJsonDocument::Compact), body);
        } else if (error != ownMessage()) {
            QCOMPARE(message, error);
        } else {
            QVERIFY2(!message.trimmed().isEmpty(), "empty message");
            QVERIFY2(message.contains(QString::number(status)), qPrintable(message));
            for (const QString &leak : {QStringLiteral("127.0.0.1"), QStringLiteral("://"),
                                        QStringLiteral("/api/"), QStringLiteral("<"),
                                        QStringLiteral("Host requires authentication")})
                QVERIFY2(!message.contains(leak, Qt::CaseInsensitive), qPrintable(message));
        }
        // What the server sent reaches the log shortened, and its pages not at all.
        for (const QString &line : log.rawLines()) {
            QVERIFY2(line.size() < 400, qPrintable(line.left(80)));
            QVERIFY2(!line.contains(QLatin1String("<html")), qPrintable(line));
        }
    }

    // Servers that would keep the request, and the user, waiting forever or fill the memory: the
    // request ends with a message, the event loop keeps turning and memory stays bounded.
    void abandonedAnswers_data()
    {
        QTest::addColumn<HttpTestServer::Reply>("reply");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("earliestMs");
        QTest::addColumn<int>("latestMs");

        const auto reply = [](int status, int byteIntervalMs, bool endless, qint64 announcedLength) {
            return HttpTestServer::Reply{status, "application/json",
                                         "{\"a\":\"" + QByteArray(2000, 'x') + "\"}", true,
                                         byteIntervalMs, endless, announcedLength};
        };
        // Twenty seconds of bytes at one every 10 ms: far longer than the deadline, and never a
        // pause long enough for an inactivity timeout.
        QTest::addRow("trickle past the deadline") << reply(200, 10, false, -1) << 500
                                                   << ApiAnswer::deadlineMessage() << 500 << 3000;
        QTest::addRow("endless answer") << reply(200, 0, true, -1) << 20000
                                        << ApiAnswer::tooLargeMessage() << 0 << 8000;
        QTest::addRow("endless error page") << reply(500, 0, true, -1) << 20000
                                            << ApiAnswer::tooLargeMessage() << 0 << 8000;
        QTest::addRow("announced too large") << reply(200, 0, false, qint64(1) << 30) << 20000
                                             << ApiAnswer::tooLargeMessage() << 0 << 2000;
    }

    void abandonedAnswers()
    {
        QFETCH(HttpTestServer::Reply, reply);
        QFETCH(int, timeoutMs);
        QFETCH(QString, message);
        QFETCH(int, earliestMs);
        QFETCH(int, latestMs);

        m_server.setReply(reply);
        auto client = makeClient(m_server.baseUrl());
        client->setRequestTimeout(std::chrono::milliseconds(timeoutMs));

        QElapsedTimer clock;
        clock.start();
        const ProcessWatch watch;
        const Outcome outcome = runGet(*client, QStringLiteral("/api/launcher/live-game"));
        const qint64 elapsed = clock.elapsed();

        QCOMPARE(outcome.events,
                 QStringList({"started", "finished", "networkError:" + message, "error"}));
        QVERIFY2(elapsed >= earliestMs && elapsed <= latestMs, qPrintable(QString::number(elapsed)));
        QVERIFY2(watch.longestGapMs() < 500, qPrintable(QString::number(watch.longestGapMs())));
        QVERIFY2(watch.largestGrowth() < 64 * 1024 * 1024,
                 qPrintable(QString::number(watch.largestGrowth())));
    }

    void refusedConnectionIsAnError()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        auto client = makeClient(QStringLiteral("http://127.0.0.1:%1").arg(port));
        const Outcome outcome = runGet(*client, QStringLiteral("/api/launcher/live-game"));
        QVERIFY(outcome.error.has_value());
        QVERIFY2(outcome.error->contains(QLatin1String("refused"), Qt::CaseInsensitive),
                 qPrintable(*outcome.error));
        QVERIFY2(!outcome.error->contains(QString::number(port)), qPrintable(*outcome.error));
        QCOMPARE(outcome.events.last(), QStringLiteral("error"));
    }

    void conversions_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("notifications");
        QTest::addRow("count and list") << QByteArray("{\"count\":5,\"notifications\":[{},{}]}") << 5 << 2;
        QTest::addRow("count as string") << QByteArray("{\"count\":\"5\"}") << 0 << 0;
        QTest::addRow("members missing") << QByteArray("{}") << 0 << 0;
        QTest::addRow("list not an array") << QByteArray("{\"notifications\":{\"a\":1}}") << 0 << 0;
    }

    void conversions()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, count);
        QFETCH(int, notifications);
        m_server.setReply({200, "application/json", body, true});
        auto client = makeClient(m_server.baseUrl());

        int receivedCount = -1;
        client->getUnreadCount([&](int value) { receivedCount = value; }, {});
        QTRY_COMPARE(receivedCount, count);

        int receivedSize = -1;
        client->getNotifications([&](const QJsonArray &list) { receivedSize = int(list.size()); },
                                 {});
        QTRY_COMPARE(receivedSize, notifications);
    }

    // Methods are matched exactly: "post" is not POST.
    void unknownMethodIssuesNothing()
    {
        auto client = makeClient(m_server.baseUrl());
        const qsizetype before = m_server.requests().size();
        const Outcome outcome = run(*client, [&](auto onSuccess, auto onError) {
            client->sendRequest(QStringLiteral("post"), QStringLiteral("/api/launcher/auth"), {},
                                std::move(onSuccess), std::move(onError));
        });
        QCOMPARE(outcome.events, QStringList({"started", "finished", "error"}));
        QCOMPARE(outcome.error.value_or(QString()),
                 QStringLiteral("Failed to create network request"));
        QTest::qWait(50);
        QCOMPARE(m_server.requests().size(), before);
    }

    // A request still pending when its client goes; it went below the base address's path.
    void destroyedClientCallsNoCallback()
    {
        m_server.setReply({200, "application/json", "{}", false});
        auto client = makeClient(m_server.baseUrl() + "/v2");
        const qsizetype before = m_server.requests().size();
        bool called = false;
        client->get(
            QStringLiteral("/api/launcher/live-game"), [&](const QJsonObject &) { called = true; },
            [&](const QString &) { called = true; });
        QTRY_COMPARE(m_server.requests().size(), before + 1);
        QCOMPARE(m_server.requests().constLast().target, QByteArray("/v2/api/launcher/live-game"));
        client.reset();
        QTest::qWait(100);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestApiClient)
#include "tst_apiclient.moc"
