#pragma once

#include <QTemporaryDir>

// While it lives, the program's settings (the stored session among them) are kept in a temporary
// folder of their own: no session of the machine's user reaches a test, and none is left behind.
// Constructed before the first settings object is made.
class PrivateSettings
{
public:
    PrivateSettings() { qputenv("XDG_CONFIG_HOME", m_folder.path().toUtf8()); }
    ~PrivateSettings() { qunsetenv("XDG_CONFIG_HOME"); }

    QString path() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
};
