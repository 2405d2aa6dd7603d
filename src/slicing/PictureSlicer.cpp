#include "slicing/PictureSlicer.h"

#include "batch/BatchSupport.h"
#include "files/Files.h"
#include "files/HelperThreads.h"
#include "files/OutputFile.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "slicing/PictureRows.h"
#include "slicing/ReferenceScaler.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace tessera {
namespace {

// Rows decoded at a time before they go into the reference: still in the cache.
constexpr int kRowsPerRead = 16;

// JPEG bytes of packed RGB rows `pitch` bytes apart, read in place; empty on failure.
QByteArray encodeRgb(const unsigned char* pixels, int width, int pitch, int height, int quality)
{
    return encodeJpeg(QImage(pixels, width, height, pitch, QImage::Format_RGB888), quality);
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
    bool decodeBand(int band, std::vector<unsigned char>& buffer);
    void cutSlice(int band, int column, const std::vector<unsigned char>& buffer);
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
    rows_ = openPictureRows(picture, result_.failure);
    if (!rows_)
        return std::move(result_);
    result_.picture = rows_->size();
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
    const std::size_t bandBytes = std::size_t(result_.picture.width()) * 3 * std::size_t(cell.height());
    std::vector<unsigned char> bands[2] = {std::vector<unsigned char>(bandBytes), {}};
    HelperThreads helpers(1);
    bool decoded = decodeBand(0, bands[0]);
    for (int band = 0; decoded && band < result_.rows; ++band) {
        std::vector<unsigned char>& current = bands[band % 2];
        std::vector<unsigned char>& next = bands[(band + 1) % 2];
        QFuture<bool> decoding;
        if (band + 1 < result_.rows) {
            next.resize(bandBytes);
            decoding = helpers.start([this, band, &next] { return decodeBand(band + 1, next); });
        }
        written_.assign(std::size_t(result_.columns), 0);
        helpers.forEach(result_.columns, progress_, [&](int column) { cutSlice(band, column, current); });
        if (band + 1 < result_.rows) {
            decoding.waitForFinished();
            decoded = decoding.result();
        }
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
        result_.failure = Failure(FailureKind::SliceUnwritable, {folder_}, QStringLiteral("无法创建文件夹"), {0});
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

bool Slicer::decodeBand(int band, std::vector<unsigned char>& buffer)
{
    const int height = bandHeight(result_, settings_.cell, band);
    const std::size_t stride = std::size_t(result_.picture.width()) * 3;
    for (int row = 0; row < height; row += kRowsPerRead) {
        if (failed_ || progress_.cancelled())
            return true;  // the cut stops anyway; the rows are not needed
        const int count = std::min(kRowsPerRead, height - row);
        unsigned char* rows = buffer.data() + std::size_t(row) * stride;
        if (!rows_->read(rows, count))
            return false;
        reference_->addRows(rows, count);
    }
    return true;
}

void Slicer::cutSlice(int band, int column, const std::vector<unsigned char>& buffer)
{
    if (failed_)
        return;
    const QSize cell = settings_.cell;
    const int stride = result_.picture.width() * 3;
    const int width = std::min(cell.width(), result_.picture.width() - column * cell.width());
    const int height = bandHeight(result_, cell, band);
    const unsigned char* pixels = buffer.data() + std::size_t(column) * cell.width() * 3;
    QByteArray jpeg;
    if (settings_.pad && (width < cell.width() || height < cell.height())) {
        const QColor colour = *settings_.pad;
        const unsigned char fill[3] = {static_cast<unsigned char>(colour.red()), static_cast<unsigned char>(colour.green()),
                                       static_cast<unsigned char>(colour.blue())};
        std::vector<unsigned char> padded(std::size_t(cell.width()) * cell.height() * 3);
        for (std::size_t i = 0; i < padded.size(); ++i)
            padded[i] = fill[i % 3];
        for (int y = 0; y < height; ++y)
            std::copy_n(pixels + std::size_t(y) * stride, std::size_t(width) * 3,
                        padded.begin() + std::ptrdiff_t(y) * cell.width() * 3);
        jpeg = encodeRgb(padded.data(), cell.width(), cell.width() * 3, cell.height(), settings_.quality);
    } else {
        jpeg = encodeRgb(pixels, width, stride, height, settings_.quality);
    }
    const QString path = slicePath(band, column);
    if (jpeg.isEmpty()) {
        fail(Failure(FailureKind::SliceUnwritable, {path}, QStringLiteral("无法编码 JPEG 图片")));
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
    const FileResult saved = jpeg.isEmpty() ? FileResult::failure(QStringLiteral("无法编码 JPEG 图片"))
                                            : files_.writeNewFile(path, jpeg);
    if (!saved) {
        result_.failure = Failure(FailureKind::SliceUnwritable, {path}, saved.error, {result_.written.size()});
        return false;
    }
    result_.reference = path;
    result_.referenceSize = image.size();
    return true;
}

}  // namespace

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

}  // namespace tessera
