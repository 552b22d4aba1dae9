#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTime>

// The log lines as the real toolkit output writes them on standard error, byte for byte.
class TestLog : public QObject
{
    Q_OBJECT

private:
    static QByteArray runProbe(const QStringList &arguments)
    {
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
        environment.remove(QStringLiteral("QT_LOGGING_RULES"));
        probe.setProcessEnvironment(environment);
        probe.start(QStringLiteral(LOGPROBE_BINARY), arguments);
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
            return QByteArray("probe failed");
        return probe.readAllStandardError();
    }

private slots:
    void lineFormat_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("expectedTail");

        QTest::addRow("debug is written") << "debug" << "x" << QByteArray("\"x\"\n");
        QTest::addRow("warn") << "warn" << "System tray initialization failed"
                              << QByteArray("\"System tray initialization failed\"\n");
        QTest::addRow("error") << "error" << "boom" << QByteArray("\"boom\"\n");
        QTest::addRow("double quote") << "info" << "say \"hi\""
                                      << QByteArray("\"say \\\"hi\\\"\"\n");
        QTest::addRow("backslash") << "info" << "C:\\Games"
                                   << QByteArray("\"C:\\\\Games\"\n");
        QTest::addRow("emoji and Persian kept") << "info" << QString::fromUtf8("✅ مسابقه")
                                                << QByteArray("\"✅ مسابقه\"\n");
        QTest::addRow("500 characters kept") << "info" << QString(500, 'a')
                                             << "\"" + QByteArray(500, 'a') + "\"\n";
        QTest::addRow("longer clipped") << "info" << QString(100000, 'a')
                                        << "\"" + QByteArray(500, 'a') + "\u2026\"\n";
        QTest::addRow("emoji not halved") << "info" << QString(499, 'a') + QString::fromUtf8("😀b")
                                          << "\"" + QByteArray(499, 'a') + "\u2026\"\n";
    }

    void lineFormat()
    {
        QFETCH(QString, level);
        QFETCH(QString, message);
        QFETCH(QByteArray, expectedTail);

        const QTime before = QTime::currentTime();
        const QByteArray output = runProbe({level, message});
        const QTime after = QTime::currentTime();

        const QByteArray tag = "[" + level.toUpper().toLatin1() + "]";
        // tag, a blank, the quoted local time of the call, a blank, the quoted message; nothing
        // else on the stream
        QCOMPARE(output.count('\n'), 1);
        QVERIFY2(output.startsWith(tag + " \""), output.constData());
        const QTime logged = QTime::fromString(QString::fromLatin1(output.mid(tag.size() + 2, 8)),
                                               QStringLiteral("HH:mm:ss"));
        QVERIFY2(logged >= before.addMSecs(-before.msec()) && logged <= after, output.constData());
        QCOMPARE(output.mid(tag.size() + 10, 2), QByteArray("\" "));
        QCOMPARE(output.mid(tag.size() + 12), expectedTail);
    }

    void linesFromManyThreadsStayWhole()
    {
        const int threads = 4;
        const int perThread = 300;
        const QByteArray output = runProbe(
            {QStringLiteral("threads"), QString::number(threads), QString::number(perThread)});
        const QList<QByteArray> lines = output.split('\n');
        QCOMPARE(lines.size(), threads * perThread + 1); // the last split part is empty

        static const QRegularExpression whole(
            QString::fromLatin1(R"re(^\[INFO\] "\d\d:\d\d:\d\d" "thread (\d) line (\d+) \\"quoted\\""$)re"));
        QSet<QString> seen;
        for (int i = 0; i < lines.size() - 1; ++i) {
            const QRegularExpressionMatch match = whole.match(QString::fromUtf8(lines[i]));
            QVERIFY2(match.hasMatch(), lines[i].constData());
            seen.insert(match.captured(1) + QLatin1Char('/') + match.captured(2));
        }
        QCOMPARE(seen.size(), threads * perThread);
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
