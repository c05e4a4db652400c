// Test entry point: every test process gets its own XDG folders in a fresh temporary folder, so
// no test reads or writes the real home folder's settings, logs or caches.
#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/Paths.h"

#include <QDir>
#include <QTemporaryDir>

#ifdef QC_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

// Sanitizer defaults for test processes started without scripts/test.sh's environment. Leak
// reports are off: the system libraries we load (fontconfig, x265, the office) keep allocations
// for the life of the process, and none of those reports points at our code.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0:abort_on_error=0";
}
extern "C" const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/qc-test-XXXXXX"));
    const QByteArray root = home.path().toUtf8();
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_STATE_HOME", root + "/state");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    MediaApp::declare(QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("QuorvaneConverter"),
                      QStringLiteral("1.0"), QStringLiteral("1"));
    ::testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    Paths::setResourcesForTesting(QStringLiteral(QC_BUILD_SHARE_DIR));
    const int result = RUN_ALL_TESTS();
    Log::flush();
    return result;
}
