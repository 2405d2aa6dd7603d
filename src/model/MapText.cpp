#include "model/MapText.h"

#include "gui/Progress.h"
#include "model/TileGrid.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <unordered_map>

namespace tessera {
namespace {

constexpr auto kCodecName = "GB18030";

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        qsizetype extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0)
                low = 0xA0;
            if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0)
                low = 0x90;
            if (b == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (i + extra >= n || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (qsizetype k = 2; k <= extra; ++k) {
            if (!isContinuation(p[i + k]))
                return false;
        }
        i += extra + 1;
    }
    return true;
}

// The byte structure of GB18030: ASCII, lead 81-FE with a trail 40-7E or 80-FE, or the four-byte
// form lead, 30-39, 81-FE, 30-39.
bool isValidGb18030(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    const auto lead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    const auto digit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (!lead(b) || i + 1 >= n)
            return false;
        const unsigned char t = p[i + 1];
        if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) {
            i += 2;
        } else if (digit(t) && i + 3 < n && lead(p[i + 2]) && digit(p[i + 3])) {
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

struct Signature {
    QByteArrayView bytes;
    qsizetype offset = 0;
};

bool startsWithAny(QByteArrayView bytes, std::initializer_list<Signature> signatures)
{
    return std::any_of(signatures.begin(), signatures.end(), [&](const Signature& s) {
        return bytes.size() >= s.offset + s.bytes.size() && bytes.sliced(s.offset, s.bytes.size()) == s.bytes;
    });
}

bool isPicture(QByteArrayView bytes)
{
    if (startsWithAny(bytes, {{"\xFF\xD8\xFF"}, {"\x89PNG\r\n\x1A\n"}, {"GIF87a"}, {"GIF89a"},
                              {QByteArrayView("II*\0", 4)}, {QByteArrayView("MM\0*", 4)}, {"WEBP", 8}}))
        return true;
    // "BM" alone could start a relative path: a bitmap also states the file's size.
    if (bytes.size() >= 14 && bytes.startsWith("BM")) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const quint32 size = p[2] | p[3] << 8 | p[4] << 16 | quint32(p[5]) << 24;
        return size == bytes.size();
    }
    return false;
}

bool isArchive(QByteArrayView bytes)
{
    return startsWithAny(bytes, {{"PK\x03\x04"}, {"PK\x05\x06"}, {"PK\x07\x08"}, {"\x1F\x8B"},
                                 {QByteArrayView("\xFD" "7zXZ\0", 6)}, {"7z\xBC\xAF\x27\x1C"},
                                 {"Rar!\x1A\x07"}, {"\x28\xB5\x2F\xFD"}, {"1AY&SY", 4}, {"ustar", 257}});
}

// Control bytes other than tab, CR and LF in the first line (the first 64 KiB at most).
bool hasControlBytesInFirstLine(QByteArrayView bytes)
{
    QByteArrayView line = bytes.first(std::min<qsizetype>(bytes.size(), 64 * 1024));
    if (const qsizetype end = line.indexOf("\r\n"); end >= 0)
        line = line.first(end);
    return std::any_of(line.begin(), line.end(), [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
    });
}

bool isAscii(QByteArrayView bytes)
{
    for (const char ch : bytes) {
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    }
    return true;
}

// Decodes fields, each distinct byte sequence once, so that cells naming the same file share one
// string.
class FieldDecoder {
public:
    explicit FieldDecoder(MapTextEncoding encoding)
        : utf8_(encoding == MapTextEncoding::Utf8),
          gb_(kCodecName, QStringConverter::Flag::Stateless)
    {
    }

    QString decode(QByteArrayView field)
    {
        if (field.isEmpty())
            return {};
        const std::string_view key(field.data(), static_cast<std::size_t>(field.size()));
        auto it = cache_.find(key);
        if (it == cache_.end()) {
            QString text;
            if (isAscii(field))
                text = QString::fromLatin1(field);
            else if (utf8_)
                text = QString::fromUtf8(field);
            else
                text = gb_.decode(field);
            it = cache_.emplace(key, std::move(text)).first;
        }
        return it->second;
    }

private:
    bool utf8_;
    QStringDecoder gb_;
    std::unordered_map<std::string_view, QString> cache_;
};

}  // namespace

QList<QByteArrayView> splitText(QByteArrayView text, QByteArrayView delimiter, bool doubleByte)
{
    QList<QByteArrayView> pieces;
    const qsizetype n = text.size();
    const qsizetype d = delimiter.size();
    if (n == 0 || d == 0) {
        if (n > 0)
            pieces.append(text);
        return pieces;
    }
    qsizetype start = 0;
    if (!doubleByte) {
        for (qsizetype at = text.indexOf(delimiter); at >= 0; at = text.indexOf(delimiter, start)) {
            pieces.append(text.sliced(start, at - start));
            start = at + d;
        }
    } else {
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        const auto* delim = reinterpret_cast<const unsigned char*>(delimiter.data());
        const unsigned char first = delim[0];
        for (qsizetype i = 0; i < n;) {
            const unsigned char b = p[i];
            if (b >= 0x80) {
                i += 2;  // a double-byte unit is skipped whole
            } else if (b == first && i + d <= n && std::equal(delim, delim + d, p + i)) {
                pieces.append(text.sliced(start, i - start));
                i += d;
                start = i;
            } else {
                ++i;
            }
        }
    }
    if (start < n)
        pieces.append(text.sliced(start));
    return pieces;
}

MapTextEncoding detectEncoding(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return MapTextEncoding::Utf8;
    return !isValidGb18030(bytes) && isValidUtf8(bytes) ? MapTextEncoding::Utf8 : MapTextEncoding::Gb18030;
}

MapFileKind classifyMapFile(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return MapFileKind::Utf16;
    if (isPicture(bytes))
        return MapFileKind::Picture;
    if (isArchive(bytes))
        return MapFileKind::Archive;
    if (bytes.startsWith("%PDF-") || hasControlBytesInFirstLine(bytes))
        return MapFileKind::Binary;
    return MapFileKind::Text;
}

QByteArray encodeMapText(const QString& gridText)
{
    QStringEncoder encoder(kCodecName);
    return encoder.encode(gridText);
}

UnfitCells cellsUnfitForMapText(const TileGrid& grid, qsizetype keep)
{
    UnfitCells unfit;
    const int n = grid.mapSize();
    for (int r = 1; r <= n; ++r) {
        for (int c = 1; c <= n; ++c) {
            const QString& text = grid.cellText(r, c);
            if (text.contains(kFieldSeparator) || text.contains(u'\r') || text.contains(u'\n')) {
                if (unfit.count++ < keep)
                    unfit.first.append(QPoint(c, r));
            }
        }
    }
    return unfit;
}

MapTextLoad parseMapText(QByteArrayView bytes, int mapSize, Progress& progress)
{
    MapTextLoad load;
    load.kind = classifyMapFile(bytes);
    if (load.kind != MapFileKind::Text) {
        progress.start(0);
        return load;
    }
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes = bytes.first(zero);
    load.encoding = detectEncoding(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // UTF-8 never holds an ASCII byte inside a multi-byte sequence; GB18030 follows the
    // double-byte rule.
    const bool doubleByte = load.encoding == MapTextEncoding::Gb18030;

    const QList<QByteArrayView> lines = splitText(bytes, "\r\n", doubleByte);
    QList<QList<QByteArrayView>> fields;
    fields.reserve(lines.size());
    for (const QByteArrayView line : lines) {
        fields.append(splitText(line, "|", doubleByte));
        load.fields += fields.constLast().size();
        load.widest = std::max(load.widest, fields.constLast().size());
    }
    load.lines = lines.size();
    progress.start(load.fields);

    const qsizetype size = std::max(0, mapSize);
    load.cells.resize(static_cast<std::size_t>(size * size));
    FieldDecoder decoder(load.encoding);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (progress.cancelled())
            return load;
        const QList<QByteArrayView>& row = fields[i];
        const qsizetype stored = i < size ? std::min(row.size(), size) : 0;
        for (qsizetype j = 0; j < stored; ++j) {
            QString text = decoder.decode(row[j]);
            if (text != kEmptyMarker)
                load.cells[static_cast<std::size_t>(i * size + j)] = std::move(text);
        }
        progress.advance(row.size());
    }
    return load;
}

MapTextLoad loadMapText(TileGrid& grid, QByteArrayView bytes, Progress& progress)
{
    MapTextLoad load = parseMapText(bytes, grid.mapSize(), progress);
    if (load.kind == MapFileKind::Text)
        grid.replaceCells(std::move(load.cells));
    return load;
}

}  // namespace tessera
