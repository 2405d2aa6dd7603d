// Writes a generated set of slices and its reference picture into FOLDER (see SliceMapGenerator.h),
// for the tests that run the real binary; CASE names a change of the reference (referenceCases).
#include "support/SliceMapGenerator.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: slice_map_tool FOLDER ROWS COLUMNS [CASE]\n");
        return 2;
    }
    tessera::SliceMapOptions options;
    // A named change of the reference (see referenceCases).
    if (argc == 5)
        for (const tessera::ReferenceCase& c : tessera::referenceCases(0, 0))
            if (qstrcmp(c.name, argv[4]) == 0)
                options = c.options;
    options.rows = std::atoi(argv[2]);
    options.columns = std::atoi(argv[3]);
    const tessera::GeneratedMap map = tessera::generateSliceMap(QString::fromLocal8Bit(argv[1]), options);
    return map.ok() ? 0 : 1;
}
