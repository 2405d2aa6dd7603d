// Feeds arbitrary bytes to the tile image decoder.
#include "render/TileImages.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);  // image format plug-ins need an application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (QSize tile : {QSize(40, 30), QSize(40, 16)}) {
        const QImage image = tessera::decodeTileImage(bytes, tile);
        if (!image.isNull() && image.size() != tile)
            __builtin_trap();
    }
    return 0;
}
