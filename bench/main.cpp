// Prints one "scenario: value unit" line per measured scenario. Without arguments every group
// runs; the 1000 × 1000 groups, every render and the 100 × 100 assembly run in child processes so
// that their memory is their own.
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace tessera::bench {
void runModelBench();
void runCanvasBench();
void runCanvas1000Bench();
void runDistinct1000Bench();
void runTilesBench();
void runRenderBench();
void runAssembleBench();
int runAssembleChild(const QString& folder, const QString& out);
void runHugeTilesBench();
void runHugeCanvasChild(const QString& map);
void runSliceBench();
void runTiledMap1000Bench(const QString& folder);
int runSliceDecodeChild(const QString& picture);
int runSliceEncodeChild(const QString& picture);
}  // namespace tessera::bench

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char* group = argc > 1 ? argv[1] : "all";
    const bool all = std::strcmp(group, "all") == 0;
    if (std::strcmp(group, "assemble-child") == 0 && argc == 4)
        return tessera::bench::runAssembleChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (std::strcmp(group, "slice-decode") == 0 && argc == 3)
        return tessera::bench::runSliceDecodeChild(QString::fromLocal8Bit(argv[2]));
    if (std::strcmp(group, "slice-encode") == 0 && argc == 3)
        return tessera::bench::runSliceEncodeChild(QString::fromLocal8Bit(argv[2]));
    if (std::strcmp(group, "huge-canvas") == 0 && argc == 3) {
        tessera::bench::runHugeCanvasChild(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (all || std::strcmp(group, "model") == 0)
        tessera::bench::runModelBench();
    if (all || std::strcmp(group, "canvas") == 0)
        tessera::bench::runCanvasBench();
    if (all || std::strcmp(group, "tiles") == 0)
        tessera::bench::runTilesBench();
    if (all || std::strcmp(group, "render") == 0)
        tessera::bench::runRenderBench();
    if (all || std::strcmp(group, "assemble") == 0)
        tessera::bench::runAssembleBench();
    if (all || std::strcmp(group, "huge") == 0)
        tessera::bench::runHugeTilesBench();
    if (all || std::strcmp(group, "slice") == 0)
        tessera::bench::runSliceBench();
    if (std::strcmp(group, "canvas1000") == 0)
        tessera::bench::runCanvas1000Bench();
    if (std::strcmp(group, "tiled") == 0) {  // the TMX/TMJ lines of the model group alone
        QTemporaryDir dir;
        tessera::bench::runTiledMap1000Bench(dir.filePath(QStringLiteral("tiled")));
    }
    if (std::strcmp(group, "distinct1000") == 0)
        tessera::bench::runDistinct1000Bench();
    if (all) {
        for (const char* own : {"canvas1000", "distinct1000"}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(own)});
            child.waitForFinished(-1);
        }
    }
    return 0;
}
