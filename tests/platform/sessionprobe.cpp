// sessionprobe save <token> <userId> <userName> <userEmail> <steamId>
// sessionprobe restore     prints {"restored": bool, "token": ..., ...} on standard output
#include "AuthManager.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    AuthManager auth;
    if (args.size() == 7 && args[1] == QLatin1String("save")) {
        auth.saveSession(args[2], args[3], args[4], args[5], args[6]);
        return 0;
    }
    if (args.size() == 2 && args[1] == QLatin1String("restore")) {
        const bool restored = auth.restoreSession();
        const QJsonObject result{{QStringLiteral("restored"), restored},
                                 {QStringLiteral("token"), auth.token()},
                                 {QStringLiteral("userId"), auth.userId()},
                                 {QStringLiteral("userName"), auth.userName()},
                                 {QStringLiteral("userEmail"), auth.userEmail()},
                                 {QStringLiteral("steamId"), auth.steamId()}};
        std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
        return 0;
    }
    return 2;
}
