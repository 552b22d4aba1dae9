// The dashboard page's two ways into the launcher: the addresses it navigates to, and the messages
// it queues for the launcher.
//
// Input, one item per line: first an address the page navigates to, then the results of the
// collection script run in the page (docs/web-bridge.md), JSON text, handed in order to one
// outbox. The address goes through the dashboard view's decision (sign out, stay in the view, or
// openExternal), with the platform reached over https and again with a local http platform;
// every message the outbox hands on goes to DashboardWindow::handleWebMessage.
//
// The window is the real DashboardWindow without its QML page (the resources are not linked): the
// decision and the message handling are its own C++ code, and a web engine per fuzz process would
// only slow the run down.

#include "AuthManager.h"
#include "DashboardWindow.h"
#include "FuzzSupport.h"
#include "WebMessageOutbox.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QUrl>

#include <memory>

namespace {

// Takes the desktop's place for one address's scheme, so that nothing the window opens ever
// reaches a browser, and records what it was given.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

enum class Destination { View, Logout, Browser, Refused };

struct Fixture
{
    AuthManager auth;
    DashboardWindow window{&auth};
    int emitted = 0;
    int logouts = 0;

    Fixture()
    {
        const auto count = [this] { ++emitted; };
        QObject::connect(&window, &DashboardWindow::matchReady, count);
        QObject::connect(&window, &DashboardWindow::matchStarted, count);
        QObject::connect(&window, &DashboardWindow::lobbyJoined, count);
        QObject::connect(&window, &DashboardWindow::lobbyLeft, count);
        QObject::connect(&window, &DashboardWindow::slotOccupied, count);
        QObject::connect(&window, &DashboardWindow::logoutRequested, [this] {
            ++emitted;
            ++logouts;
        });
    }
};

Fixture *fixture = nullptr;

// What DashboardView.qml does when the page's address changes.
Destination navigate(const QString &address)
{
    DashboardWindow &window = fixture->window;
    if (window.isLogoutUrl(address))
        return Destination::Logout;
    if (window.isAllowedUrl(address))
        return Destination::View;

    // A recorder per address: each registration connects to its receiver's destruction, and
    // only the receiver's end drops that connection again.
    UrlRecorder recorder;
    const QString scheme = QUrl(address, QUrl::TolerantMode).scheme();
    QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    window.openExternal(address);
    QDesktopServices::unsetUrlHandler(scheme);

    const QList<QUrl> &opened = recorder.opened;
    FUZZ_EXPECT(opened.size() <= 1);
    if (opened.isEmpty())
        return Destination::Refused;
    const QString openedScheme = opened.first().scheme();
    FUZZ_EXPECT(openedScheme == QLatin1String("http") || openedScheme == QLatin1String("https"));
    return Destination::Browser;
}

Destination navigateWithPlatform(const QString &address, const char *apiBaseUrl)
{
    qputenv("API_BASE_URL", apiBaseUrl);
    return navigate(address);
}

void checkNavigation(const QString &address)
{
    const Destination remote = navigateWithPlatform(address, "https://corvanta.gg");
    const Destination local = navigateWithPlatform(address, "http://127.0.0.1:4555");
    // A local platform lets more pages stay in the view, never fewer; signing out and refusing
    // do not depend on where the platform is.
    if (remote == Destination::View)
        FUZZ_EXPECT(local == Destination::View);
    FUZZ_EXPECT((remote == Destination::Logout) == (local == Destination::Logout));
    FUZZ_EXPECT((remote == Destination::Refused) == (local == Destination::Refused));

    // The view holds the address as a URL and the page reports it as that URL's text: whether
    // it stays in the view or signs out must not change when the address is written out and
    // read again. (Browser or refused may: an address Qt cannot read back is written out empty,
    // and the desktop would refuse to open it anyway.)
    const QString rewritten = QUrl(address, QUrl::TolerantMode).toString();
    const Destination again = navigateWithPlatform(rewritten, "https://corvanta.gg");
    FUZZ_EXPECT((again == Destination::View) == (remote == Destination::View));
    FUZZ_EXPECT((again == Destination::Logout) == (remote == Destination::Logout));
}

// The outbox's marks go back into the page inside the collection script: "...})(<marks>)", the
// marks a JSON object of numbers, one per queue (epoch) seen.
void checkCollectionScript(const WebMessageOutbox &outbox, const QSet<QString> &epochs)
{
    const QString script = outbox.collectScript();
    const qsizetype start = script.lastIndexOf(QLatin1String("})("));
    FUZZ_EXPECT(start >= 0 && script.endsWith(QLatin1Char(')')));
    const QString marks = script.mid(start + 3, script.size() - start - 4);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(marks.toUtf8(), &error);
    FUZZ_EXPECT(error.error == QJsonParseError::NoError && document.isObject());
    const QJsonObject object = document.object();
    FUZZ_EXPECT(object.size() == epochs.size());
    for (auto it = object.begin(); it != object.end(); ++it) {
        FUZZ_EXPECT(epochs.contains(it.key()));
        FUZZ_EXPECT(it.value().isDouble());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startGuiApplication();
    const fuzz::SetUpScope setUp;
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> items = fuzz::lines(data, size);
    checkNavigation(QString::fromUtf8(items.first()));

    WebMessageOutbox outbox;
    QSet<QString> epochs;
    int handedOn = 0;
    int logoutMessages = 0;
    fixture->emitted = 0;
    fixture->logouts = 0;
    for (qsizetype i = 1; i < items.size(); ++i) {
        const QVariant result(QString::fromUtf8(items.at(i)));
        const QString epoch = QJsonDocument::fromJson(result.toString().toUtf8())
                                  .object()
                                  .value(QLatin1String("epoch"))
                                  .toString();
        if (!epoch.isEmpty())
            epochs.insert(epoch);
        for (const WebMessageOutbox::Message &message : outbox.receive(result)) {
            ++handedOn;
            if (message.channel == QLatin1String("launcher:logout"))
                ++logoutMessages;
            fixture->window.handleWebMessage(message.channel, message.args);
        }
        // Each message is handed on once: the same collection again brings nothing new.
        FUZZ_EXPECT(outbox.receive(result).isEmpty());
    }
    // One signal at most per message; a sign-out only when the page asked for one.
    FUZZ_EXPECT(fixture->emitted <= handedOn);
    FUZZ_EXPECT(fixture->logouts <= logoutMessages);
    checkCollectionScript(outbox, epochs);
    return 0;
}

#include "fuzz_dashboard.moc"
