// The map document without any window: its commands ask through the platform, run their long
// part in the background and tell the windows through signals.
#include "app/MapDocument.h"
#include "gui/ScriptedPlatform.h"
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
                     [&](std::shared_ptr<const RecordedReport> r, const QImage&) { report = r; });

    platform.answerYes();
    platform.answerText(QStringLiteral("3"));
    ASSERT_TRUE(document.newMap());
    EXPECT_EQ(document.grid().mapSize(), 3);
    const QString tile = dir.filePath(QStringLiteral("a.jpg"));
    ASSERT_TRUE(writeSolidImage(tile, testcolors::kRed, QSize(8, 8)));
    document.grid().setCellText(1, 1, tile);

    platform.answerText(QStringLiteral("1"));
    document.shift(ShiftDirection::Down);
    EXPECT_EQ(document.grid().cellText(2, 1), QString());  // not before the work is done
    document.work().waitForIdle();
    EXPECT_EQ(document.grid().cellText(2, 1), tile);
    EXPECT_EQ(replaced, 1);

    const QString folder = dir.filePath(QStringLiteral("to"));
    QDir().mkpath(folder);
    platform.answerYes();
    platform.answerText(folder);
    document.batchMove();
    document.work().waitForIdle();
    EXPECT_EQ(document.grid().cellText(2, 1), QDir(folder).filePath(QStringLiteral("a.jpg")));
    EXPECT_TRUE(QFile::exists(document.grid().cellText(2, 1)));
    EXPECT_EQ(filesChanged, 1);
    EXPECT_EQ(replaced, 1);  // a move does not redraw
    ASSERT_TRUE(report);
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 0);  // shown when the window replays it
}
