// A map exported with its atlas, in a real game engine: Phaser 3 in headless Chromium, served from
// 127.0.0.1, with the ordinary one call per tileset, draws every cell as `tessera render` does.
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"
#include "tmx/ProgramRuns.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;
using namespace tessera::testing_support;

TEST(PhaserTest, AnAtlasMapLoadsInPhaserAsRenderDrawsIt)
{
    const QString phaser = QStringLiteral(TESSERA_SOURCE "/tests/phaser/node_modules/phaser/dist/phaser.min.js");
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty() || !QFile::exists(phaser))
        GTEST_SKIP() << "chromium or Phaser (installed by scripts/setup) is missing";
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("web")));
    const QString web = dir.filePath(QStringLiteral("web/"));
    for (const QString& file : {phaser, QStringLiteral(TESSERA_SOURCE "/tests/phaser/index.html")})
        ASSERT_TRUE(QFile::copy(file, web + QFileInfo(file).fileName()));
    // Tiles of other sizes than the cell, JPEG and PNG with transparency, in a 5 × 5 map with gaps.
    constexpr int kSide = 5;
    QStringList tiles;
    for (int i = 0; i < 6; ++i) {
        QImage image(60 + i * 13, 40 + i * 7, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgba((x * 5 + i * 40) % 256, (y * 7) % 256, i * 40, i % 2 && x < 20 ? 0 : 255));
        ASSERT_TRUE(image.save(tiles.emplace_back(dir.filePath(QStringLiteral("瓦 %1.%2").arg(i).arg(i % 2 ? "png" : "jpg")))));
    }
    CellTexts cells(kSide * kSide);
    for (int i = 0; i < kSide * kSide; ++i)
        cells[std::size_t(i)] = i % 7 == 3 ? QString() : tiles[i * 5 % 6];
    LocalFiles files;
    NullProgress quiet;
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    ASSERT_TRUE(writeMapPathFile(files, map, cells, kSide, quiet).ok());

    // Each step a program run to its end: the export, our picture, Phaser's canvas.
    const QString shown = dir.filePath(QStringLiteral("phaser.png")), ours = dir.filePath(QStringLiteral("ours.png"));
    const QString tessera = QStringLiteral(TESSERA_BINARY), cell = QStringLiteral("40x30");
    for (const QStringList& step :
         {QStringList{tessera, QStringLiteral("convert"), map, QStringLiteral("--atlas"), QStringLiteral("--cell"), cell,
                      QStringLiteral("-o"), web + QStringLiteral("map.tmj")},
          QStringList{tessera, QStringLiteral("render"), map, QStringLiteral("--cell"), cell, QStringLiteral("-o"), ours},
          QStringList{QStringLiteral("python3"), QStringLiteral(TESSERA_SOURCE "/tests/phaser/capture.py"), web,
                      QStringLiteral("index.html?map=map.tmj"), shown}}) {
        QString err;
        ASSERT_EQ(runProgram(step.first(), step.mid(1), err), 0) << err.toStdString();
    }
    const QImage a = overGrey(QImage(shown)), b = overGrey(QImage(ours));
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < kSide * kSide; ++i)
        EXPECT_LE(meanDifference(a, b, QRect(i % kSide * 40, i / kSide * 30, 40, 30)), 3.0) << "cell " << i;
}
