#include "canvas/PreviewWindow.h"

#include "canvas/CanvasGeometry.h"
#include "canvas/CanvasWidgets.h"
#include "gui/WindowPlacement.h"
#include "model/TileGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollArea>
#include <QTimer>
#include <QWindow>

namespace tessera {
namespace {

const QColor kPreviewBackground(192, 192, 192);
const QColor kPreviewLine(128, 128, 128);
const QColor kFrameBackground(128, 128, 128);

// The board that shows the picture; a press on it drags the window.
class PreviewImageView : public QWidget {
public:
    PreviewImageView(const PreviewPicture& picture, QWidget* parent) : QWidget(parent), picture_(picture)
    {
        setObjectName(QStringLiteral("PreviewImage"));
        setAccessibleName(QStringLiteral("全图预览"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        for (const QRect& area : event->region())
            picture_.paint(painter, area);
    }

private:
    const PreviewPicture& picture_;
};

}  // namespace

void PreviewPicture::reset(int mapSize)
{
    size_ = std::max(0, mapSize);
    drawn_ = false;
    tileOf_.clear();
    tiles_.clear();
    pinnedBytes_ = 0;
}

QSize PreviewPicture::size() const
{
    return canvasSize(size_) + QSize(2, 2);
}

void PreviewPicture::begin(QSize tileSize)
{
    tileSize_ = tileSize;
    tileOf_.assign(static_cast<std::size_t>(size_) * static_cast<std::size_t>(size_), UINT32_MAX);
    tiles_.clear();
    pinnedBytes_ = 0;
    drawn_ = true;
}

void PreviewPicture::addLoaded(const std::vector<LoadedTile>& batch)
{
    for (const LoadedTile& tile : batch) {
        if (tile.image.isNull())
            continue;
        Tile entry{tile.key, {}};
        if (pinnedBytes_ + tile.image.sizeInBytes() <= kPinBudgetBytes) {
            entry.pinned = tile.image;
            pinnedBytes_ += tile.image.sizeInBytes();
        }
        tiles_.push_back(std::move(entry));
        for (const int cell : tile.cells)
            tileOf_[static_cast<std::size_t>(cell)] = static_cast<std::uint32_t>(tiles_.size() - 1);
    }
}

void PreviewPicture::paint(QPainter& painter, const QRect& area) const
{
    painter.fillRect(area, kPreviewBackground);
    if (!drawn_)
        return;
    const QSize full = size();
    // Lines between the cells, over the whole height or width; none on the outer edges.
    painter.setPen(QPen(kPreviewLine, 1));
    for (int k = std::max(1, area.left() / kCellWidth); k <= std::min(size_ - 1, area.right() / kCellWidth); ++k)
        painter.drawLine(k * kCellWidth, area.top(), k * kCellWidth, std::min(area.bottom(), full.height() - 1));
    for (int k = std::max(1, area.top() / kCellHeight); k <= std::min(size_ - 1, area.bottom() / kCellHeight); ++k)
        painter.drawLine(area.left(), k * kCellHeight, std::min(area.right(), full.width() - 1), k * kCellHeight);
    const CellRange range = cellsMeeting(area, size_);
    if (range.isEmpty())
        return;
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        for (int c = range.firstColumn; c <= range.lastColumn; ++c) {
            const std::uint32_t tile = tileOf_[static_cast<std::size_t>((r - 1) * size_ + c - 1)];
            if (tile == UINT32_MAX)
                continue;
            const Tile& entry = tiles_[tile];
            const QImage image = entry.pinned.isNull() ? cache_->cached(entry.key) : entry.pinned;
            if (!image.isNull())
                painter.drawImage(QRect(cellRect(r, c).topLeft(), tileSize_), image);
            else if (reload_)
                reload_(entry.key);
        }
    }
}

PreviewWindow::PreviewWindow(TaskGroup& tasks, const TileGrid& grid, QSize tileSize,
                             std::shared_ptr<TileImageCache> cache, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint),
      cells_(grid.cells()), tileSize_(tileSize), picture_(cache),
      fill_(std::make_unique<TileFill>(tasks, cache, static_cast<TileSink&>(*this))),
      reloads_(std::make_unique<CellLoads>(tasks, std::move(cache))), scroll_(new QScrollArea(this)),
      content_(new QWidget), frame_(new QWidget(content_)), image_(new PreviewImageView(picture_, frame_)),
      timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("预览"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    picture_.reset(grid.mapSize());
    picture_.setReload([this](const TileKey& key) {
        if (!reloaded_.contains(key)) {
            reloaded_.insert(key);  // back in the cache when it comes: paint again
            reloads_->request(key.path, key.size, [this](const TileKey&, const QImage&) { image_->update(); });
        }
    });

    scroll_->setObjectName(QStringLiteral("PreviewScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidget(content_);
    frame_->setObjectName(QStringLiteral("PreviewFrame"));
    frame_->setAccessibleName(QStringLiteral("预览框"));
    fillBackground(frame_, kFrameBackground);
    frame_->setGeometry(112, 40, 112, 144);
    image_->setGeometry(8, 8, 88, 80);
    image_->installEventFilter(this);
    image_->installEventFilter(fill_.get());

    timer_->setObjectName(QStringLiteral("PreviewTimer"));
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &PreviewWindow::drawPreview);

    resize(395, 307);
    centreOnScreen(this);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    layoutPreview();  // the first layout comes after creation, when first shown
    if (!placed_) {
        placed_ = true;
        placeAtTopLeft();
    }
}

void PreviewWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // The window manager has framed the window other than guessed: fit and place it again.
    if (placed_ && frameMarginsOf(this) != frameUsed_) {
        layoutPreview();
        placeAtTopLeft();
    }
}

void PreviewWindow::placeAtTopLeft()
{
    // Until the window manager has framed the window, its own frame reads as none: the client is
    // then placed inside the frame expected, so that the frame lands on the corner.
    frameUsed_ = frameMarginsOf(this);
    const QMargins own = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    move(availableArea(this).topLeft() + QPoint(frameUsed_.left() - own.left(), frameUsed_.top() - own.top()));
}

void PreviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scroll_->setGeometry(rect());
    if (isVisible())
        layoutPreview();
}

void PreviewWindow::layoutPreview()
{
    const QSize cells = canvasSize(picture_.mapSize());
    const QSize whole = cells + QSize(12, 12);
    content_->resize(whole);
    frame_->setGeometry(1, 1, cells.width() + 6, cells.height() + 6);
    image_->setGeometry(1, 1, cells.width() + 2, cells.height() + 2);
    // Never beyond the screen's free area, frame included; a larger map scrolls.
    const QSize target = whole.boundedTo(availableArea(this).size().shrunkBy(frameMarginsOf(this)));
    if (size() != target)
        resize(target);
    if (state_ == State::Created) {
        state_ = State::DrawScheduled;
        timer_->start(kDrawDelayMs);
    }
}

void PreviewWindow::drawPreview()
{
    timer_->stop();
    picture_.begin(tileSize_);
    image_->update();
    fill_->start(cells_, picture_.mapSize(), tileSize_);
}

void PreviewWindow::drawLoaded(const std::vector<LoadedTile>& batch)
{
    picture_.addLoaded(batch);
    image_->update();
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched != image_
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
        return QWidget::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        // The picture is a handle for the window, as its caption would be.
        if (!(windowHandle() && windowHandle()->startSystemMove()))
            dragFrom_ = mouse->globalPosition().toPoint() - pos();
        return true;
    }
    if (type == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton) && !dragFrom_.isNull()) {
        move(mouse->globalPosition().toPoint() - dragFrom_);
        return true;
    }
    if (type == QEvent::MouseButtonRelease)
        dragFrom_ = QPoint();
    return QWidget::eventFilter(watched, event);
}

}  // namespace tessera
