#include "LogCapture.h"

#include <QRegularExpression>
#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<LogCapture *> activeCapture{nullptr};

QString unquote(const QString &quoted)
{
    QString text;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == QLatin1Char('\\') && i + 1 < quoted.size())
            ++i;
        text.append(quoted[i]);
    }
    return text;
}

} // namespace

LogLine LogLine::parse(const QString &line)
{
    static const QRegularExpression pattern(
        QString::fromLatin1(R"re(^\[(DEBUG|INFO|WARN|ERROR)\] "(\d\d:\d\d:\d\d)" "(.*)"$)re"));
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return {};
    return {match.captured(1), match.captured(2), unquote(match.captured(3))};
}

LogCapture::LogCapture()
{
    activeCapture = this;
    m_previousHandler = qInstallMessageHandler(handleMessage);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previousHandler);
    activeCapture = nullptr;
}

void LogCapture::handleMessage(QtMsgType type, const QMessageLogContext &context,
                               const QString &message)
{
    LogCapture *capture = activeCapture;
    if (!capture)
        return;
    {
        QMutexLocker locker(&capture->m_mutex);
        capture->m_lines.append(message);
    }
    // Keep the lines visible in the test's own output as well.
    if (capture->m_previousHandler)
        capture->m_previousHandler(type, context, message);
}

QStringList LogCapture::texts() const
{
    QStringList texts;
    for (const QString &line : rawLines()) {
        const LogLine parsed = LogLine::parse(line);
        if (!parsed.tag.isEmpty())
            texts.append(parsed.text);
    }
    return texts;
}

QStringList LogCapture::rawLines() const
{
    QMutexLocker locker(&m_mutex);
    return m_lines;
}

QStringList LogCapture::among(const QStringList &wanted) const
{
    QStringList kept;
    for (const QString &text : texts()) {
        if (wanted.contains(text))
            kept.append(text);
    }
    return kept;
}

int LogCapture::count(const QString &text) const
{
    return int(texts().count(text));
}

void LogCapture::clear()
{
    QMutexLocker locker(&m_mutex);
    m_lines.clear();
}
