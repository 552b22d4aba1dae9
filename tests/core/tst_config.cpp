#include "Config.h"

#include <QTest>

namespace {

// Sets or unsets one variable; a null value means unset.
void setVariable(const char *name, const QString &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toUtf8());
}

const QString unset; // null: the variable is not in the environment

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const char *name : {"API_BASE_URL", "WEBSOCKET_URL", "LOG_LEVEL", "NODE_ENV", "ENV"})
            qunsetenv(name);
    }

    void stringGetters_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");

        const QByteArray api("API_BASE_URL");
        const QByteArray webSocket("WEBSOCKET_URL");
        const QByteArray level("LOG_LEVEL");
        QTest::addRow("api unset") << api << unset << "https://corvanta.gg";
        QTest::addRow("api empty") << api << QString("") << QString("");
        QTest::addRow("websocket unset") << webSocket << unset << "https://ws.corvanta.gg:3002";
        QTest::addRow("websocket set") << webSocket << "http://localhost:3002" << "http://localhost:3002";
        QTest::addRow("level unset") << level << unset << "INFO";
        QTest::addRow("level upper-cased") << level << "debug" << "DEBUG";
    }

    void stringGetters()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, value);
        QFETCH(QString, expected);

        setVariable(variable.constData(), value);
        const QString actual = variable == "API_BASE_URL" ? Config::apiBaseUrl()
            : variable == "WEBSOCKET_URL"                 ? Config::webSocketUrl()
                                                          : Config::logLevel();
        QCOMPARE(actual, expected);
    }

    void readAtEveryCall()
    {
        qputenv("API_BASE_URL", "http://first");
        QCOMPARE(Config::apiBaseUrl(), QStringLiteral("http://first"));
        qputenv("API_BASE_URL", "http://second");
        QCOMPARE(Config::apiBaseUrl(), QStringLiteral("http://second"));
        qunsetenv("API_BASE_URL");
        QCOMPARE(Config::apiBaseUrl(), QStringLiteral("https://corvanta.gg"));
    }

    void isDevelopment_data()
    {
        QTest::addColumn<QString>("nodeEnv");
        QTest::addColumn<QString>("env");
        QTest::addColumn<bool>("expected");

        QTest::addRow("both unset") << unset << unset << true;
        QTest::addRow("NODE_ENV production alone") << "production" << unset << true;
        QTest::addRow("both production") << "production" << "production" << false;
        QTest::addRow("ENV DEVELOPMENT") << "production" << "DEVELOPMENT" << true;
        QTest::addRow("both empty") << QString("") << QString("") << false;
        QTest::addRow("padded value is not exact") << " development" << "staging" << false;
    }

    void isDevelopment()
    {
        QFETCH(QString, nodeEnv);
        QFETCH(QString, env);
        QFETCH(bool, expected);

        setVariable("NODE_ENV", nodeEnv);
        setVariable("ENV", env);
        QCOMPARE(Config::isDevelopment(), expected);
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
