// Writes a generated set of slices and its reference picture into FOLDER (see SliceMapGenerator.h),
// for the tests that run the real binary.
#include "support/SliceMapGenerator.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: slice_map_tool FOLDER ROWS COLUMNS\n");
        return 2;
    }
    tessera::SliceMapOptions options;
    options.rows = std::atoi(argv[2]);
    options.columns = std::atoi(argv[3]);
    const tessera::GeneratedMap map = tessera::generateSliceMap(QString::fromLocal8Bit(argv[1]), options);
    return map.ok() ? 0 : 1;
}
