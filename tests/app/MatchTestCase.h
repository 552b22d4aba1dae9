#pragma once

#include "PlatformSimulator.h"

#include <QObject>
#include <QTest>

// What every test program of real processes shares: the virtual desktop of scripts/test, and one
// platform simulator for the program, reset before each test. Qt Test runs these slots for the
// derived class as its own.
class MatchTestCase : public QObject
{
    Q_OBJECT

protected:
    PlatformSimulator m_simulator;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs the virtual desktop of scripts/test");
        QVERIFY(m_simulator.start());
    }

    void init() { m_simulator.reset(); }
};
