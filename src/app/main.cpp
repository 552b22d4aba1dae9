#include "Banner.h"
#include "Config.h"
#include "InstanceChannel.h"
#include "LauncherApplication.h"
#include "Log.h"
#include "SplashScreen.h"
#include "WebViewSetup.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <exception>
#include <memory>

namespace {

// The user's own folder for the lock and the channel. Windows gives every user a temporary folder
// of their own; elsewhere the temporary folder is shared by all users of the machine, so the
// user's runtime folder is used (XDG_RUNTIME_DIR, or a private folder that the toolkit makes
// under the temporary one when that is unset).
QString perUserFolder()
{
#if defined(Q_OS_WIN)
    return QDir::tempPath();
#else
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
#endif
}

QString singleInstanceLockPath()
{
    return perUserFolder() + QLatin1Char('/') + QStringLiteral("CorvantaLauncherSingleton")
        + QStringLiteral(".lock");
}

QString instanceChannelName()
{
    return perUserFolder() + QStringLiteral("/CorvantaLauncherSingleton.channel");
}

// Everything from creating the launcher to the end of the event loop runs inside the fatal-error
// guard of main. The splash and
// the launcher are destroyed before this returns, also when an exception leaves the event loop.
int runLauncher()
{
    auto launcher = std::make_unique<LauncherApplication>();
    if (!launcher->initialize()) {
        logError(QStringLiteral("Failed to initialize launcher application!"));
        return 1;
    }
    logInfo(QStringLiteral("Launcher initialized successfully"));
    logInfo(QString());

    InstanceChannel channel(instanceChannelName());
    QObject::connect(&channel, &InstanceChannel::activationRequested, launcher.get(),
                     &LauncherApplication::showWindow);
    channel.listen();

    auto splash = std::make_unique<SplashScreen>();
    splash->show();
    QObject::connect(splash.get(), &SplashScreen::finished, splash.get(),
                     [launcher = launcher.get()] { launcher->run(); }, Qt::DirectConnection);

    const int exitCode = QApplication::exec();
    splash.reset();
    launcher.reset();
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QUICK_CONTROLS_STYLE", "Basic");
#if !defined(Q_OS_WIN)
    // The game's window, its capture and the overlay's place over it are X11's; in a Wayland
    // session they go through XWayland, so the launcher's windows must too. A platform the user
    // chose stays.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif
    initializeWebView();

    // Both attributes are no-ops in Qt 6 (high-DPI scaling is always on) and deprecated; they are
    // still set so that a build against an older toolkit behaves the same.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QT_WARNING_POP

    auto app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanta"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setOrganizationName(QStringLiteral("Corvanta"));
    QApplication::setOrganizationDomain(Config::platformDomain());
    QApplication::setQuitOnLastWindowClosed(false);

    auto lock = std::make_unique<QLockFile>(singleInstanceLockPath());
    if (!lock->tryLock(100)) {
        logError(QStringLiteral("Another instance of Corvanta Launcher is already running!"));
        logError(QStringLiteral("Only one instance is allowed. Exiting..."));
        InstanceChannel::requestActivation(instanceChannelName(), 100);
        return 1;
    }

    printBanner();

    int exitCode = 1;
    try {
        exitCode = runLauncher();
    } catch (const std::exception &error) {
        logError(QStringLiteral("Fatal error: %1").arg(QString::fromLocal8Bit(error.what())));
    } catch (...) {
        logError(QStringLiteral("Unknown fatal error occurred"));
    }

    lock.reset();
    app.reset();
    return exitCode;
}
