// A tile layer's global tile ids from CSV, base64 (raw, zlib, gzip or zstd), XML elements or a
// JSON array.
#include "tmx/TiledData.h"

#include <zlib.h>
#include <zstd.h>

namespace tessera::tiled {
namespace {

bool parseCsv(QByteArrayView text, std::vector<quint32>& gids, std::size_t count, QString& error)
{
    gids.clear();
    gids.reserve(count);
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && (*p == ',' || *p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
            ++p;
        if (p == end)
            break;
        quint64 value = 0;
        const char* start = p;
        while (p < end && *p >= '0' && *p <= '9' && value <= 0xFFFFFFFFu)
            value = value * 10 + static_cast<unsigned>(*p++ - '0');
        if (p == start || value > 0xFFFFFFFFu || (p < end && *p != ',' && *p != ' ' && *p != '\n' && *p != '\r'
                                                   && *p != '\t')) {
            error = QStringLiteral("CSV 图层数据的第 %1 个数不是图块编号").arg(gids.size() + 1);
            return false;
        }
        gids.push_back(static_cast<quint32>(value));
    }
    return true;
}

// Inflates zlib or gzip data (told by its header) into exactly `size` bytes.
bool inflateExactly(const QByteArray& in, QByteArray& out, qsizetype size)
{
    out.resize(size);
    z_stream stream{};
    if (inflateInit2(&stream, MAX_WBITS + 32) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(size);
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = status == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return whole;
}

bool decompress(const QByteArray& in, const QString& compression, QByteArray& out, qsizetype size, QString& error)
{
    bool ok = false;
    if (compression.isEmpty()) {
        out = in;
        ok = out.size() == size;
    } else if (compression == u"zlib" || compression == u"gzip") {
        ok = inflateExactly(in, out, size);
    } else if (compression == u"zstd") {
        out.resize(size);
        const std::size_t got = ZSTD_decompress(out.data(), static_cast<std::size_t>(size), in.constData(),
                                                static_cast<std::size_t>(in.size()));
        ok = !ZSTD_isError(got) && got == static_cast<std::size_t>(size);
    } else {
        error = QStringLiteral("图层数据的压缩方式“%1”不受支持").arg(compression);
        return false;
    }
    if (!ok)
        error = compression.isEmpty() ? QStringLiteral("base64 图层数据的长度与图层的大小不符")
                                      : QStringLiteral("%1 压缩的图层数据已损坏，或与图层的大小不符").arg(compression);
    return ok;
}

}  // namespace

bool gunzipFile(const QByteArray& in, QByteArray& out, qint64 maxBytes, QString& error)
{
    z_stream stream{};
    if (inflateInit2(&stream, MAX_WBITS + 16) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    stream.avail_in = static_cast<uInt>(in.size());
    out.clear();
    int status = Z_OK;
    while (status == Z_OK && out.size() < maxBytes) {
        const qsizetype had = out.size();
        out.resize(std::min<qint64>(maxBytes, std::max<qsizetype>(had * 2, 65536)));
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + had);
        stream.avail_out = static_cast<uInt>(out.size() - had);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(out.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    if (status == Z_STREAM_END)
        return true;
    error = out.size() >= maxBytes ? QStringLiteral("解压后超过 %1 MB").arg(maxBytes >> 20)
                                   : QStringLiteral("gzip 压缩的文件已损坏");
    return false;
}

bool decodeLayerData(const LayerData& layer, std::vector<quint32>& gids, QString& error)
{
    const auto count = static_cast<std::size_t>(layer.width) * static_cast<std::size_t>(layer.height);
    if (layer.encoding.isEmpty()) {
        gids = layer.gids;
    } else if (layer.encoding == u"csv") {
        if (!parseCsv(layer.text, gids, count, error))
            return false;
    } else if (layer.encoding == u"base64") {
        QByteArray bytes;
        if (!decompress(QByteArray::fromBase64(layer.text), layer.compression, bytes,
                        static_cast<qsizetype>(count * 4), error))
            return false;
        gids.resize(count);
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
        for (std::size_t i = 0; i < count; ++i, b += 4)
            gids[i] = quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
    } else {
        error = QStringLiteral("图层数据的编码“%1”不受支持").arg(layer.encoding);
        return false;
    }
    if (gids.size() != count) {
        error = QStringLiteral("图层“%1”应有 %2 × %3 = %4 个图块编号，实有 %5 个")
                    .arg(layer.name)
                    .arg(layer.width)
                    .arg(layer.height)
                    .arg(count)
                    .arg(gids.size());
        return false;
    }
    return true;
}

}  // namespace tessera::tiled
