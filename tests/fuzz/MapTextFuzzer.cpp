// Feeds arbitrary bytes to the map path file reader.
#include "files/Progress.h"
#include "model/MapText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tessera::CountingProgress progress;
    const tessera::MapTextLoad load =
        tessera::parseMapText(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), 7,
                              progress);
    if (progress.position() != progress.maximum() || load.fields != progress.maximum())
        __builtin_trap();
    if (load.kind == tessera::MapFileKind::Text && load.cells.size() != 49)
        __builtin_trap();
    return 0;
}
