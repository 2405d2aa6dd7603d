// The map document without any window: its commands ask through the platform, run their long
// part in the background and tell the windows through signals.
#include "document/MapDocument.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

TEST(MapDocument, ShiftsAndBatchesRunInTheBackgroundAndSayWhenTheMapChanged)
{
    QTemporaryDir dir;
    ScriptedPlatform platform;
    MapDocument document(platform);
    int replaced = 0, filesChanged = 0;
    std::shared_ptr<const RecordedReport> report;
    QObject::connect(&document, &MapDocument::mapReplaced, [&] { ++replaced; });
    QObject::connect(&document, &MapDocument::filesChanged, [&] { ++filesChanged; });
    QObject::connect(&document, &MapDocument::batchDone,
                     [&](std::shared_ptr<const RecordedReport> r) { report = r; });

    platform.answerYes();
    platform.answerInput(QStringLiteral("3"));
    ASSERT_TRUE(document.newMap());
    EXPECT_EQ(document.grid().mapSize(), 3);
    const QString tile = dir.filePath(QStringLiteral("a.jpg"));
    ASSERT_TRUE(writeSolidImage(tile, testcolors::kRed, QSize(8, 8)));
    setCell(document, 1, 1, tile);

    platform.answerInput(QStringLiteral("1"));
    document.shift(ShiftDirection::Down);
    EXPECT_EQ(document.grid().cellText(2, 1), QString());  // not before the work is done
    document.work().waitForIdle();
    EXPECT_EQ(document.grid().cellText(2, 1), tile);
    EXPECT_EQ(replaced, 1);

    const QString folder = dir.filePath(QStringLiteral("to"));
    QDir().mkpath(folder);
    platform.answerYes();
    platform.answerFolder(folder);
    document.batchMove();
    document.work().waitForIdle();
    EXPECT_EQ(document.grid().cellText(2, 1), QDir(folder).filePath(QStringLiteral("a.jpg")));
    EXPECT_TRUE(QFile::exists(document.grid().cellText(2, 1)));
    EXPECT_EQ(filesChanged, 1);
    EXPECT_EQ(replaced, 1);  // a move does not redraw
    ASSERT_TRUE(report);
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 0);  // shown when the window replays it
}

TEST(MapDocument, WhatEachBatchAnswerRedrawsAndRefreshes)
{
    QTemporaryDir dir;
    ScriptedPlatform platform;
    MapDocument document(platform);
    int replaced = 0, filesChanged = 0;
    QObject::connect(&document, &MapDocument::mapReplaced, [&] { ++replaced; });
    QObject::connect(&document, &MapDocument::filesChanged, [&] { ++filesChanged; });
    const auto counts = [&] { return std::pair{replaced, filesChanged}; };

    // Without a map: the message, and the chooser refreshed.
    platform.answerYes();
    platform.answerFolder(dir.path());
    document.batchRename(false);
    EXPECT_EQ(counts(), std::pair(0, 1));

    platform.answerYes();
    platform.answerInput(QStringLiteral("2"));
    ASSERT_TRUE(document.newMap());
    // No: nothing; a cancelled folder: a move refreshes, a rename does not.
    platform.answerNo();
    document.batchRename(false);
    platform.answerNo();
    document.batchMove();
    platform.answerYes();
    platform.answerCancel(DialogKind::Folder);
    document.batchRename(false);
    EXPECT_EQ(counts(), std::pair(0, 1));
    platform.answerYes();
    platform.answerCancel(DialogKind::Folder);
    document.batchMove();
    EXPECT_EQ(counts(), std::pair(0, 2));

    // A rename redraws and refreshes.
    platform.answerYes();
    platform.answerFolder(dir.path());
    document.batchRename(true);
    document.work().waitForIdle();
    EXPECT_EQ(counts(), std::pair(1, 3));
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("2-2.jpg"))));
}
