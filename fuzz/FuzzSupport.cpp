#include "FuzzSupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <sanitizer/lsan_interface.h>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

void dropMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(message));
}

} // namespace

void silenceQtMessages()
{
    qInstallMessageHandler(dropMessage);
}

void startGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    const SetUpScope setUp;
    silenceQtMessages();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lives as long as the process: QSettings reads it whenever a store is opened.
    static QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    // Qt keeps the reference to argc; libFuzzer's own arguments stay away from Qt's parser.
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

SetUpScope::SetUpScope()
{
    __lsan_disable();
}

SetUpScope::~SetUpScope()
{
    __lsan_enable();
}

QList<QByteArray> lines(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
}

void fail(const char *expectation, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: expected %s\n", file, line, expectation);
    std::abort();
}

} // namespace fuzz
