// Exports the same large map to the given path again and again until it is killed.
#include "LargeMap.h"

#include "files/Progress.h"
#include "files/LocalFiles.h"
#include "model/MapPathFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    tessera::TileGrid grid;
    fillLargeMap(grid);
    tessera::LocalFiles files;
    tessera::NullProgress progress;
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        tessera::writeMapPathFile(files, QString::fromLocal8Bit(argv[1]), grid.cells(), grid.mapSize(), progress);
}
