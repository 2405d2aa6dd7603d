#include "support/SliceMapGenerator.h"

#include "imaging/ImageCodec.h"
#include "assembly/AutoAssembly.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTextStream>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>

namespace tessera {
namespace {

constexpr int kStep = 4;  // the landscape's fields are evaluated every kStep pixels, then interpolated
constexpr float kSeaLevel = 0.45f;
constexpr QRgb kSea = 0xFF2A5A9Au;

quint32 mix(quint32 h)
{
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

quint32 hash2(qint64 x, qint64 y, quint32 seed)
{
    return mix(static_cast<quint32>(x) * 0x9E3779B1u ^ mix(static_cast<quint32>(y) * 0x85EBCA77u ^ seed));
}

float lattice(qint64 x, qint64 y, quint32 seed)
{
    return static_cast<float>(hash2(x, y, seed) >> 8) / static_cast<float>(1 << 24);
}

float valueNoise(double x, double y, quint32 seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<qint64>(fx), iy = static_cast<qint64>(fy);
    auto smooth = [](double t) { return static_cast<float>(t * t * (3 - 2 * t)); };
    const float tx = smooth(x - fx), ty = smooth(y - fy);
    const float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

// Smooth multi-octave noise over the whole landscape, from continents down to features of a few
// dozen pixels.
class Landscape {
public:
    Landscape(QSize total, quint32 seed) : seed_(seed)
    {
        double wavelength = std::max(total.width(), total.height()) / 2.0;
        while (wavelength >= 40 && wavelengths_.size() < 12) {
            wavelengths_.push_back(wavelength);
            wavelength /= 2;
        }
        if (wavelengths_.empty())
            wavelengths_.push_back(40);
    }

    float height(double x, double y) const { return stretch(fbm(x, y, seed_, 0.6)); }
    float moisture(double x, double y) const { return stretch(fbm(x * 0.7, y * 0.7, seed_ ^ 0x5BD1E995u, 0.5)); }
    // Ground texture (woods, rocks, fields) a few dozen pixels across: 0 … 1.
    float texture(double x, double y) const
    {
        return 0.65f * valueNoise(x / 36, y / 36, seed_ ^ 0x27D4EB2Fu) + 0.35f * valueNoise(x / 15, y / 15, seed_ ^ 0x165667B1u);
    }

private:
    float fbm(double x, double y, quint32 seed, double persistence) const
    {
        double sum = 0, weight = 0, amplitude = 1;
        for (std::size_t i = 0; i < wavelengths_.size(); ++i) {
            sum += amplitude * valueNoise(x / wavelengths_[i], y / wavelengths_[i], seed + static_cast<quint32>(i) * 7919u);
            weight += amplitude;
            amplitude *= persistence;
        }
        return static_cast<float>(sum / weight);
    }
    static float stretch(float v) { return std::clamp(0.5f + (v - 0.5f) * 2.4f, 0.0f, 1.0f); }

    quint32 seed_;
    std::vector<double> wavelengths_;
};

struct Rgb {
    float r, g, b;
};

Rgb blend(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Land colour from its height above the sea (0 … 1) and its moisture.
Rgb landColour(float t, float wet)
{
    static const Rgb dry[] = {{205, 185, 130}, {170, 160, 90}, {150, 120, 70}, {125, 100, 80}, {215, 210, 205}};
    static const Rgb moist[] = {{190, 180, 120}, {70, 150, 60}, {35, 100, 45}, {90, 95, 70}, {235, 235, 240}};
    const float band = std::clamp(t, 0.0f, 0.999f) * 4;
    const int i = static_cast<int>(band);
    const Rgb d = blend(dry[i], dry[i + 1], band - static_cast<float>(i));
    const Rgb m = blend(moist[i], moist[i + 1], band - static_cast<float>(i));
    return blend(d, m, wet);
}

// The slice whose top-left pixel is (x0, y0) in the landscape.
QImage paintSlice(const Landscape& land, qint64 x0, qint64 y0, QSize size, quint32 seed, bool painting)
{
    const qint64 gx0 = x0 / kStep, gy0 = y0 / kStep;
    const int gw = static_cast<int>((x0 + size.width()) / kStep - gx0) + 2;
    const int gh = static_cast<int>((y0 + size.height()) / kStep - gy0) + 2;
    std::vector<float> heights(static_cast<std::size_t>(gw) * gh), wets(heights.size()), textures(heights.size());
    for (int j = 0; j < gh; ++j)
        for (int i = 0; i < gw; ++i) {
            const double x = static_cast<double>((gx0 + i) * kStep), y = static_cast<double>((gy0 + j) * kStep);
            heights[static_cast<std::size_t>(j) * gw + i] = land.height(x, y);
            wets[static_cast<std::size_t>(j) * gw + i] = land.moisture(x, y);
            textures[static_cast<std::size_t>(j) * gw + i] = land.texture(x, y);
        }
    QImage image(size, QImage::Format_RGB32);
    for (int py = 0; py < size.height(); ++py) {
        const qint64 y = y0 + py;
        const int j = static_cast<int>(y / kStep - gy0);
        const float ty = static_cast<float>(y % kStep) / kStep;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        for (int px = 0; px < size.width(); ++px) {
            const qint64 x = x0 + px;
            const int i = static_cast<int>(x / kStep - gx0);
            const float tx = static_cast<float>(x % kStep) / kStep;
            auto at = [&](const std::vector<float>& f) {
                const std::size_t k = static_cast<std::size_t>(j) * gw + i;
                const float top = f[k] + (f[k + 1] - f[k]) * tx;
                const float bottom = f[k + gw] + (f[k + gw + 1] - f[k + gw]) * tx;
                return top + (bottom - top) * ty;
            };
            const float h = at(heights);
            if (h < kSeaLevel && !painting) {
                line[px] = kSea;
                continue;
            }
            const Rgb c = landColour(painting ? h : (h - kSeaLevel) / (1 - kSeaLevel), at(wets));
            float shade = 0.8f + 0.4f * at(textures);
            float grain = static_cast<float>(hash2(x, y, seed ^ 0xA5A5A5A5u) % 13) - 6.0f;
            if (painting) {
                // Slanted strokes a few pixels wide and grain four times as strong.
                shade *= 0.85f + 0.3f * valueNoise(static_cast<double>(x + y) / 5, static_cast<double>(y - x) / 40, seed ^ 0x9E3779B9u);
                grain *= 4;
            }
            auto channel = [grain, shade](float v) { return std::clamp(static_cast<int>(v * shade + grain + 0.5f), 0, 255); };
            line[px] = qRgb(channel(c.r), channel(c.g), channel(c.b));
        }
    }
    return image;
}

// Area-averaging of the landscape to the reference, one band of rows at a time.
class ReferenceAccumulator {
public:
    ReferenceAccumulator(QSize total, QSize reference)
        : reference_(reference), image_(reference, QImage::Format_RGB888), rows_(static_cast<std::size_t>(reference.height()))
    {
        xs_ = weights(total.width(), reference.width());
        ys_ = weights(total.height(), reference.height());
        area_ = static_cast<double>(total.width()) / reference.width() * total.height() / reference.height();
    }

    void add(const QImage& slice, qint64 x0, qint64 y0)
    {
        const int w = slice.width(), h = slice.height();
        const int rx0 = xs_[static_cast<std::size_t>(x0)].index;
        const int rx1 = std::min(reference_.width() - 1, xs_[static_cast<std::size_t>(x0 + w - 1)].index + 1);
        const int ry0 = ys_[static_cast<std::size_t>(y0)].index;
        const int ry1 = std::min(reference_.height() - 1, ys_[static_cast<std::size_t>(y0 + h - 1)].index + 1);
        const int lw = rx1 - rx0 + 1;
        std::vector<double> local(static_cast<std::size_t>(lw) * (ry1 - ry0 + 1) * 3, 0.0);
        for (int py = 0; py < h; ++py) {
            const Split sy = ys_[static_cast<std::size_t>(y0 + py)];
            const auto* line = reinterpret_cast<const QRgb*>(slice.constScanLine(py));
            for (int px = 0; px < w; ++px) {
                const Split sx = xs_[static_cast<std::size_t>(x0 + px)];
                const QRgb p = line[px];
                const double rgb[3] = {static_cast<double>(qRed(p)), static_cast<double>(qGreen(p)), static_cast<double>(qBlue(p))};
                for (int a = 0; a < 2; ++a) {
                    const double wy = a == 0 ? sy.first : 1 - sy.first;
                    if (wy <= 0 || sy.index + a > ry1)
                        continue;
                    for (int b = 0; b < 2; ++b) {
                        const double wx = b == 0 ? sx.first : 1 - sx.first;
                        if (wx <= 0 || sx.index + b > rx1)
                            continue;
                        double* cell = &local[(static_cast<std::size_t>(sy.index + a - ry0) * lw + (sx.index + b - rx0)) * 3];
                        for (int c = 0; c < 3; ++c)
                            cell[c] += rgb[c] * wx * wy;
                    }
                }
            }
        }
        std::lock_guard lock(mutex_);
        for (int ry = ry0; ry <= ry1; ++ry) {
            std::vector<double>& row = rows_[static_cast<std::size_t>(ry)];
            if (row.empty())
                row.assign(static_cast<std::size_t>(reference_.width()) * 3, 0.0);
            for (int i = 0; i < lw * 3; ++i)
                row[static_cast<std::size_t>(rx0) * 3 + i] += local[static_cast<std::size_t>(ry - ry0) * lw * 3 + i];
        }
    }

    // Writes out the reference rows that lie wholly above landscape row `y`.
    void finishAbove(qint64 y)
    {
        for (int ry = 0; ry < reference_.height(); ++ry) {
            std::vector<double>& row = rows_[static_cast<std::size_t>(ry)];
            if (row.empty() || (y < static_cast<qint64>(ys_.size()) && ys_[static_cast<std::size_t>(y)].index <= ry))
                continue;
            uchar* out = image_.scanLine(ry);
            for (int i = 0; i < reference_.width() * 3; ++i)
                out[i] = static_cast<uchar>(std::clamp(std::lround(row[static_cast<std::size_t>(i)] / area_), 0L, 255L));
            std::vector<double>().swap(row);
        }
    }

    const QImage& image() const { return image_; }

private:
    struct Split {
        int index;     // the reference pixel the landscape pixel starts in
        double first;  // the share of it in that pixel; the rest goes to the next one
    };
    static std::vector<Split> weights(int full, int reduced)
    {
        std::vector<Split> splits(static_cast<std::size_t>(full));
        const double box = static_cast<double>(full) / reduced;
        for (int x = 0; x < full; ++x) {
            const int index = std::min(reduced - 1, static_cast<int>(x / box));
            splits[static_cast<std::size_t>(x)] = {index, std::min(1.0, (index + 1) * box - x)};
        }
        return splits;
    }

    QSize reference_;
    QImage image_;
    std::vector<std::vector<double>> rows_;
    std::vector<Split> xs_, ys_;
    double area_ = 1;
    std::mutex mutex_;
};

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

GeneratedMap generateSliceMap(const QString& folder, const SliceMapOptions& options)
{
    GeneratedMap map;
    const int lastW = options.lastColumnWidth > 0 ? options.lastColumnWidth : options.slice.width();
    const int lastH = options.lastRowHeight > 0 ? options.lastRowHeight : options.slice.height();
    const qint64 totalW = static_cast<qint64>(options.columns - 1) * options.slice.width() + lastW;
    const qint64 totalH = static_cast<qint64>(options.rows - 1) * options.slice.height() + lastH;
    const QSize total(static_cast<int>(totalW), static_cast<int>(totalH));
    const QSize reduced(std::max(1, static_cast<int>(std::lround(static_cast<double>(totalW) / options.referenceScale))),
                        std::max(1, static_cast<int>(std::lround(static_cast<double>(totalH) / options.referenceScale))));
    const QString sliceFolder = QDir(folder).filePath(QStringLiteral("slices"));
    if (!QDir().mkpath(sliceFolder))
        return map;

    // Shuffled random names: the order of the files tells nothing.
    QRandomGenerator random(options.seed * 2654435761u + 17);
    std::vector<GeneratedSlice> slices;
    for (int r = 1; r <= options.rows; ++r)
        for (int c = 1; c <= options.columns; ++c) {
            const QString name = QStringLiteral("%1.jpg").arg(random.generate64(), 16, 16, QLatin1Char('0'));
            slices.push_back({QDir(sliceFolder).filePath(name), r, c});
        }

    const Landscape land(total, options.seed);
    ReferenceAccumulator reference(total, reduced);
    std::atomic<bool> failed{false};
    for (int r = 1; r <= options.rows; ++r) {
        std::vector<int> row(static_cast<std::size_t>(options.columns));
        std::iota(row.begin(), row.end(), (r - 1) * options.columns);
        QtConcurrent::blockingMap(row, [&](int index) {
            const GeneratedSlice& s = slices[static_cast<std::size_t>(index)];
            const qint64 x0 = static_cast<qint64>(s.column - 1) * options.slice.width();
            const qint64 y0 = static_cast<qint64>(s.row - 1) * options.slice.height();
            const QSize size(s.column == options.columns ? lastW : options.slice.width(),
                             s.row == options.rows ? lastH : options.slice.height());
            const QImage picture = paintSlice(land, x0, y0, size, options.seed, options.painting);
            if (!writeFile(s.path, encodeJpeg(picture, options.sliceQuality)))
                failed = true;
            reference.add(picture, x0, y0);
        });
        reference.finishAbove(r == options.rows ? totalH : static_cast<qint64>(r) * options.slice.height());
    }
    map.folder = folder;
    map.sliceFolder = sliceFolder;
    map.referencePath = QDir(folder).filePath(QStringLiteral("reference.jpg"));
    if (failed || !writeFile(map.referencePath, encodeJpeg(alterReference(reference.image(), options), options.referenceQuality)))
        return map;

    QSaveFile expected(QDir(folder).filePath(QStringLiteral("expected.txt")));
    if (!expected.open(QIODevice::WriteOnly))
        return map;
    QTextStream out(&expected);
    out << options.rows << ' ' << options.columns << '\n';
    for (const GeneratedSlice& s : slices)
        out << QFileInfo(s.path).fileName() << ' ' << s.row << ' ' << s.column << '\n';
    out.flush();
    if (!expected.commit())
        return map;
    map.rows = options.rows;
    map.columns = options.columns;
    map.slices = std::move(slices);
    return map;
}

GeneratedMap loadSliceMap(const QString& folder)
{
    GeneratedMap map;
    QFile expected(QDir(folder).filePath(QStringLiteral("expected.txt")));
    if (!expected.open(QIODevice::ReadOnly))
        return map;
    QTextStream in(&expected);
    map.folder = folder;
    map.sliceFolder = QDir(folder).filePath(QStringLiteral("slices"));
    map.referencePath = QDir(folder).filePath(QStringLiteral("reference.jpg"));
    in >> map.rows >> map.columns;
    while (!in.atEnd()) {
        QString name;
        GeneratedSlice s;
        in >> name >> s.row >> s.column;
        if (name.isEmpty())
            break;
        s.path = QDir(map.sliceFolder).filePath(name);
        map.slices.push_back(s);
    }
    if (map.slices.size() != static_cast<std::size_t>(map.rows) * map.columns || !QFile::exists(map.referencePath))
        map.slices.clear();
    return map;
}

double meanAbsoluteDifference(const QString& a, const QString& b)
{
    const QImage x = QImage(a).convertToFormat(QImage::Format_RGB32);
    const QImage y = QImage(b).convertToFormat(QImage::Format_RGB32);
    if (x.isNull() || x.size() != y.size())
        return 255;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col]))
                + std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

}  // namespace tessera
