// Feeds arbitrary bytes to the TMX and TMJ readers (map and tileset), then decodes each layer the
// importer could take: a refusal always says why, a decoded layer holds exactly its ids.
#include "tmx/TiledData.h"

using namespace tessera::tiled;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const bool json : {false, true}) {
        MapData map;
        TilesetData tileset;
        QString error, tilesetError;
        if ((!(json ? parseTmjMap(bytes, map, error) : parseTmxMap(bytes, map, error)) && error.isEmpty())
            || (!(json ? parseTsjTileset(bytes, tileset, tilesetError) : parseTsxTileset(bytes, tileset, tilesetError))
                && tilesetError.isEmpty()))
            __builtin_trap();
        for (const LayerData& layer : map.layers) {
            std::vector<quint32> gids;
            if (layer.width > 0 && layer.height > 0 && layer.width <= 1000 && layer.height <= 1000
                && decodeLayerData(layer, gids, error) && gids.size() != std::size_t(layer.width) * std::size_t(layer.height))
                __builtin_trap();
        }
    }
    return 0;
}
