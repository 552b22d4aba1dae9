#pragma once

#include "WebViewSetup.h"

#include <QApplication>
#include <QTest>

// QTEST_MAIN for tests that show the embedded web view, which must be prepared before the
// application object exists.
#define CORVANTA_WEBVIEW_TEST_MAIN(TestClass)                                                      \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        initializeWebView();                                                                       \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
