#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Writes a Windows icon file holding each image as a 32-bit bitmap with alpha (sizes up to 256).
bool writeIco(const QString &path, const QList<QImage> &images);
