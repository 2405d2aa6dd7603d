#include "slicing/PictureRows.h"

#include "imaging/ImageCodec.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

#include <jpeglib.h>
#include <jerror.h>

namespace tessera {
namespace {

// libjpeg's errors and its end-of-data warning leave through a longjmp back into the caller.
struct JpegError {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    bool cut = false;  // the data ended before the picture did
};

[[noreturn]] void leave(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// libjpeg warns of data that ends early or is damaged, and goes on with grey or garbage; here
// such a warning ends the read at the row reached.
void warn(j_common_ptr info, int level)
{
    if (level < 0) {
        reinterpret_cast<JpegError*>(info->err)->cut = true;
        leave(info);
    }
}

// libjpeg's reason.
FailureCause jpegCause(int code)
{
    switch (code) {
    case JERR_NO_SOI:
        return FailureCause::NotJpeg;
    case JERR_BAD_PRECISION:
    case JERR_SOF_UNSUPPORTED:
    case JERR_CONVERSION_NOTIMPL:
        return FailureCause::UnsupportedJpeg;
    case JERR_IMAGE_TOO_BIG:
        return FailureCause::JpegTooBig;
    default:
        return FailureCause::BadJpegData;
    }
}

class JpegRows final : public PictureRows {
public:
    ~JpegRows() override
    {
        jpeg_destroy_decompress(&info_);
        if (file_)
            std::fclose(file_);
    }

    // Everything past the header; false with `failure` set.
    bool open(const QString& path, Failure& failure, bool planarIfAble)
    {
        info_.err = jpeg_std_error(&error_.manager);
        error_.manager.error_exit = leave;
        error_.manager.emit_message = warn;
        jpeg_create_decompress(&info_);
        file_ = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!file_) {
            failure = Failure::because(FailureKind::PictureUnreadable, {path}, FailureCause::ReadError, errno);
            return false;
        }
        if (setjmp(error_.jump)) {
            if (error_.cut && info_.image_height > 0)
                failure = Failure(FailureKind::PictureCut, {path}, {}, {0, info_.image_height, 0});
            else
                failure = Failure::because(FailureKind::PictureUnreadable, {path}, jpegCause(error_.manager.msg_code));
            return false;
        }
        jpeg_stdio_src(&info_, file_);
        jpeg_read_header(&info_, TRUE);
        // A progressive picture is decoded whole in libjpeg: its coefficients of every pixel at once.
        if (jpeg_has_multiple_scans(&info_)
            && qint64(info_.image_width) * info_.image_height > kMaxWholePicturePixels) {
            failure = Failure(FailureKind::PictureTooLarge, {path}, {},
                              {info_.image_width, info_.image_height, kMaxWholePicturePixels});
            return false;
        }
        planar_ = planarIfAble && isYcc420(info_);
        // libjpeg gives CMYK as inks only: they are turned into RGB here.
        cmyk_ = info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK;
        inverted_ = info_.saw_Adobe_marker;
        if (planar_)
            info_.raw_data_out = TRUE;
        else
            info_.out_color_space = cmyk_ ? JCS_CMYK : JCS_RGB;
        jpeg_start_decompress(&info_);
        size_ = QSize(static_cast<int>(info_.output_width), static_cast<int>(info_.output_height));
        if (planar_) {
            // One row of MCUs: 16 rows of Y, 8 of Cb and Cr, each as wide as its blocks.
            for (int c = 0; c < 3; ++c) {
                const int rows = info_.comp_info[c].v_samp_factor * DCTSIZE;
                const std::size_t width = std::size_t(info_.comp_info[c].width_in_blocks) * DCTSIZE;
                mcuPlanes_[c].assign(width * std::size_t(rows), 0);
                mcuRows_[c].resize(std::size_t(rows));
                for (int r = 0; r < rows; ++r)
                    mcuRows_[c][std::size_t(r)] = mcuPlanes_[c].data() + std::size_t(r) * width;
            }
        }
        return true;
    }

    bool readPlanes(Planes to, int count) override
    {
        if (failed_ || !planar_)
            return false;
        if (setjmp(error_.jump)) {
            failed_ = true;
            return false;
        }
        const std::size_t width = std::size_t(size_.width()), chroma = std::size_t(chromaWidth());
        for (int done = 0; done < count;) {
            if (buffered_ == 0) {
                JSAMPARRAY planes[3] = {mcuRows_[0].data(), mcuRows_[1].data(), mcuRows_[2].data()};
                const int mcuRows = info_.max_v_samp_factor * DCTSIZE;
                const int got = static_cast<int>(jpeg_read_raw_data(&info_, planes, static_cast<JDIMENSION>(mcuRows)));
                if (got == 0) {
                    failed_ = true;
                    return false;
                }
                buffered_ = std::min(got, size_.height() - rowsRead_ - done);
                offset_ = 0;
            }
            const int take = std::min(count - done, buffered_);
            for (int r = 0; r < take; ++r)
                std::memcpy(to.y + std::size_t(done + r) * width, mcuRows_[0][std::size_t(offset_ + r)], width);
            // The chroma rows of those Y rows; `done` and `offset_` are even but at the picture's end.
            for (int r = offset_ / 2; r < (offset_ + take + 1) / 2; ++r) {
                const std::size_t at = std::size_t(done / 2 + r - offset_ / 2) * chroma;
                std::memcpy(to.cb + at, mcuRows_[1][std::size_t(r)], chroma);
                std::memcpy(to.cr + at, mcuRows_[2][std::size_t(r)], chroma);
            }
            offset_ += take;
            buffered_ -= take;
            done += take;
        }
        rowsRead_ += count;
        return true;
    }

    bool read(unsigned char* rows, int count) override
    {
        if (failed_)
            return false;
        const std::size_t stride = static_cast<std::size_t>(size_.width()) * 3;
        if (setjmp(error_.jump)) {
            failed_ = true;
            return false;
        }
        if (cmyk_)
            inks_.resize(stride / 3 * 4 * 4);
        for (int i = 0; i < count;) {
            JSAMPROW row[4];
            const int batch = std::min(count - i, 4);
            for (int k = 0; k < batch; ++k)
                row[k] = cmyk_ ? inks_.data() + std::size_t(k) * (stride / 3 * 4) : rows + std::size_t(i + k) * stride;
            const int got = static_cast<int>(jpeg_read_scanlines(&info_, row, static_cast<JDIMENSION>(batch)));
            if (got == 0) {
                failed_ = true;
                return false;
            }
            if (cmyk_)
                toRgb(rows + std::size_t(i) * stride, got);
            i += got;
            rowsRead_ += got;
        }
        return true;
    }

private:
    // The first `count` rows of inks into RGB: Adobe's files store them inverted (as Qt's reader
    // and the tile decoder take every CMYK JPEG), others as printed.
    void toRgb(unsigned char* rows, int count) const
    {
        const std::size_t pixels = std::size_t(size_.width()) * std::size_t(count);
        for (std::size_t i = 0; i < pixels; ++i) {
            const unsigned char* ink = inks_.data() + 4 * i;
            for (int c = 0; c < 3; ++c)
                rows[3 * i + std::size_t(c)] = static_cast<unsigned char>(
                    inverted_ ? ink[c] * ink[3] / 255 : (255 - ink[c]) * (255 - ink[3]) / 255);
        }
    }

    // Three components, Y at twice the sampling of Cb and Cr both ways.
    static bool isYcc420(const jpeg_decompress_struct& info)
    {
        const jpeg_component_info* c = info.comp_info;
        return info.num_components == 3 && info.jpeg_color_space == JCS_YCbCr && c[0].h_samp_factor == 2
            && c[0].v_samp_factor == 2 && c[1].h_samp_factor == 1 && c[1].v_samp_factor == 1
            && c[2].h_samp_factor == 1 && c[2].v_samp_factor == 1;
    }

    jpeg_decompress_struct info_{};
    JpegError error_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    bool cmyk_ = false;
    bool inverted_ = false;
    std::vector<unsigned char> inks_;  // up to four rows of CMYK
    // The row of MCUs read last, and how many of its Y rows are not handed out yet.
    std::vector<unsigned char> mcuPlanes_[3];
    std::vector<JSAMPROW> mcuRows_[3];
    int buffered_ = 0;
    int offset_ = 0;
};

class WholeRows final : public PictureRows {
public:
    WholeRows(QImage image, bool turned) : image_(std::move(image))
    {
        size_ = image_.size();
        turned_ = turned;
    }

    bool read(unsigned char* rows, int count) override
    {
        const std::size_t stride = static_cast<std::size_t>(size_.width()) * 3;
        for (int i = 0; i < count && rowsRead_ < size_.height(); ++i, ++rowsRead_)
            std::memcpy(rows + static_cast<std::size_t>(i) * stride, image_.constScanLine(rowsRead_), stride);
        return true;
    }

private:
    QImage image_;
};

// Why Qt's reader could not read a picture.
FailureCause readerCause(const QImageReader& reader)
{
    switch (reader.error()) {
    case QImageReader::UnsupportedFormatError:
        return FailureCause::UnknownFormat;
    case QImageReader::FileNotFoundError:
        return FailureCause::FileNotFound;
    case QImageReader::DeviceError:
        return FailureCause::DeviceError;
    case QImageReader::InvalidDataError:
        return FailureCause::BadPictureData;
    default:
        return FailureCause::PictureUnreadable;
    }
}

bool startsAsJpeg(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(3);
    return head.size() == 3 && head[0] == '\xFF' && head[1] == '\xD8' && head[2] == '\xFF';
}

}  // namespace

std::unique_ptr<PictureRows> openPictureRows(const QString& path, Failure& failure, bool planarIfAble)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        failure = Failure::because(FailureKind::PictureUnreadable, {path}, FailureCause::ReadError, errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        failure = Failure::because(FailureKind::PictureUnreadable, {path}, FailureCause::NotRegularFile);
        return nullptr;
    }
    admitLargePictures();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // The orientation is known once the header is read.
    QSize size = reader.size();
    const QImageIOHandler::Transformations turn = reader.transformation();
    if (startsAsJpeg(path) && turn == QImageIOHandler::TransformationNone) {
        auto rows = std::make_unique<JpegRows>();
        if (!rows->open(path, failure, planarIfAble))
            return nullptr;
        return rows;
    }
    if (turn & QImageIOHandler::TransformationRotate90)
        size.transpose();
    if (!size.isValid()) {
        failure = Failure::because(FailureKind::PictureUnreadable, {path}, readerCause(reader));
        return nullptr;
    }
    if (qint64(size.width()) * size.height() > kMaxWholePicturePixels) {
        failure = Failure(FailureKind::PictureTooLarge, {path}, {},
                          {size.width(), size.height(), kMaxWholePicturePixels});
        return nullptr;
    }
    QImage image;
    if (!reader.read(&image) || image.size() != size) {
        failure = Failure::because(FailureKind::PictureUnreadable, {path}, readerCause(reader));
        return nullptr;
    }
    return std::make_unique<WholeRows>(image.convertToFormat(QImage::Format_RGB888),
                                       turn != QImageIOHandler::TransformationNone);
}

}  // namespace tessera
