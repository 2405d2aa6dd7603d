#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Widget tests run without a display unless a platform is chosen explicitly.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings the program keeps between runs (the recent maps) go to a folder of this run's.
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // An answer scripted for a box that never came is a test's mistake.
    tessera::ScriptedDialogs::onUnusedAnswers = [](const QString& leftOver) {
        ADD_FAILURE() << "answers left unused: " << leftOver.toStdString();
    };
    // Tests run in a folder of their own, wherever they are started: a file written under a
    // relative name (a test's mistake) lands there, never in the working tree, and fails the run.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        return 1;
    const int status = RUN_ALL_TESTS();
    const QStringList strays = QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QDir::setCurrent(QDir::tempPath());
    if (!strays.isEmpty()) {
        std::fprintf(stderr, "files written under relative names: %s\n", qPrintable(strays.join(u' ')));
        return status == 0 ? 1 : status;
    }
    return status;
}
