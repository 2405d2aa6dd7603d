#include "canvas/CanvasPicture.h"

#include "canvas/CanvasGeometry.h"

#include <QPainter>

#include <array>

namespace tessera {
namespace {

const QRect kCellArea(0, 0, kCellWidth, kCellHeight);
const QRect kMarkerArea(3, 3, kCellWidth - 6, kCellHeight - 6);

// Dotted lines set every other pixel, starting with the first; cells start at even coordinates,
// so the same pattern holds in cell coordinates.
void dottedRow(QImage& image, int y, int from, int to, QRgb color)
{
    for (int x = from; x < to; x += 2)
        image.setPixel(x, y, color);
}

void dottedColumn(QImage& image, int x, int from, int to, QRgb color)
{
    for (int y = from; y < to; y += 2)
        image.setPixel(x, y, color);
}

// The background of a cell with the grid shown: bit 0 a top line, bit 1 a left line.
const QImage& gridCell(int variant)
{
    static const std::array<QImage, 4> cells = [] {
        std::array<QImage, 4> images;
        for (int v = 0; v < 4; ++v) {
            QImage image(kCellWidth, kCellHeight, QImage::Format_RGB32);
            image.fill(kCanvasBackground);
            if (v & 2)
                dottedColumn(image, 0, 0, kCellHeight, kCanvasPen.rgb());
            if (v & 1)
                dottedRow(image, 0, 0, kCellWidth, kCanvasPen.rgb());
            images[static_cast<std::size_t>(v)] = image;
        }
        return images;
    }();
    return cells[static_cast<std::size_t>(variant)];
}

const QImage& dottedEdges()
{
    static const QImage image = [] {
        QImage edges(kCellWidth, kCellHeight, QImage::Format_ARGB32_Premultiplied);
        edges.fill(Qt::transparent);
        dottedRow(edges, 0, 0, kCellWidth, kCanvasPen.rgb());
        dottedColumn(edges, 0, 0, kCellHeight, kCanvasPen.rgb());
        return edges;
    }();
    return image;
}

const QImage& marker()
{
    static const QImage image = [] {
        QImage m(kCellWidth, kCellHeight, QImage::Format_ARGB32_Premultiplied);
        m.fill(Qt::transparent);
        const QRect r = kMarkerArea;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                m.setPixel(x, y, kCanvasFill.rgb());
        for (int x = r.left(); x <= r.right(); ++x) {
            if ((x + r.top()) % 2 == 0)
                m.setPixel(x, r.top(), kMarkerPen.rgb());
            if ((x + r.bottom()) % 2 == 0)
                m.setPixel(x, r.bottom(), kMarkerPen.rgb());
        }
        for (int y = r.top(); y <= r.bottom(); ++y) {
            if ((r.left() + y) % 2 == 0)
                m.setPixel(r.left(), y, kMarkerPen.rgb());
            if ((r.right() + y) % 2 == 0)
                m.setPixel(r.right(), y, kMarkerPen.rgb());
        }
        return m;
    }();
    return image;
}

}  // namespace

void CanvasPicture::reset(int mapSize)
{
    size_ = std::max(0, mapSize);
    std::vector<Steps>().swap(cells_);
    cells_.resize(static_cast<std::size_t>(size_) * static_cast<std::size_t>(size_));
    clear();
}

void CanvasPicture::clear()
{
    grid_ = false;
    for (Steps& steps : cells_)
        steps.clear();
    tiles_.clear();
    tileIndex_.clear();
    pinnedBytes_ = 0;
}

void CanvasPicture::drawGrid()
{
    // Grid lines lie on the inner cell boundaries, under whatever was drawn before; a grid is only
    // ever drawn right after a clear.
    grid_ = true;
}

CanvasPicture::Steps* CanvasPicture::stepsOf(int row, int column)
{
    if (row < 1 || column < 1 || row > size_ || column > size_)
        return nullptr;
    return &cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(size_)
                   + static_cast<std::size_t>(column - 1)];
}

void CanvasPicture::add(int row, int column, Step step)
{
    Steps* steps = stepsOf(row, column);
    if (!steps)
        return;
    // An opaque step hides every earlier step that lies wholly inside it.
    if (step.kind == Kind::Erase || step.kind == Kind::Tile) {
        const QRect covered(0, 0, step.width, step.height);
        Steps kept;
        for (const Step& earlier : *steps) {
            const QRect area = earlier.kind == Kind::Marker ? kMarkerArea
                : earlier.kind == Kind::Edges              ? kCellArea
                                                           : QRect(0, 0, earlier.width, earlier.height);
            if (!covered.contains(area))
                kept.append(earlier);
        }
        *steps = kept;
    }
    steps->append(step);
}

bool CanvasPicture::hasTile(int row, int column) const
{
    if (row < 1 || column < 1 || row > size_ || column > size_)
        return false;
    const Steps& steps = cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(size_)
                                + static_cast<std::size_t>(column - 1)];
    return std::any_of(steps.begin(), steps.end(), [](const Step& step) { return step.kind == Kind::Tile; });
}

const CanvasPicture::TileEntry* CanvasPicture::newestEntry(int row, int column) const
{
    if (row < 1 || column < 1 || row > size_ || column > size_)
        return nullptr;
    const Steps& steps = cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(size_)
                                + static_cast<std::size_t>(column - 1)];
    if (steps.isEmpty() || steps.back().kind != Kind::Tile)
        return nullptr;
    return &tiles_[steps.back().tile];
}

QString CanvasPicture::newestTile(int row, int column) const
{
    const TileEntry* entry = newestEntry(row, column);
    return entry ? entry->key.path : QString();
}

QImage CanvasPicture::newestTileImage(int row, int column, TileImageCache& cache) const
{
    const TileEntry* entry = newestEntry(row, column);
    if (!entry)
        return {};
    return entry->pinned.isNull() ? cache.cached(entry->key) : entry->pinned;
}

std::uint32_t CanvasPicture::addTileImage(const TileKey& key, const QImage& image)
{
    if (const auto it = tileIndex_.constFind(key); it != tileIndex_.constEnd())
        return *it;
    TileEntry entry{key, {}};
    if (pinnedBytes_ + image.sizeInBytes() <= kPinBudgetBytes) {
        entry.pinned = image;
        pinnedBytes_ += image.sizeInBytes();
    }
    tiles_.push_back(std::move(entry));
    const auto index = static_cast<std::uint32_t>(tiles_.size() - 1);
    tileIndex_.insert(key, index);
    return index;
}

void CanvasPicture::drawTile(int row, int column, const TileKey& key, const QImage& image)
{
    if (!image.isNull() && stepsOf(row, column))
        drawTile(row, column, addTileImage(key, image));
}

void CanvasPicture::drawTile(int row, int column, std::uint32_t tile)
{
    if (tile >= tiles_.size())
        return;
    const QSize drawn = tiles_[tile].key.size.boundedTo(QSize(kCellWidth, kCellHeight));
    add(row, column,
        {Kind::Tile, static_cast<std::uint8_t>(drawn.width()), static_cast<std::uint8_t>(drawn.height()), 0, tile});
}

void CanvasPicture::erase(int row, int column, QSize size)
{
    const QSize bounded = size.boundedTo(QSize(kCellWidth, kCellHeight)).expandedTo(QSize(0, 0));
    add(row, column,
        {Kind::Erase, static_cast<std::uint8_t>(bounded.width()), static_cast<std::uint8_t>(bounded.height()), 0, 0});
}

void CanvasPicture::drawEdges(int row, int column, EdgePen pen)
{
    add(row, column, {Kind::Edges, kCellWidth, kCellHeight, static_cast<std::uint8_t>(pen == EdgePen::Solid), 0});
}

void CanvasPicture::drawMarker(int row, int column)
{
    add(row, column, {Kind::Marker, kCellWidth, kCellHeight, 0, 0});
}

void CanvasPicture::paint(QPainter& painter, const QRect& area, TileImageCache& cache) const
{
    const CellRange range = cellsMeeting(area, size_);
    if (range.isEmpty())
        return;
    painter.save();
    painter.setClipRect(area);
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        for (int c = range.firstColumn; c <= range.lastColumn; ++c) {
            const QPoint origin = cellRect(r, c).topLeft();
            const Steps& steps = cells_[static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(size_)
                                        + static_cast<std::size_t>(c - 1)];
            const bool baseHidden = !steps.isEmpty() && (steps.front().kind == Kind::Erase || steps.front().kind == Kind::Tile)
                && steps.front().width == kCellWidth && steps.front().height == kCellHeight;
            if (!baseHidden) {
                if (grid_)
                    painter.drawImage(origin, gridCell((r > 1 ? 1 : 0) | (c > 1 ? 2 : 0)));
                else
                    painter.fillRect(QRect(origin, QSize(kCellWidth, kCellHeight)), kCanvasBackground);
            }
            for (const Step& step : steps) {
                switch (step.kind) {
                case Kind::Erase:
                    painter.fillRect(QRect(origin, QSize(step.width, step.height)), kCanvasBackground);
                    break;
                case Kind::Edges:
                    if (step.style) {
                        // The solid pen is 5 pixels wide: the 3 inner pixels of each edge line.
                        painter.fillRect(QRect(origin, QSize(kCellWidth, 3)), kCanvasPen);
                        painter.fillRect(QRect(origin, QSize(3, kCellHeight)), kCanvasPen);
                    } else {
                        painter.drawImage(origin, dottedEdges());
                    }
                    break;
                case Kind::Tile: {
                    const TileEntry& entry = tiles_[step.tile];
                    const QImage image = entry.pinned.isNull() ? cache.image(entry.key) : entry.pinned;
                    const QRect drawn(origin, QSize(step.width, step.height));
                    // A tile hides what was drawn before it: a transparent one shows the background.
                    if (image.hasAlphaChannel())
                        painter.fillRect(drawn, kCanvasBackground);
                    if (!image.isNull())
                        painter.drawImage(drawn, image);
                    break;
                }
                case Kind::Marker:
                    painter.drawImage(origin, marker());
                    break;
                }
            }
        }
    }
    painter.restore();
}

void RulerPicture::reset(int mapSize)
{
    size_ = std::max(0, mapSize);
    clear();
}

void RulerPicture::clear()
{
    numbers_ = false;
    ticks_ = false;
}

void RulerPicture::paint(QPainter& painter, const QRect& area) const
{
    painter.fillRect(area, kRulerBackground);
    const QRect board(QPoint(0, 0), rulerBoardSize(size_));
    const QRect visible = area.intersected(board);
    if (visible.isEmpty())
        return;
    if (ticks_)
        paintTicks(painter, visible);
    if (numbers_) {
        painter.save();
        painter.setClipRect(visible);
        painter.setPen(kRulerInk);
        paintNumbers(painter, visible);
        painter.restore();
    }
}

void RulerPicture::paintTicks(QPainter& painter, const QRect& visible) const
{
    // Column i's left edge lies at x = 40i - 20, row i's top edge at y = 30i - 10.
    const int count = size_ + 3;
    QList<QPoint> dots;
    const int firstX = std::max(1, (visible.left() + kRulerMargin + kCellWidth - 1) / kCellWidth);
    const int lastX = std::min(count, (visible.right() + kRulerMargin) / kCellWidth);
    for (int i = firstX; i <= lastX; ++i) {
        for (int y = visible.top() + (visible.top() & 1); y <= visible.bottom(); y += 2)
            dots.append(QPoint(i * kCellWidth - kRulerMargin, y));
    }
    const int firstY = std::max(1, (visible.top() + 10 + kCellHeight - 1) / kCellHeight);
    const int lastY = std::min(count, (visible.bottom() + 10) / kCellHeight);
    for (int i = firstY; i <= lastY; ++i) {
        for (int x = visible.left() + (visible.left() & 1); x <= visible.right(); x += 2)
            dots.append(QPoint(x, i * kCellHeight - 10));
    }
    painter.setPen(QPen(kRulerInk, 1));
    painter.drawPoints(dots.constData(), static_cast<int>(dots.size()));
}

void RulerPicture::paintNumbers(QPainter& painter, const QRect& visible) const
{
    const int count = size_ + 3;
    const QFontMetrics metrics = painter.fontMetrics();
    const int reach = metrics.horizontalAdvance(QString::number(count)) + 1;
    auto write = [&](QPoint at, int i) {
        const QString text = QString::number(i);
        const QRect box(at, metrics.size(0, text));
        if (box.intersects(visible))
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
    };
    // Column numbers along the top, at (40i, 4); row numbers down the left, at (5, 30i).
    if (visible.top() <= 4 + metrics.height()) {
        for (int i = std::max(1, (visible.left() - reach) / kCellWidth); i <= std::min(count, visible.right() / kCellWidth); ++i)
            write(QPoint(i * kCellWidth, 4), i);
    }
    if (visible.left() > 5 + reach)
        return;
    // A row number wider than the margin left of the canvas is drawn narrower to fit it.
    const int room = kRulerMargin - 6;
    for (int i = std::max(1, (visible.top() - metrics.height()) / kCellHeight); i <= std::min(count, visible.bottom() / kCellHeight); ++i) {
        const QString text = QString::number(i);
        const int width = metrics.horizontalAdvance(text);
        if (width <= room) {
            write(QPoint(5, i * kCellHeight), i);
            continue;
        }
        const int left = std::max(1, kRulerMargin - 1 - width);
        painter.save();
        painter.translate(left, i * kCellHeight);
        painter.scale(double(kRulerMargin - 1 - left) / width, 1.0);
        painter.drawText(QRect(QPoint(0, 0), metrics.size(0, text)), Qt::AlignLeft | Qt::AlignTop, text);
        painter.restore();
    }
}

}  // namespace tessera
