#pragma once

namespace tessera {

class MapDocument;
class Dialogs;

// 导出为 TMX/TMJ 地图…: asks for the file, the cell size (the first tile picture's size first) and
// whether to write an atlas (warning that engines draw pictures at their own size when the cell
// is another), writes the map there in the background from a snapshot of the cells, and says how
// it went.
void exportTiledMap(MapDocument& document, Dialogs& dialogs);

}  // namespace tessera
