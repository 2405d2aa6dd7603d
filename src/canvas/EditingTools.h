#pragma once

#include "canvas/CanvasGeometry.h"
#include "canvas/EditingState.h"

#include <QPixmap>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLabel;

namespace tessera {

class Canvas;
class Dialogs;
class MapHistory;
class TileGrid;
enum class MapCommandKind;
struct CellChange;

// Where the floating image of a carried tile may go, in main-window client coordinates.
struct FollowBounds {
    QRect viewport;
    int vScrollWidth = 15;
    int hScrollHeight = 15;
    QSize canvas;
};

// What the editing tools need to know of the window they work in.
class EditingView {
public:
    virtual ~EditingView() = default;
    // The armed tool.
    virtual EditMode editMode() const = 0;
    // Where the floating image may go.
    virtual FollowBounds followBounds() const = 0;
    // Whether a canvas point lies where the user sees the canvas area (the canvas and its ruler
    // margin, as far as the viewport shows them). A release or a move that reaches the canvas
    // elsewhere (the pressed canvas keeps the mouse) does not count.
    virtual bool seesCanvasAt(QPointF at) const = 0;
};

// The editing tools on the canvas: placing chosen and dropped files, moving a tile with a floating
// image, swapping two tiles by dragging one onto the other, deleting, and undoing placements and
// swaps. Mouse positions come in canvas coordinates; the pointer
// for the floating image in main-window client coordinates.
class EditingTools {
public:
    static const QString kOverwriteQuestion;
    static const QString kDeleteNotice;
    static const QString kEmptyCellNotice;
    // The pointer sits at this point of the floating image.
    static constexpr QPoint kFollowGrip{20, 15};

    // Every change of a cell goes to `history` as a command; its undo and redo redraw their cells.
    EditingTools(MapHistory& history, EditingState& editing, Canvas& canvas, Dialogs& dialogs, QLabel* followImage);
    ~EditingTools();
    EditingTools(const EditingTools&) = delete;
    EditingTools& operator=(const EditingTools&) = delete;

    // Without a view the place tool is armed, the image goes anywhere and the whole canvas is seen.
    void setView(const EditingView* view) { view_ = view; }

    // Canvas mouse events.
    void canvasPressed(Qt::MouseButton button, QPointF at, QPoint client);
    void canvasReleased(Qt::MouseButton button, QPointF at);
    void canvasMoved(QPointF at, QPoint client);
    // Floating image mouse events. After a press on it over the canvas area, a release where the
    // canvas area is seen hides it and counts as a release on the canvas at `at` (canvas
    // coordinates): the image keeps the mouse until then, so one click does both.
    void followImageMoved(QPoint client);
    void followImagePressed();
    void followImageReleased(Qt::MouseButton button, QPointF at);

    // A file chosen in the tile chooser; waits for a click when the place tool is armed.
    void chooseFile(const QString& path);
    // Files dropped on the main window; wait for the pointer to reach the canvas.
    void dropFiles(const QStringList& paths);
    // Offers each file in turn to the cell at `at`.
    void placeFiles(const QStringList& files, QPointF at);

    // Arming the delete tool ends what the undo button can revert, and says so.
    void armDelete();
    // The undo button: takes back what the history says it may (`MapHistory::buttonStep`).
    void undo();

    // The floating image left over a dropped tile goes with 刷新 (unless a tile is carried) and
    // with a new map; it also goes when its cell changes by anything but its drop.
    void refreshed();
    void mapStarted();

    MoveState moveState() const;

private:
    void pickUp(QPointF at, QPoint client);
    void startSwap(QPointF at, QPoint client);
    void finishSwap(QPointF at);
    void exchange(Cell a, Cell b);
    void setCell(MapCommandKind kind, Cell cell, const QString& text);
    void redrawCell(Cell cell);
    void drop(QPointF at);
    void deleteAt(QPointF at);
    void moveFollowImage(QPoint topLeft);
    void showFloatingTile(Cell cell, const QString& path);
    void forgetDroppedImage();
    void cellsChanged(const std::vector<CellChange>& changes);

    MapHistory& history_;
    const TileGrid& grid_;
    EditingState& editing_;
    Canvas& canvas_;
    Dialogs& dialogs_;
    QLabel* followImage_;
    EditMode armedMode() const { return view_ ? view_->editMode() : EditMode::Place; }
    FollowBounds followLimits() const { return view_ ? view_->followBounds() : FollowBounds{}; }
    bool seen(QPointF at) const { return !view_ || view_->seesCanvasAt(at); }

    const EditingView* view_ = nullptr;
    bool hideOnRelease_ = false;
    // The cell whose tile the floating image shows after a drop.
    std::optional<Cell> droppedAt_;
    QMetaObject::Connection restored_;
    std::vector<QMetaObject::Connection> changed_;
    // A swap in progress: its source cell, and the floating image as it was before the swap
    // borrowed it (a carried tile may be waiting in it).
    std::optional<Cell> swapSource_;
    struct FollowState {
        QPixmap pixmap;
        QPoint pos;
        bool visible = false;
        quint64 load = 0;
    } followBeforeSwap_;
    // The floating image's tile, counted so that only the newest request's answer is shown; the
    // answers hold `alive_` weakly, so none reaches these tools once they have gone.
    quint64 floatingLoad_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tessera
