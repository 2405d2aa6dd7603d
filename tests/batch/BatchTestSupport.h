#pragma once

#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "model/TileGrid.h"
#include "support/TestImages.h"
#include "app/ResultWindow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tessera {

// Real folders with real tile files, a map naming them, and the scripted dialogs.
class BatchTest : public testing::Test {
protected:
    BatchTest() : report(platform) {}

    QString folder(const QString& name) const
    {
        const QString path = root.filePath(name);
        QDir().mkpath(path);
        return QDir::toNativeSeparators(path);
    }
    // A small JPEG whose colour tells it apart.
    QString tile(const QString& folderName, const QString& name, int shade = 100)
    {
        const QString path = QDir(folder(folderName)).filePath(name);
        EXPECT_TRUE(writeSolidImage(path, QColor(shade, 255 - shade, 60), QSize(40, 30)));
        return QDir::toNativeSeparators(path);
    }
    static QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList filesIn(const QString& name) const
    {
        return QDir(folder(name)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir root;
    TileGrid grid;
    ScriptedPlatform platform;
    CountingProgress progress;
    ResultReport report;
};

}  // namespace tessera
