// corvanta-art <resources folder>: draws images/icon.png, images/hand.png and icon.ico.
#include "IcoWriter.h"
#include "IconArt.h"

#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: corvanta-art <resources folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("images"))) {
        err << "cannot create " << out.filePath(QStringLiteral("images")) << "\n";
        return 1;
    }

    QList<QImage> iconSizes;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        iconSizes.append(drawApplicationIcon(size));

    const bool written = iconSizes.constLast().save(out.filePath(QStringLiteral("images/icon.png")))
        && drawPointingHand().save(out.filePath(QStringLiteral("images/hand.png")))
        && writeIco(out.filePath(QStringLiteral("icon.ico")), iconSizes);
    if (!written) {
        err << "cannot write the pictures into " << out.path() << "\n";
        return 1;
    }
    return 0;
}
