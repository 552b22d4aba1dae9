#pragma once

#include <QString>

class QQuickView;

// Loads "qrc:/qml/<fileName>" into the view. A page that fails to load is reported with
// "Failed to load <fileName>" and one "QML Error: ..." line per error; returns false then.
bool loadQmlPage(QQuickView *view, const QString &fileName);
