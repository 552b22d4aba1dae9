#pragma once

#include <QProcess>

// Terminates a child process, killing it if it does not end within five seconds.
void stopProcess(QProcess &process);
