#include "model/MapHistory.h"

#include "files/Progress.h"

#include <algorithm>
#include <utility>

namespace tessera {

// The base of every map command: its kind, its serial number, and whether it is applied for the
// first time (then its maker has already drawn it, and no view is told to redraw).
class MapCommand : public QUndoCommand {
public:
    MapCommand(MapHistory& history, MapCommandKind kind, const QString& name)
        : history_(history), kind_(kind), serial_(history.nextSerial_++)
    {
        setText(name);
    }
    MapCommandKind kind() const { return kind_; }
    quint64 serial() const { return serial_; }
    // The cells a cell command changed; none for a whole-map command or a shift.
    virtual const std::vector<CellChange>* cellChanges() const { return nullptr; }
    // A placement or swap of the tools that the undo button has not taken back.
    bool buttonMay() const
    {
        return (kind_ == MapCommandKind::Place || kind_ == MapCommandKind::Swap) && !byButton_ && !takenBack_;
    }
    bool byButton_ = false;  // the button's own swap back
    bool takenBack_ = false;

protected:
    TileGrid& grid() { return history_.grid_; }
    bool quiet() const { return history_.quiet_; }
    void endCarry() { history_.carried_.reset(); }
    // True on the push, false on every later redo.
    bool firstApply() { return std::exchange(first_, false); }

    MapHistory& history_;

private:
    MapCommandKind kind_;
    quint64 serial_;
    bool first_ = true;
};

namespace {

class CellsCommand : public MapCommand {
public:
    CellsCommand(MapHistory& history, MapCommandKind kind, std::vector<CellChange> changes, bool open)
        : MapCommand(history, kind, MapHistory::nameOf(kind)), changes_(std::move(changes)), open_(open)
    {
    }
    void redo() override { apply(firstApply(), false); }
    void undo() override { apply(false, true); }
    int id() const override { return kind() == MapCommandKind::Move ? 1 : -1; }
    const std::vector<CellChange>* cellChanges() const override { return &changes_; }
    // An open command (a move's pick-up) takes in the next change of its kind (the drop), and
    // goes when the two together change nothing.
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const CellsCommand*>(other);
        if (!open_ || next->kind() != kind())
            return false;
        open_ = false;
        changes_.insert(changes_.end(), next->changes_.begin(), next->changes_.end());
        setObsolete(std::all_of(changes_.begin(), changes_.end(), [this](const CellChange& c) {
            return grid().cellText(c.row, c.column) == firstBefore(c.row, c.column);
        }));
        return true;
    }

private:
    void apply(bool first, bool back)
    {
        std::vector<CellChange> effect;
        effect.reserve(changes_.size());
        QList<QPoint> cells;
        // Undo walks backwards, so that a cell changed twice ends at its first text.
        for (std::size_t i = 0; i < changes_.size(); ++i) {
            const CellChange& c = changes_[back ? changes_.size() - 1 - i : i];
            const QString& text = back ? c.before : c.after;
            grid().setCellText(c.row, c.column, text);
            effect.push_back({c.row, c.column, QString(), text});
            cells << QPoint(c.column, c.row);
        }
        emit history_.cellsSet(effect);
        if (!first && !quiet())
            emit history_.cellsRestored(cells);
    }

    const QString& firstBefore(int row, int column) const
    {
        return std::find_if(changes_.begin(), changes_.end(),
                            [&](const CellChange& c) { return c.row == row && c.column == column; })
            ->before;
    }

    std::vector<CellChange> changes_;
    bool open_;
};

class MapCommandReplace : public MapCommand {
public:
    MapCommandReplace(MapHistory& history, MapCommandKind kind, int mapSize, CellTexts cells)
        : MapCommand(history, kind, MapHistory::nameOf(kind)), size_(mapSize), cells_(std::move(cells))
    {
    }
    void redo() override { exchange(firstApply()); }
    void undo() override { exchange(false); }

private:
    // The grid takes the map this command holds, and the command keeps the one the grid had.
    void exchange(bool first)
    {
        const int before = grid().mapSize();
        if (before != size_)
            endCarry();  // the carried tile went with the old size
        cells_ = grid().exchangeCells(size_, std::move(cells_));
        size_ = before;
        emit history_.mapSet();
        if (!first)
            emit history_.mapRestored(before != grid().mapSize());
    }

    int size_;
    CellTexts cells_;
};

ShiftDirection opposite(ShiftDirection d)
{
    switch (d) {
    case ShiftDirection::Left:
        return ShiftDirection::Right;
    case ShiftDirection::Right:
        return ShiftDirection::Left;
    case ShiftDirection::Up:
        return ShiftDirection::Down;
    case ShiftDirection::Down:
        break;
    }
    return ShiftDirection::Up;
}

class ShiftCommand : public MapCommand {
public:
    ShiftCommand(MapHistory& history, ShiftDirection direction, int distance, CellTexts shifted,
                 std::vector<LostCell> lost)
        : MapCommand(history, MapCommandKind::Shift, MapHistory::shiftName(direction, distance)),
          direction_(direction), distance_(distance), shifted_(std::move(shifted)), lost_(std::move(lost))
    {
    }
    void redo() override
    {
        if (firstApply()) {
            // Worked out in the background already.
            [[maybe_unused]] const bool taken = grid().replaceCells(std::exchange(shifted_, {}));
            Q_ASSERT(taken);
        } else {
            NullProgress none;
            shiftGrid(grid(), direction_, distance_, none);
            emit history_.mapRestored(false);
        }
        emit history_.shifted(direction_, distance_);
    }
    void undo() override
    {
        NullProgress none;
        CellTexts cells = grid().cells();
        shiftMapCells(cells, grid().mapSize(), opposite(direction_), distance_, none);
        for (const LostCell& c : lost_)
            cells[c.index] = c.text;
        [[maybe_unused]] const bool taken = grid().replaceCells(std::move(cells));
        Q_ASSERT(taken);
        emit history_.mapSet();
        emit history_.mapRestored(false);
    }

private:
    ShiftDirection direction_;
    int distance_;
    CellTexts shifted_;  // only until the push applies it
    std::vector<LostCell> lost_;
};

}  // namespace

std::vector<LostCell> shiftLosses(const CellTexts& before, int mapSize, ShiftDirection direction, int distance)
{
    std::vector<LostCell> lost;
    const long long n = mapSize;
    if (distance < 1 || before.size() != static_cast<std::size_t>(n * n))
        return lost;
    const long long d = std::min<long long>(distance, n);
    for (long long r = 0; r < n; ++r) {
        for (long long c = 0; c < n; ++c) {
            const QString& text = before[static_cast<std::size_t>(r * n + c)];
            if (text.isEmpty())
                continue;
            const bool off = (direction == ShiftDirection::Left && c < d)
                || (direction == ShiftDirection::Right && c >= n - d) || (direction == ShiftDirection::Up && r < d)
                || (direction == ShiftDirection::Down && r >= n - d);
            if (off || text == kEmptyMarker)
                lost.push_back({static_cast<std::size_t>(r * n + c), text});
        }
    }
    return lost;
}

// The stack's index moved by anything but the history's own calls (the history window going to a
// command): that is an undo or redo of the menu's kind.
MapHistory::MapHistory(QObject* parent) : QObject(parent)
{
    connect(&stack_, &QUndoStack::indexChanged, this, [this] {
        if (own_ == 0)
            menuUsed_ = true;
    });
}

// While alive, the stack's moves are the history's own.
class MapHistory::Own {
public:
    explicit Own(MapHistory& history) : history_(history) { ++history_.own_; }
    ~Own() { --history_.own_; }
    Own(const Own&) = delete;
    Own& operator=(const Own&) = delete;

private:
    MapHistory& history_;
};

void MapHistory::startMap(int mapSize)
{
    grid_.resize(mapSize);
    carried_.reset();
    clear();
}

void MapHistory::clear()
{
    const Own own(*this);
    stack_.clear();
    redrawnAt_ = nextSerial_ - 1;
    menuUsed_ = false;
}

void MapHistory::undo()
{
    if (carried_ || !stack_.canUndo())
        return;
    menuUsed_ = true;
    stack_.undo();
}

void MapHistory::redo()
{
    if (carried_ || !stack_.canRedo())
        return;
    menuUsed_ = true;
    stack_.redo();
}

void MapHistory::markRedrawn()
{
    redrawnAt_ = nextSerial_ - 1;
}

MapCommand* MapHistory::newest() const
{
    if (stack_.index() == 0)
        return nullptr;
    return static_cast<MapCommand*>(const_cast<QUndoCommand*>(stack_.command(stack_.index() - 1)));
}

std::optional<ButtonStep> MapHistory::buttonStep() const
{
    for (int i = stack_.index() - 1; i >= 0; --i) {
        const auto* command = static_cast<const MapCommand*>(stack_.command(i));
        if (command->serial() <= redrawnAt_)
            break;
        if (command->buttonMay()) {
            const std::vector<CellChange>& changes = *command->cellChanges();
            const bool newest = i == stack_.index() - 1;
            ButtonStep step{command->kind(), changes[0].row, changes[0].column};
            if (command->kind() == MapCommandKind::Swap) {
                step.otherRow = changes[1].row;
                step.otherColumn = changes[1].column;
                step.undoes = newest;
            } else {
                // Undoing a placement over a tile would bring that tile back; the button empties.
                step.undoes = newest && changes[0].before.isEmpty();
            }
            step.serial = command->serial();
            return step;
        }
        if (menuUsed_)
            break;
    }
    return std::nullopt;
}

void MapHistory::takeBack(const ButtonStep& step)
{
    const Own own(*this);
    if (step.undoes) {
        quiet_ = step.kind == MapCommandKind::Place;
        stack_.undo();
        quiet_ = false;
        return;
    }
    for (int i = stack_.index() - 1; i >= 0; --i) {
        auto* command = static_cast<MapCommand*>(const_cast<QUndoCommand*>(stack_.command(i)));
        if (command->serial() == step.serial) {
            command->takenBack_ = true;
            break;
        }
    }
    const QString& at = grid_.cellText(step.row, step.column);
    if (step.kind == MapCommandKind::Place) {
        changeCells(MapCommandKind::ClearCell, {{step.row, step.column, at, QString()}});
        return;
    }
    const QString& other = grid_.cellText(step.otherRow, step.otherColumn);
    const quint64 before = nextSerial_;
    changeCells(MapCommandKind::Swap, {{step.row, step.column, at, other}, {step.otherRow, step.otherColumn, other, at}});
    if (MapCommand* pushed = newest(); pushed && pushed->serial() >= before)
        pushed->byButton_ = true;
}

void MapHistory::changeCells(MapCommandKind kind, std::vector<CellChange> changes, bool open)
{
    std::erase_if(changes, [](const CellChange& c) { return c.before == c.after; });
    const Own own(*this);
    if (!changes.empty())
        stack_.push(new CellsCommand(*this, kind, std::move(changes), open));
}

// The carry is set before the pick-up's change and ended before the drop's, so that whoever
// follows the changes sees the carry right after the change that emptied its cell.
void MapHistory::takeUp(int row, int column)
{
    const QString path = grid_.cellText(row, column);
    if (path.isEmpty() || carried_)
        return;
    carried_ = CarriedTile{row, column, path};
    changeCells(MapCommandKind::Move, {{row, column, path, QString()}}, true);
}

void MapHistory::putDown(int row, int column)
{
    if (!carried_)
        return;
    const QString path = std::exchange(carried_, std::nullopt)->path;
    changeCells(MapCommandKind::Move, {{row, column, grid_.cellText(row, column), path}});
}

void MapHistory::replaceMap(MapCommandKind kind, int mapSize, CellTexts cells)
{
    const Own own(*this);
    stack_.push(new MapCommandReplace(*this, kind, mapSize, std::move(cells)));
}

void MapHistory::shift(ShiftDirection direction, int distance, CellTexts shifted, std::vector<LostCell> lost)
{
    if (distance < 1)
        return;
    const Own own(*this);
    stack_.push(new ShiftCommand(*this, direction, distance, std::move(shifted), std::move(lost)));
}

QString MapHistory::nameOf(MapCommandKind kind)
{
    switch (kind) {
    case MapCommandKind::Place:
        return QStringLiteral("放置");
    case MapCommandKind::Move:
        return QStringLiteral("移动");
    case MapCommandKind::Delete:
        return QStringLiteral("删除");
    case MapCommandKind::Swap:
        return QStringLiteral("交换");
    case MapCommandKind::EditCell:
        return QStringLiteral("修改单元格");
    case MapCommandKind::ClearCell:
        return QStringLiteral("清空单元格");
    case MapCommandKind::Shift:
        return QStringLiteral("移动所有图片");
    case MapCommandKind::Import:
        return QStringLiteral("导入数据");
    case MapCommandKind::Slice:
        return QStringLiteral("切分大图");
    case MapCommandKind::Assemble:
        break;
    }
    return QStringLiteral("自动拼图");
}

QString MapHistory::shiftName(ShiftDirection direction, int distance)
{
    static const char* const words[] = {"左", "右", "上", "下"};
    return QStringLiteral("向%1移动 %2 格").arg(QString::fromUtf8(words[static_cast<int>(direction)])).arg(distance);
}

}  // namespace tessera
