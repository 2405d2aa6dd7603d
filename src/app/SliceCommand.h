#pragma once

#include "files/Dialogs.h"

#include <QObject>

#include <memory>

namespace tessera {

class MapDocument;
class Dialogs;
class ResultReport;
struct SliceResult;

// 切分大图: asks for the picture and, in one dialog, the cell size, the folder, the JPEG quality and
// the padding (a folder that is free offered); refuses a folder that holds a name it would write, asks
// before it writes into a folder that is not empty, replaces placed tiles or
// enlarges the map; cuts in the background and, once every slice and the reference are written,
// puts each slice in its cell in one undoable step. No widgets: the window follows its signal.
class SliceCommand : public QObject {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("切分大图");

    SliceCommand(MapDocument& document, Dialogs& dialogs, ResultReport& report, QObject* parent = nullptr);

    void start();

signals:
    // The reference picture written next to the slices: the window shows it in 原大地图.
    void referenceWritten(const QString& path);

private:
    QString freeFolderBeside(const QString& picture);
    bool mayUseFolder(const QString& folder, int rows, int columns);
    void finish(const SliceResult& result, int mapSize, const QString& folder);

    MapDocument& document_;
    Dialogs& dialogs_;
    ResultReport& report_;
    SliceChoices last_;  // offered again next time
};

}  // namespace tessera
