// corvanta-art <resources folder>: draws images/icon.png, images/hand.png, icon.ico, the icon at
// each size it is installed in (icons/<size>.png) and the template pictures templates/*.png.
#include "IcoWriter.h"
#include "IconArt.h"
#include "TemplateArt.h"

#include <QDir>
#include <QFontInfo>
#include <QGuiApplication>
#include <QTextStream>

#include <functional>

int main(int argc, char *argv[])
{
    // The templates carry text, and fonts need a GUI application. The offscreen platform keeps
    // the desktop's font settings (hinting, subpixel order) out of the pixels.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: corvanta-art <resources folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const QString &folder :
         {QStringLiteral("images"), QStringLiteral("icons"), QStringLiteral("templates")}) {
        if (!out.mkpath(folder)) {
            err << "cannot create " << out.filePath(folder) << "\n";
            return 1;
        }
    }
    // A substitute font would draw different templates without any other sign.
    const QString family = QFontInfo(QFont(QStringLiteral("DejaVu Sans"))).family();
    if (family != QStringLiteral("DejaVu Sans")) {
        err << "the font DejaVu Sans is not installed (got " << family << ")\n";
        return 1;
    }

    QList<QImage> iconSizes;
    bool written = true;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        iconSizes.append(drawApplicationIcon(size));
        written = written
            && iconSizes.constLast().save(out.filePath(QStringLiteral("icons/%1.png").arg(size)));
    }

    written = written && iconSizes.constLast().save(out.filePath(QStringLiteral("images/icon.png")))
        && drawPointingHand().save(out.filePath(QStringLiteral("images/hand.png")))
        && writeIco(out.filePath(QStringLiteral("icon.ico")), iconSizes);

    const QList<QPair<QString, std::function<QImage()>>> templates = {
        {QStringLiteral("invitation_popup.png"), drawInvitationPopup},
        {QStringLiteral("accept_button.png"), drawAcceptButton},
        {QStringLiteral("lobby_header.png"), drawLobbyHeader},
        {QStringLiteral("lobby_coach_header.png"), drawLobbyCoachHeader},
        {QStringLiteral("slot_occupied.png"), drawSlotOccupied},
        {QStringLiteral("slot_empty.png"), drawSlotEmpty},
    };
    for (const auto &[file, draw] : templates)
        written = written && draw().save(out.filePath(QStringLiteral("templates/") + file));

    if (!written) {
        err << "cannot write the pictures into " << out.path() << "\n";
        return 1;
    }
    return 0;
}
