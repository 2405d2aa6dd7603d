// One pass over a TMJ document before it is parsed: the tile ids of every "data" array are checked
// and cut out, so that the parsed document holds only the rest, and the rest is bounded.
#include "tmx/TiledData.h"

#include "model/TileGrid.h"

#include <vector>

namespace tessera::tiled {
namespace {

// A layer holds at most the largest map's ids.
constexpr qsizetype kMaxIds = qsizetype(kMaxMapSize) * kMaxMapSize;
// Values outside the data arrays: an embedded tileset of a million tiles holds five million.
constexpr qsizetype kMaxValues = 8'000'000;
// A string: a layer's base64 data of the largest map takes 5.4 MB.
constexpr qsizetype kMaxString = 16LL * 1024 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

class Scanner {
public:
    Scanner(const QByteArray& bytes, JsonCut& cut, QString& error) : bytes_(bytes), cut_(cut), error_(error) {}

    bool run();

private:
    // Past the string that starts at `p_`; its bytes between the quotes in `text`.
    void skipString(QByteArrayView& text);
    bool cutIds();
    bool count()
    {
        if (++values_ <= kMaxValues)
            return true;
        error_ = QStringLiteral("文件中的值超过 %1 个，不像是地图").arg(kMaxValues);
        return false;
    }

    const QByteArray& bytes_;
    JsonCut& cut_;
    QString& error_;
    qsizetype p_ = 0;
    qsizetype copied_ = 0;  // the bytes before it are in the skeleton
    qsizetype values_ = 0;
};

void Scanner::skipString(QByteArrayView& text)
{
    const qsizetype start = ++p_;
    while (p_ < bytes_.size() && bytes_[p_] != '"')
        p_ += bytes_[p_] == '\\' ? 2 : 1;
    text = QByteArrayView(bytes_).sliced(start, std::min(p_, bytes_.size()) - start);
    ++p_;
}

// The ids of a data array from its "[": unsigned integers below 2³², at most kMaxIds of them.
bool Scanner::cutIds()
{
    const qsizetype open = p_++;
    qsizetype ids = 0;
    const char* b = bytes_.constData();
    const qsizetype end = bytes_.size();
    for (;;) {
        while (p_ < end && (isBlank(b[p_]) || b[p_] == ','))
            ++p_;
        if (p_ >= end)
            return true;  // cut short: the parser says so
        if (b[p_] == ']')
            break;
        quint64 value = 0;
        const qsizetype start = p_;
        while (p_ < end && b[p_] >= '0' && b[p_] <= '9' && value <= 0xFFFFFFFFu)
            value = value * 10 + quint64(b[p_++] - '0');
        if (p_ == start || value > 0xFFFFFFFFu || (p_ < end && !isBlank(b[p_]) && b[p_] != ',' && b[p_] != ']')) {
            error_ = QStringLiteral("第 %1 个字节处：图层数据的第 %2 个值不是图块编号（应为不小于 0 的整数）")
                         .arg(start)
                         .arg(ids + 1);
            return false;
        }
        if (++ids > kMaxIds) {
            error_ = QStringLiteral("第 %1 个字节处：图层数据超过 %2 个图块编号").arg(start).arg(kMaxIds);
            return false;
        }
    }
    // The skeleton names the array by its place: [N].
    if (cut_.skeleton.isEmpty())
        cut_.skeleton.reserve(bytes_.size() / 4);
    cut_.skeleton.append(QByteArrayView(bytes_).sliced(copied_, open - copied_));
    const QByteArray marker = '[' + QByteArray::number(qsizetype(cut_.arrays.size())) + ']';
    cut_.cuts.emplace_back(cut_.skeleton.size(), p_ + 1 - open - marker.size());
    cut_.skeleton.append(marker);
    cut_.arrays.push_back(QByteArrayView(bytes_).sliced(open + 1, p_ - open - 1));
    copied_ = ++p_;
    return true;
}

bool Scanner::run()
{
    const char* b = bytes_.constData();
    const qsizetype end = bytes_.size();
    bool dataKey = false;  // the value to come is that of a "data" key
    while (p_ < end) {
        const char c = b[p_];
        if (isBlank(c) || c == ',' || c == ':' || c == ']' || c == '}') {
            dataKey = dataKey && c != ',' && c != ']' && c != '}';
            ++p_;
            continue;
        }
        if (c == '"') {
            QByteArrayView text;
            skipString(text);
            // A key is a string followed by a colon.
            qsizetype next = p_;
            while (next < end && isBlank(b[next]))
                ++next;
            const bool key = next < end && b[next] == ':';
            dataKey = key && text == "data";
            if (text.size() > kMaxString) {
                error_ = QStringLiteral("第 %1 个字节处：字符串超过 16 MB，不像是地图").arg(p_ - text.size() - 2);
                return false;
            }
            if (!key && !count())
                return false;
            continue;
        }
        if (c == '[' && dataKey) {
            dataKey = false;
            if (!cutIds())
                return false;
            continue;
        }
        if (!count())
            return false;
        dataKey = false;
        ++p_;
        if (c != '[' && c != '{')  // a number or a literal
            while (p_ < end && !isBlank(b[p_]) && b[p_] != ',' && b[p_] != ']' && b[p_] != '}' && b[p_] != '"')
                ++p_;
    }
    if (cut_.arrays.empty())
        cut_.skeleton = bytes_;
    else
        cut_.skeleton.append(QByteArrayView(bytes_).sliced(copied_));
    return true;
}

}  // namespace

bool cutDataArrays(const QByteArray& bytes, JsonCut& cut, QString& error)
{
    return Scanner(bytes, cut, error).run();
}

qsizetype JsonCut::originalOffset(qsizetype skeletonOffset) const
{
    qsizetype offset = skeletonOffset;
    for (const auto& [at, removed] : cuts)
        if (at < skeletonOffset)
            offset += removed;
    return offset;
}

}  // namespace tessera::tiled
