#include "canvas/EditingTools.h"

#include "canvas/Canvas.h"
#include "files/Dialogs.h"
#include "model/MapHistory.h"

#include <QLabel>

#include <algorithm>

#include <utility>

namespace tessera {
namespace {
constexpr double kTolerance = 1e-7;
}

const QString EditingTools::kOverwriteQuestion = QStringLiteral("是否覆盖？");
const QString EditingTools::kDeleteNotice = QStringLiteral("进入删除状态，撤销按钮已无法取消之前的操作！");
const QString EditingTools::kEmptyCellNotice = QStringLiteral("空白处无法移动");

EditingTools::EditingTools(MapHistory& history, EditingState& editing, Canvas& canvas, Dialogs& dialogs,
                           QLabel* followImage)
    : history_(history), grid_(history.grid()), editing_(editing), canvas_(canvas), dialogs_(dialogs),
      followImage_(followImage)
{
    // Undo and redo from the menu: each changed cell redraws itself.
    restored_ = QObject::connect(&history_, &MapHistory::cellsRestored, &history_, [this](const QList<QPoint>& cells) {
        for (const QPoint& cell : cells)
            redrawCell({cell.y(), cell.x()});
    });
    changed_ = {
        QObject::connect(&history_, &MapHistory::cellsSet, &history_,
                         [this](const std::vector<CellChange>& changes) { cellsChanged(changes); }),
        QObject::connect(&history_, &MapHistory::mapSet, &history_, [this] { forgetDroppedImage(); }),
        QObject::connect(&history_, &MapHistory::shifted, &history_, [this] { forgetDroppedImage(); }),
    };
}

EditingTools::~EditingTools()
{
    QObject::disconnect(restored_);
    for (const QMetaObject::Connection& c : changed_)
        QObject::disconnect(c);
}

void EditingTools::cellsChanged(const std::vector<CellChange>& changes)
{
    if (!droppedAt_)
        return;
    const auto isDropped = [this](const CellChange& c) { return c.row == droppedAt_->row && c.column == droppedAt_->column; };
    if (std::any_of(changes.begin(), changes.end(), isDropped))
        forgetDroppedImage();
}

void EditingTools::forgetDroppedImage()
{
    // While a tile is carried or swapped the image shows that tile, not a cell.
    if (history_.carried() || swapSource_)
        return;
    droppedAt_.reset();
    hideOnRelease_ = false;
    followImage_->hide();
}

void EditingTools::refreshed()
{
    forgetDroppedImage();
}

MoveState EditingTools::moveState() const
{
    if (grid_.mapSize() == 0)
        return MoveState::None;
    return history_.carried() ? MoveState::Carrying : MoveState::Idle;
}

void EditingTools::mapStarted()
{
    swapSource_.reset();
    followBeforeSwap_ = {};
    forgetDroppedImage();
}

void EditingTools::setCell(MapCommandKind kind, Cell cell, const QString& text)
{
    history_.changeCells(kind, {{cell.row, cell.column, grid_.cellText(cell.row, cell.column), text}});
}

void EditingTools::canvasPressed(Qt::MouseButton button, QPointF at, QPoint client)
{
    if (button != Qt::LeftButton)
        return;
    const EditMode mode = armedMode();
    if (mode == EditMode::Delete)
        deleteAt(at);
    else if (mode == EditMode::Move && !history_.carried())
        pickUp(at, client);
    else if (mode == EditMode::Swap && !swapSource_)
        startSwap(at, client);
}

void EditingTools::canvasReleased(Qt::MouseButton button, QPointF at)
{
    if (button == Qt::LeftButton && swapSource_) {
        finishSwap(at);
        return;
    }
    if (button != Qt::LeftButton || !seen(at))
        return;
    const EditMode mode = armedMode();
    if (mode == EditMode::Move && history_.carried())
        drop(at);
    if (mode == EditMode::Place) {
        const QStringList picked = editing_.pickedFiles;
        editing_.pickedFiles.clear();
        placeFiles(picked, at);
    }
}

void EditingTools::canvasMoved(QPointF at, QPoint client)
{
    const EditMode mode = armedMode();
    if (swapSource_ || (mode == EditMode::Move && history_.carried()))
        moveFollowImage(client - kFollowGrip);
    if (mode == EditMode::Place && !editing_.dropQueue.isEmpty() && seen(at)) {
        const QStringList queued = editing_.dropQueue;
        editing_.dropQueue.clear();
        placeFiles(queued, at);
    }
}

void EditingTools::followImageMoved(QPoint client)
{
    // An image found beyond a bound goes back onto it and does not follow in this event.
    const FollowBounds b = followLimits();
    const auto follow = [](int at, int low, int high, int wanted) {
        if (at < low)
            return low;
        return at - high > kTolerance ? high : wanted;
    };
    const QPoint at = followImage_->pos();
    const QPoint wanted = client - kFollowGrip;
    moveFollowImage(QPoint(
        follow(at.x(), b.viewport.left(), b.viewport.left() + b.viewport.width() - b.vScrollWidth - 27, wanted.x()),
        follow(at.y(), b.viewport.top(), b.viewport.top() + b.viewport.height() - b.hScrollHeight - 18, wanted.y())));
}

void EditingTools::followImagePressed()
{
    const FollowBounds b = followLimits();
    const QRect image = followImage_->geometry();
    const bool overCanvas = image.left() >= 8 && image.top() >= 45
        && image.left() <= b.canvas.width() - image.width() + 40
        && image.top() <= b.canvas.height() - image.height() + 40;
    hideOnRelease_ = overCanvas;
}

void EditingTools::followImageReleased(Qt::MouseButton button, QPointF at)
{
    if (button != Qt::LeftButton || !std::exchange(hideOnRelease_, false) || !seen(at))
        return;
    followImage_->hide();
    canvasReleased(button, at);
}

void EditingTools::chooseFile(const QString& path)
{
    if (armedMode() != EditMode::Place)
        return;
    editing_.pickedFiles = QStringList{path};
}

void EditingTools::dropFiles(const QStringList& paths)
{
    if (armedMode() != EditMode::Place)
        return;
    editing_.dropQueue = paths;
}

void EditingTools::placeFiles(const QStringList& files, QPointF at)
{
    for (const QString& file : files) {
        const std::optional<Cell> cell = cellAt(at.x(), at.y(), grid_.mapSize());
        if (!cell)
            continue;
        if (!grid_.cellText(cell->row, cell->column).isEmpty()
            && dialogs_.messageBox(kOverwriteQuestion, MessageButtons::YesNoInfo) != MessageResult::Yes)
            continue;
        canvas_.drawTileAt(cell->row, cell->column, file);  // an unreadable file draws nothing
        setCell(MapCommandKind::Place, *cell, file);
    }
}

void EditingTools::armDelete()
{
    history_.markRedrawn();
    dialogs_.messageBox(kDeleteNotice, MessageButtons::Ok);
}

void EditingTools::undo()
{
    const std::optional<ButtonStep> step = history_.buttonStep();
    if (!step)
        return;
    history_.takeBack(*step);
    if (step->kind == MapCommandKind::Swap) {
        if (!step->undoes) {  // an undo redraws its cells itself
            redrawCell({step->row, step->column});
            redrawCell({step->otherRow, step->otherColumn});
        }
        return;
    }
    // The tile size of now, and the pen the canvas holds now.
    canvas_.repaintCellPatch(step->row, step->column, QSize(editing_.tileWidth, editing_.tileHeight),
                             canvas_.currentPen());
}

void EditingTools::deleteAt(QPointF at)
{
    const std::optional<Cell> cell = cellAt(at.x(), at.y(), grid_.mapSize());
    if (!cell)
        return;
    canvas_.selectDottedPen();
    canvas_.repaintCellPatch(cell->row, cell->column, QSize(kCellWidth, kCellHeight), EdgePen::Dotted);
    setCell(MapCommandKind::Delete, *cell, QString());
}

void EditingTools::pickUp(QPointF at, QPoint client)
{
    const std::optional<Cell> cell = cellAt(at.x(), at.y(), grid_.mapSize());
    if (!cell)
        return;
    const QString path = grid_.cellText(cell->row, cell->column);
    if (path.isEmpty()) {
        dialogs_.messageBox(kEmptyCellNotice, MessageButtons::Ok);
        return;
    }
    showFloatingTile(*cell, path);  // before the marker covers the cell's tile
    canvas_.drawMoveMarker(cell->row, cell->column);
    droppedAt_.reset();
    history_.takeUp(cell->row, cell->column);
    followImage_->show();
    followImage_->raise();
    moveFollowImage(client - kFollowGrip);
}

void EditingTools::drop(QPointF at)
{
    const std::optional<Cell> cell = cellAt(at.x(), at.y(), grid_.mapSize());
    const CarriedTile carried = *history_.carried();
    const Cell source{carried.row, carried.column};
    // A release outside every cell puts the tile back where it came from, unless something has
    // been placed there since: then the carry goes on.
    if (!cell && !grid_.cellText(source.row, source.column).isEmpty())
        return;
    canvas_.selectDottedPen();
    canvas_.repaintCellPatch(source.row, source.column, QSize(kCellWidth, kCellHeight), EdgePen::Dotted);
    const Cell target = cell ? *cell : source;
    history_.putDown(target.row, target.column);
    canvas_.drawTileAt(target.row, target.column, carried.path);
    if (!cell)
        followImage_->hide();
    droppedAt_ = target;
}

void EditingTools::startSwap(QPointF at, QPoint client)
{
    const std::optional<Cell> cell = cellAt(at.x(), at.y(), grid_.mapSize());
    if (!cell || grid_.cellText(cell->row, cell->column).isEmpty())
        return;
    swapSource_ = *cell;
    followBeforeSwap_ = {followImage_->pixmap(), followImage_->pos(), followImage_->isVisible(), floatingLoad_};
    showFloatingTile(*cell, grid_.cellText(cell->row, cell->column));
    canvas_.drawMoveMarker(cell->row, cell->column);
    followImage_->show();
    followImage_->raise();
    moveFollowImage(client - kFollowGrip);
}

void EditingTools::finishSwap(QPointF at)
{
    const Cell source = *std::exchange(swapSource_, std::nullopt);
    followImage_->setPixmap(followBeforeSwap_.pixmap);
    followImage_->move(followBeforeSwap_.pos);
    followImage_->setVisible(followBeforeSwap_.visible);
    floatingLoad_ = followBeforeSwap_.load;
    followBeforeSwap_ = {};
    const std::optional<Cell> target = seen(at) ? cellAt(at.x(), at.y(), grid_.mapSize()) : std::nullopt;
    if (!target || *target == source) {
        redrawCell(source);  // takes the marker away
        return;
    }
    exchange(source, *target);
}

void EditingTools::exchange(Cell a, Cell b)
{
    const QString atA = grid_.cellText(a.row, a.column);
    const QString atB = grid_.cellText(b.row, b.column);
    history_.changeCells(MapCommandKind::Swap, {{a.row, a.column, atA, atB}, {b.row, b.column, atB, atA}});
    redrawCell(a);
    redrawCell(b);
}

void EditingTools::redrawCell(Cell cell)
{
    canvas_.selectDottedPen();
    canvas_.repaintCellPatch(cell.row, cell.column, QSize(kCellWidth, kCellHeight), EdgePen::Dotted);
    const QString path = grid_.cellText(cell.row, cell.column);
    if (!path.isEmpty())
        canvas_.drawTileAt(cell.row, cell.column, path);
}

void EditingTools::moveFollowImage(QPoint topLeft)
{
    followImage_->move(topLeft);
}

// The tile as the canvas shows it in the cell; else a blank until the cell loaders bring it: the
// GUI thread reads no tile file, so a hung one leaves only the blank.
void EditingTools::showFloatingTile(Cell cell, const QString& path)
{
    const quint64 load = ++floatingLoad_;
    if (const QImage shown = canvas_.shownTile(cell.row, cell.column, path); !shown.isNull()) {
        followImage_->setPixmap(QPixmap::fromImage(shown));
        return;
    }
    QPixmap blank(followImage_->size());
    blank.fill(kCanvasFill);
    followImage_->setPixmap(blank);
    canvas_.loadTile(path, followImage_->size(),
                     [this, load, alive = std::weak_ptr<int>(alive_)](const TileKey&, const QImage& image) {
                         if (alive.expired() || image.isNull())
                             return;
                         if (load == floatingLoad_)
                             followImage_->setPixmap(QPixmap::fromImage(image));
                         else if (swapSource_ && load == followBeforeSwap_.load)
                             followBeforeSwap_.pixmap = QPixmap::fromImage(image);  // shown again after the swap
                     });
}

}  // namespace tessera
