#include "model/MapText.h"

#include "work/HelperThreads.h"
#include "files/Progress.h"
#include "model/TextScan.h"
#include "model/TileGrid.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QThread>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace tessera {
namespace {

constexpr auto kCodecName = "GB18030";

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

// Where the fields of the rows that fit the map lie in the text, with the counts of all lines and
// fields: one pass that splits lines on CR LF and fields on "|". With `doubleByte`, a byte >= 0x80
// starts a two-byte unit within which neither is matched.
struct FieldLayout {
    std::vector<std::vector<QByteArrayView>> rows;  // rows 1..size, columns 1..size at most
    qsizetype lines = 0;
    qsizetype fields = 0;
    qsizetype widest = 0;  // the most fields of one line
};

FieldLayout layOutFields(QByteArrayView text, int size, bool doubleByte)
{
    FieldLayout layout;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const qsizetype n = text.size();
    qsizetype fieldStart = 0;
    qsizetype inLine = 0;
    std::vector<QByteArrayView>* row = nullptr;
    auto addField = [&](qsizetype end) {
        ++layout.fields;
        layout.widest = std::max(layout.widest, ++inLine);
        if (row && static_cast<qsizetype>(row->size()) < size)
            row->push_back(text.sliced(fieldStart, end - fieldStart));
    };
    auto startLine = [&] {
        inLine = 0;
        row = layout.lines < size ? &layout.rows.emplace_back() : nullptr;
        ++layout.lines;
    };
    if (n > 0)
        startLine();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b >= 0x80 && doubleByte) {
            i += 2;  // a double-byte unit is skipped whole
        } else if (b == '|') {
            addField(i);
            fieldStart = ++i;
        } else if (b == '\r' && i + 1 < n && p[i + 1] == '\n') {
            if (fieldStart < i)
                addField(i);  // a piece after the last "|" counts only when it is not empty
            i += 2;
            fieldStart = i;
            if (i < n)
                startLine();  // a piece after the last line break counts only when not empty
        } else {
            ++i;
            while (i + 8 <= n && isPlainFieldWord(p + i))
                i += 8;
        }
    }
    if (fieldStart < n)
        addField(n);
    return layout;
}

}  // namespace

QByteArray encodeMapText(const QString& gridText)
{
    QStringEncoder encoder(kCodecName);
    return encoder.encode(gridText);
}

QByteArray encodeMapCells(const CellTexts& cells, int mapSize, Progress& progress)
{
    const qsizetype n = std::max(0, mapSize);
    if (static_cast<qsizetype>(cells.size()) != n * n)
        return {};
    progress.start(n * n);
    static const QByteArray empty = encodeMapText(kEmptyMarker);
    const qsizetype parts = std::clamp<qsizetype>(n / 64, 1, QThread::idealThreadCount());
    QList<qsizetype> starts;
    for (qsizetype k = 0; k < parts; ++k)
        starts.append(n * k / parts);
    QList<QByteArray> pieces(parts);
    HelperThreads helpers;
    helpers.forEach(static_cast<int>(parts), [&, out = pieces.data()](int k) {
        const qsizetype first = starts.at(k);
        const qsizetype last = k + 1 < parts ? starts.at(k + 1) : n;
        QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
        // Cells naming the same file share one string: encode it once.
        QHash<const QChar*, QByteArray> encoded;
        QByteArray bytes;
        for (qsizetype r = first; r < last && !progress.cancelled(); ++r) {
            for (qsizetype c = 0; c < n; ++c) {
                if (c > 0)
                    bytes += '|';
                const QString& cell = cells[static_cast<std::size_t>(r * n + c)];
                if (cell.isEmpty()) {
                    bytes += empty;
                    continue;
                }
                auto it = encoded.constFind(cell.constData());
                if (it == encoded.constEnd())
                    it = encoded.insert(cell.constData(), encoder.encode(cell));
                bytes += *it;
            }
            bytes += "\r\n";
        }
        out[k] = std::move(bytes);
    });
    if (progress.cancelled())
        return {};
    QByteArray text;
    qsizetype length = 0;
    for (const QByteArray& piece : pieces)
        length += piece.size();
    text.reserve(length);
    for (const QByteArray& piece : pieces)
        text += piece;
    progress.advance(n * n);
    return text;
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

QString lineFeedsOnlyNote()
{
    return QStringLiteral("行尾只有 LF，整个文件被读成了一行");
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
    const int size = std::max(0, mapSize);
    const FieldLayout layout = layOutFields(bytes, size, load.encoding == MapTextEncoding::Gb18030);
    load.lines = layout.lines;
    load.fields = layout.fields;
    load.widest = layout.widest;
    load.lineFeedsOnly = bytes.contains('\n') && !bytes.contains("\r\n");
    progress.start(load.fields);

    // The rows are decoded on every core, each part with its own decoder.
    load.cells.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    const qsizetype rows = static_cast<qsizetype>(layout.rows.size());
    const qsizetype parts = std::clamp<qsizetype>(rows / 64, 1, QThread::idealThreadCount());
    QList<qsizetype> starts;
    for (qsizetype k = 0; k < parts; ++k)
        starts.append(rows * k / parts);
    HelperThreads helpers;
    helpers.forEach(static_cast<int>(parts), [&](int k) {
        const qsizetype first = starts.at(k);
        const qsizetype last = k + 1 < parts ? starts.at(k + 1) : rows;
        FieldDecoder decoder(load.encoding);
        for (qsizetype i = first; i < last && !progress.cancelled(); ++i) {
            const std::vector<QByteArrayView>& row = layout.rows[static_cast<std::size_t>(i)];
            for (std::size_t j = 0; j < row.size(); ++j) {
                QString text = decoder.decode(row[j]);
                if (text != kEmptyMarker)
                    load.cells[static_cast<std::size_t>(i) * static_cast<std::size_t>(size) + j] = std::move(text);
            }
        }
    });
    progress.advance(load.fields);
    return load;
}

}  // namespace tessera
