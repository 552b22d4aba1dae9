#include "IcoWriter.h"

#include <QDataStream>
#include <QFile>

namespace {

// The bitmap of one icon entry: a BITMAPINFOHEADER whose height counts the colour and the mask
// rows, the colour rows bottom-up in BGRA, then the 1-bit AND mask (all clear: alpha decides).
QByteArray bitmapEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int maskStride = ((width + 31) / 32) * 4;

    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(width) << qint32(height * 2) << quint16(1) << quint16(32)
        << quint32(0) << quint32(width * height * 4 + maskStride * height) << qint32(0)
        << qint32(0) << quint32(0) << quint32(0);
    for (int y = height - 1; y >= 0; --y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            out << quint8(qBlue(row[x])) << quint8(qGreen(row[x])) << quint8(qRed(row[x]))
                << quint8(qAlpha(row[x]));
    }
    bytes.append(QByteArray(maskStride * height, '\0'));
    return bytes;
}

} // namespace

bool writeIco(const QString &path, const QList<QImage> &images)
{
    QList<QByteArray> entries;
    for (const QImage &image : images)
        entries.append(bitmapEntry(image));

    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * images.size();
    for (int i = 0; i < images.size(); ++i) {
        // A dimension of 256 is stored as 0.
        out << quint8(images[i].width() & 0xff) << quint8(images[i].height() & 0xff) << quint8(0)
            << quint8(0) << quint16(1) << quint16(32) << quint32(entries[i].size()) << offset;
        offset += entries[i].size();
    }
    for (const QByteArray &entry : entries)
        bytes.append(entry);

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
