#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share: a quiet Qt, the application object, and a way to report a broken
// rule of the code under test as a crash, so that libFuzzer keeps the input.
namespace fuzz {

// Drops Qt's messages, and with them our log lines, so that a run spends its time in the code
// under test rather than on the terminal. A fatal message still prints before Qt aborts.
void silenceQtMessages();

// Creates, once, the GUI application object on the offscreen platform (unless QT_QPA_PLATFORM
// names another), with the per-user settings in a temporary folder so that no run reads or
// writes the user's own.
void startGuiApplication();

// While it lives, what is allocated counts as no leak: for the set-up a target does once, in
// LLVMFuzzerInitialize. Qt Quick's script engine keeps pointers in memory of its own that the
// leak checker does not read, so what a window's engine allocates then would otherwise be
// reported as lost the first time an input's allocations do not balance.
class SetUpScope
{
public:
    SetUpScope();
    ~SetUpScope();
    SetUpScope(const SetUpScope &) = delete;
    SetUpScope &operator=(const SetUpScope &) = delete;
};

// The input split at each '\n', without the separators.
QList<QByteArray> lines(const std::uint8_t *data, std::size_t size);

// Prints what was expected and aborts.
[[noreturn]] void fail(const char *expectation, const char *file, int line);

} // namespace fuzz

// A rule of the code under test that the input must not be able to break.
#define FUZZ_EXPECT(condition)                                                                     \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::fail(#condition, __FILE__, __LINE__);                                          \
    } while (false)
