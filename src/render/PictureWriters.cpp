#include "render/PictureWriters.h"

#include "render/PngWriter.h"

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <vector>

namespace tessera {
namespace {

// libjpeg reports errors by longjmp: the functions that call it keep only trivially destructible
// locals. Its English messages stay inside: the user hears the device's reason when
// a write failed, and that the encoder failed otherwise.
Failure encoderFailure(const QIODevice* device, bool writeFailed, const char* format)
{
    if (writeFailed && device)
        return {FailureKind::Unwritable, {}, device->errorString()};
    return {FailureKind::EncoderFailed, {}, QLatin1String(format)};
}

// ---- JPEG ----

constexpr std::size_t kJpegBuffer = 256 * 1024;

struct JpegState {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_destination_mgr destination{};
    std::jmp_buf jump;
    QIODevice* device = nullptr;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(kJpegBuffer);
    bool writeFailed = false;
    bool created = false;
};

JpegState* stateOf(j_common_ptr info)
{
    return static_cast<JpegState*>(info->client_data);
}

void jpegError(j_common_ptr info)
{
    std::longjmp(stateOf(info)->jump, 1);
}

void jpegOutputMessage(j_common_ptr) {}

void jpegInitDestination(j_compress_ptr info)
{
    JpegState* state = stateOf(reinterpret_cast<j_common_ptr>(info));
    info->dest->next_output_byte = state->buffer.data();
    info->dest->free_in_buffer = state->buffer.size();
}

// Hands the first `length` bytes of the buffer to the device.
void jpegPut(JpegState* state, qint64 length)
{
    if (state->device->write(reinterpret_cast<const char*>(state->buffer.data()), length) != length) {
        state->writeFailed = true;
        std::longjmp(state->jump, 1);
    }
}

boolean jpegEmptyBuffer(j_compress_ptr info)
{
    JpegState* state = stateOf(reinterpret_cast<j_common_ptr>(info));
    jpegPut(state, static_cast<qint64>(state->buffer.size()));
    jpegInitDestination(info);
    return TRUE;
}

void jpegTermDestination(j_compress_ptr info)
{
    JpegState* state = stateOf(reinterpret_cast<j_common_ptr>(info));
    jpegPut(state, static_cast<qint64>(state->buffer.size() - info->dest->free_in_buffer));
}

bool jpegBegin(JpegState* s, JDIMENSION width, JDIMENSION height)
{
    if (setjmp(s->jump))
        return false;
    jpeg_create_compress(&s->info);
    s->created = true;
    s->info.dest = &s->destination;
    s->destination.init_destination = jpegInitDestination;
    s->destination.empty_output_buffer = jpegEmptyBuffer;
    s->destination.term_destination = jpegTermDestination;
    s->info.image_width = width;
    s->info.image_height = height;
    s->info.input_components = 4;
    // ARGB32 is B, G, R, A in memory on little-endian machines and A, R, G, B on big-endian ones.
    s->info.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&s->info);
    jpeg_set_quality(&s->info, 90, TRUE);
    jpeg_start_compress(&s->info, TRUE);
    return true;
}

bool jpegRows(JpegState* s, const uchar* first, qsizetype stride, int rows)
{
    if (setjmp(s->jump))
        return false;
    for (int y = 0; y < rows; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(first + y * stride);
        jpeg_write_scanlines(&s->info, &row, 1);
    }
    return true;
}

bool jpegEnd(JpegState* s)
{
    if (setjmp(s->jump))
        return false;
    jpeg_finish_compress(&s->info);
    return true;
}

class JpegWriter final : public PictureWriter {
public:
    JpegWriter()
    {
        state_.info.err = jpeg_std_error(&state_.errors);
        state_.errors.error_exit = jpegError;
        state_.errors.output_message = jpegOutputMessage;
        state_.info.client_data = &state_;
    }
    ~JpegWriter() override
    {
        if (state_.created)
            jpeg_destroy_compress(&state_.info);
    }

    bool begin(QIODevice& device, QSize size) override
    {
        state_.device = &device;
        return jpegBegin(&state_, static_cast<JDIMENSION>(size.width()), static_cast<JDIMENSION>(size.height()))
            || fail();
    }
    bool writeRows(const QImage& band, int rows) override
    {
        return jpegRows(&state_, band.constBits(), band.bytesPerLine(), rows) || fail();
    }
    bool finish() override { return jpegEnd(&state_) || fail(); }

private:
    bool fail()
    {
        failure_ = encoderFailure(state_.device, state_.writeFailed, "JPEG");
        return false;
    }

    JpegState state_;
};

}  // namespace

std::unique_ptr<PictureWriter> PictureWriter::create(PictureFormat format)
{
    if (format == PictureFormat::Jpeg)
        return std::make_unique<JpegWriter>();
    return createPngWriter();
}

}  // namespace tessera
