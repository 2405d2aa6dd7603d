#include "slicing/PictureSlicer.h"

#include "batch/BatchSupport.h"
#include "files/Files.h"
#include "work/HelperThreads.h"
#include "files/OutputFile.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "slicing/PictureRows.h"
#include "slicing/ReferenceScaler.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace tessera {
namespace {

// Rows decoded at a time before they go into the reference: still in the cache.
constexpr int kRowsPerRead = 16;

// One band of cell rows: RGB rows, or a planar picture's Y rows and its Cb and Cr rows.
struct Band {
    std::vector<unsigned char> rows, cb, cr;
};

// Makes `v` hold `needed` bytes, growing towards `full` as rows arrive: a header that claims a
// huge picture costs memory only for the rows the file really holds.
void growTo(std::vector<unsigned char>& v, std::size_t needed, std::size_t full)
{
    if (v.size() >= needed)
        return;
    if (v.capacity() < needed)
        v.reserve(std::min(full, std::max(needed, 2 * v.capacity())));
    v.resize(needed);
}

class Slicer {
public:
    Slicer(Files& files, const QString& folder, const SliceSettings& settings, Progress& progress)
        : files_(files), folder_(folder), settings_(settings), progress_(progress)
    {
    }

    SliceResult run(const QString& picture);

private:
    QString slicePath(int row, int column) const { return joinFolder(folder_, cellFileName(row + 1, column + 1)); }
    bool prepareFolder();
    // Where the planes of rows `from` (even) onwards lie in a planar band.
    PictureRows::Planes planesAt(Band& band, int from) const;
    QByteArray encodeSlice(Band& band, int column, QSize shown) const;
    bool decodeBand(int band, Band& buffer);
    void cutSlice(int band, int column, Band& buffer);
    void fail(Failure failure);
    bool writeReference();

    Files& files_;
    QString folder_;
    const SliceSettings& settings_;
    Progress& progress_;
    SliceResult result_;
    std::unique_ptr<PictureRows> rows_;
    std::unique_ptr<ReferenceScaler> reference_;
    std::vector<char> written_;  // per column of the band being cut
    std::mutex failureLock_;
    std::atomic<bool> failed_{false};
    Failure failure_;
};

int bandHeight(const SliceResult& result, QSize cell, int band)
{
    return std::min(cell.height(), result.picture.height() - band * cell.height());
}

SliceResult Slicer::run(const QString& picture)
{
    const QSize cell = settings_.cell;
    if (std::min(cell.width(), cell.height()) < kMinSliceSide || std::max(cell.width(), cell.height()) > kMaxSliceSide) {
        result_.failure = Failure(FailureKind::SliceCellOutOfRange, {}, {}, {kMinSliceSide, kMaxSliceSide});
        return std::move(result_);
    }
    // Even cells cut a 4:2:0 JPEG's own planes: no colour conversion either way.
    rows_ = openPictureRows(picture, result_.failure, cell.width() % 2 == 0 && cell.height() % 2 == 0);
    if (!rows_)
        return std::move(result_);
    result_.picture = rows_->size();
    result_.turned = rows_->turned();
    result_.rows = (result_.picture.height() + cell.height() - 1) / cell.height();
    result_.columns = (result_.picture.width() + cell.width() - 1) / cell.width();
    if (std::max(result_.rows, result_.columns) > kMaxMapSize) {
        result_.failure = Failure(FailureKind::SliceGridTooLarge, {}, {}, {result_.rows, result_.columns, kMaxMapSize});
        return std::move(result_);
    }
    if (!prepareFolder())
        return std::move(result_);
    reference_ = std::make_unique<ReferenceScaler>(result_.picture, QSize(kReferenceSide, kReferenceSide));
    progress_.start(qint64(result_.rows) * result_.columns + 1);

    // One band decodes on a helper while the one before is cut on every core.
    Band bands[2];
    // The decode is the one serial step: it keeps this thread and a core of its own, and the
    // encoders take the other cores (one at least).
    HelperThreads encoders(-1);
    bool decoded = decodeBand(0, bands[0]);
    for (int band = 0; decoded && band < result_.rows; ++band) {
        // A decode stopped by a cancel or a failure left its band unfinished: it is not cut.
        if (failed_ || progress_.cancelled())
            break;
        Band& current = bands[band % 2];
        Band& next = bands[(band + 1) % 2];
        written_.assign(std::size_t(result_.columns), 0);
        QFuture<void> cutting = encoders.start([&, band] {
            encoders.forEach(result_.columns, progress_, [&](int column) { cutSlice(band, column, current); });
        });
        if (band + 1 < result_.rows)
            decoded = decodeBand(band + 1, next);
        cutting.waitForFinished();
        for (int column = 0; column < result_.columns; ++column)
            if (written_[std::size_t(column)])
                result_.written.append(slicePath(band, column));
        if (failed_ || progress_.cancelled())
            break;
    }
    const qint64 count = result_.written.size();
    if (failed_) {
        failure_.figures.append(count);
        result_.failure = failure_;
    } else if (progress_.cancelled()) {
        result_.failure = Failure(FailureKind::Cancelled, {}, {}, {count});
    } else if (!decoded) {
        result_.failure = Failure(FailureKind::PictureCut, {picture}, {}, {rows_->rowsRead(), result_.picture.height(), count});
    } else if (writeReference()) {
        progress_.advance(1);
    }
    return std::move(result_);
}

// Makes the folder, removes partial slices that a killed run left, and stops when a name is taken.
bool Slicer::prepareFolder()
{
    if (!QDir().mkpath(folder_) || !QFileInfo(folder_).isDir()) {
        result_.failure = Failure::because(FailureKind::SliceUnwritable, {folder_}, FailureCause::FolderNotMade, 0, {0});
        return false;
    }
    static const QRegularExpression cellName(QStringLiteral("^\\d+-\\d+\\.jpg$"));
    const QString referenceName = QFileInfo(settings_.reference.isEmpty() ? kReferenceFileName : settings_.reference).fileName();
    for (const QString& name : files_.fileNames(folder_)) {
        const QString target = partialTargetName(name);
        if (!target.isEmpty() && (cellName.match(target).hasMatch() || target == referenceName))
            removeAbandonedPartial(joinFolder(folder_, name));
    }
    QStringList wanted;
    for (int r = 0; r < result_.rows; ++r)
        for (int c = 0; c < result_.columns; ++c)
            wanted.append(slicePath(r, c));
    wanted.append(settings_.reference.isEmpty() ? joinFolder(folder_, kReferenceFileName) : settings_.reference);
    for (const QString& path : wanted) {
        if (files_.fileStatus(path).present) {
            result_.failure = Failure(FailureKind::SliceExists, {path});
            return false;
        }
    }
    return true;
}

PictureRows::Planes Slicer::planesAt(Band& band, int from) const
{
    const std::size_t width = std::size_t(result_.picture.width()), chroma = (width + 1) / 2;
    return {band.rows.data() + width * std::size_t(from), band.cb.data() + chroma * std::size_t(from / 2),
            band.cr.data() + chroma * std::size_t(from / 2)};
}

bool Slicer::decodeBand(int band, Band& buffer)
{
    const int height = bandHeight(result_, settings_.cell, band);
    const std::size_t width = std::size_t(result_.picture.width()), chroma = (width + 1) / 2;
    const std::size_t stride = width * 3;
    for (int row = 0; row < height; row += kRowsPerRead) {
        if (failed_ || progress_.cancelled())
            return true;  // the cut stops anyway; the rows are not needed
        const int count = std::min(kRowsPerRead, height - row);
        const auto end = std::size_t(row + count), last = std::size_t(height);
        if (rows_->planar()) {
            // The encoder reads an odd edge slice's planes to even sides: a row and a sample more.
            const auto plane = [](std::size_t side, std::size_t rows) { return side * (rows + 1) + 2; };
            growTo(buffer.rows, plane(width, end), plane(width, last));
            growTo(buffer.cb, plane(chroma, (end + 1) / 2), plane(chroma, (last + 1) / 2));
            growTo(buffer.cr, plane(chroma, (end + 1) / 2), plane(chroma, (last + 1) / 2));
            const PictureRows::Planes at = planesAt(buffer, row);
            if (!rows_->readPlanes(at, count))
                return false;
            reference_->addPlanes(at.y, at.cb, at.cr, count);
            continue;
        }
        growTo(buffer.rows, stride * end, stride * last);
        unsigned char* rows = buffer.rows.data() + std::size_t(row) * stride;
        if (!rows_->read(rows, count))
            return false;
        reference_->addRows(rows, count);
    }
    return true;
}

// A slice's JPEG from the band: its pixels in place, or copied into a whole cell of the pad colour.
QByteArray Slicer::encodeSlice(Band& band, int column, QSize shown) const
{
    const QSize cell = settings_.cell;
    const int x = column * cell.width();
    const bool pad = settings_.pad && shown != cell;
    const QColor colour = settings_.pad.value_or(QColor());
    if (!rows_->planar()) {
        const int stride = result_.picture.width() * 3;
        const unsigned char* pixels = band.rows.data() + std::size_t(x) * 3;
        if (!pad)
            return encodeJpeg(QImage(pixels, shown.width(), shown.height(), stride, QImage::Format_RGB888),
                              settings_.quality);
        QImage padded(cell, QImage::Format_RGB888);
        padded.fill(colour);
        for (int y = 0; y < shown.height(); ++y)
            std::copy_n(pixels + std::size_t(y) * stride, std::size_t(shown.width()) * 3, padded.scanLine(y));
        return encodeJpeg(padded, settings_.quality);
    }
    const PictureRows::Planes at = planesAt(band, 0);
    const int chroma = rows_->chromaWidth();
    const unsigned char* planes[3] = {at.y + x, at.cb + x / 2, at.cr + x / 2};
    const int strides[3] = {result_.picture.width(), chroma, chroma};
    if (!pad)
        return encodeJpegPlanes(planes, strides, shown, settings_.quality);
    // JFIF's RGB to YCbCr for the pad colour.
    const double r = colour.red(), g = colour.green(), b = colour.blue();
    const unsigned char fill[3] = {
        static_cast<unsigned char>(std::clamp(std::lround(0.299 * r + 0.587 * g + 0.114 * b), 0L, 255L)),
        static_cast<unsigned char>(std::clamp(std::lround(-0.168736 * r - 0.331264 * g + 0.5 * b + 128), 0L, 255L)),
        static_cast<unsigned char>(std::clamp(std::lround(0.5 * r - 0.418688 * g - 0.081312 * b + 128), 0L, 255L))};
    // Integer halves: QSize's division rounds half up, which would make a 4-sample row 5 long.
    const QSize half(cell.width() / 2, cell.height() / 2);
    const QSize shownHalf((shown.width() + 1) / 2, (shown.height() + 1) / 2);
    const QSize sizes[3] = {cell, half, half};
    const QSize copied[3] = {shown, shownHalf, shownHalf};
    std::vector<unsigned char> padded[3];
    const unsigned char* paddedPlanes[3];
    int paddedStrides[3];
    for (int p = 0; p < 3; ++p) {
        padded[p].assign(std::size_t(sizes[p].width()) * sizes[p].height(), fill[p]);
        for (int y = 0; y < copied[p].height(); ++y)
            std::copy_n(planes[p] + std::size_t(y) * strides[p], copied[p].width(),
                        padded[p].begin() + std::ptrdiff_t(y) * sizes[p].width());
        // A chroma sample at an odd edge covers picture and padding: half of each, as an encoder
        // subsampling the padded cell would take it.
        const auto blend = [&](int x, int y) {
            unsigned char& v = padded[p][std::size_t(y) * sizes[p].width() + x];
            v = static_cast<unsigned char>((v + fill[p] + 1) / 2);
        };
        if (p > 0 && shown.height() % 2 && shown.height() < cell.height())
            for (int x = 0; x < copied[p].width(); ++x)
                blend(x, copied[p].height() - 1);
        if (p > 0 && shown.width() % 2 && shown.width() < cell.width())
            for (int y = 0; y < copied[p].height(); ++y)
                blend(copied[p].width() - 1, y);
        paddedPlanes[p] = padded[p].data();
        paddedStrides[p] = sizes[p].width();
    }
    return encodeJpegPlanes(paddedPlanes, paddedStrides, cell, settings_.quality);
}

void Slicer::cutSlice(int band, int column, Band& buffer)
{
    if (failed_)
        return;
    const QSize cell = settings_.cell;
    const QSize shown(std::min(cell.width(), result_.picture.width() - column * cell.width()),
                      bandHeight(result_, cell, band));
    const QByteArray jpeg = encodeSlice(buffer, column, shown);
    const QString path = slicePath(band, column);
    if (jpeg.isEmpty()) {
        fail(Failure::because(FailureKind::SliceUnwritable, {path}, FailureCause::JpegNotEncoded));
        return;
    }
    const FileResult saved = files_.writeNewFile(path, jpeg);
    if (!saved) {
        fail(Failure(FailureKind::SliceUnwritable, {path}, saved.error));
        return;
    }
    written_[std::size_t(column)] = 1;
}

// The first failure stands; the slices being written meanwhile finish.
void Slicer::fail(Failure failure)
{
    const std::lock_guard lock(failureLock_);
    if (!failed_) {
        failure_ = std::move(failure);
        failed_ = true;
    }
}

bool Slicer::writeReference()
{
    const QImage& image = reference_->image();
    const QString path = settings_.reference.isEmpty() ? joinFolder(folder_, kReferenceFileName) : settings_.reference;
    const QByteArray jpeg = encodeJpeg(image, settings_.quality);
    if (jpeg.isEmpty()) {
        result_.failure = Failure::because(FailureKind::SliceUnwritable, {path}, FailureCause::JpegNotEncoded, 0,
                                           {result_.written.size()});
        return false;
    }
    const FileResult saved = files_.writeNewFile(path, jpeg);
    if (!saved) {
        result_.failure = Failure(FailureKind::SliceUnwritable, {path}, saved.error, {result_.written.size()});
        return false;
    }
    result_.reference = path;
    result_.referenceSize = image.size();
    return true;
}

}  // namespace

QString SliceResult::turnedNote() const
{
    return turned ? QStringLiteral("图片按其 EXIF 方向转正后切分，与看图软件显示的一样。") : QString();
}

CellTexts SliceResult::cells(int mapSize) const
{
    CellTexts texts(static_cast<std::size_t>(mapSize) * mapSize);
    const qsizetype count = std::min<qsizetype>(written.size(), qsizetype(rows) * columns);
    for (qsizetype i = 0; i < count; ++i) {
        const int row = static_cast<int>(i / columns), column = static_cast<int>(i % columns);
        if (row < mapSize && column < mapSize)
            texts[std::size_t(row) * mapSize + column] = written[i];
    }
    return texts;
}

SliceResult slicePicture(Files& files, const QString& picture, const QString& folder, const SliceSettings& settings,
                         Progress& progress)
{
    Slicer slicer(files, QFileInfo(folder).absoluteFilePath(), settings, progress);
    SliceResult result = slicer.run(picture);
    result.failure.work = FailedWork::Slice;
    return result;
}

QString takenSliceName(const QStringList& names, int rows, int columns, const QString& referenceName)
{
    const int n = std::max(rows, columns);
    for (const QString& name : names) {
        const int cell = cellOfFileName(name, n);
        if (name == referenceName || (cell >= 0 && cell / n < rows && cell % n < columns))
            return name;
    }
    return {};
}

}  // namespace tessera
