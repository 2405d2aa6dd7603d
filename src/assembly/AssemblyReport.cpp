// The words of an assembly's result: the result window's lines and the summary.
#include "assembly/AssemblyReport.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace tessera {

int confidencePercent(double confidence)
{
    return std::clamp(static_cast<int>(std::floor(confidence * 100.0)), 0, 100);
}

QString doubtReason(const AssemblyPlacement& placement)
{
    switch (placement.doubt) {
    case DoubtKind::None:
        break;
    case DoubtKind::DiffersFromReference:
        return QStringLiteral("与原图差异大");
    case DoubtKind::LikeAnotherCell:
        return QStringLiteral("与第 %1 行第 %2 列难以区分").arg(placement.otherRow).arg(placement.otherColumn);
    case DoubtKind::OutsideReference:
        return QStringLiteral("原图中这一格大部分缺失");
    }
    return {};
}

QString assemblySummary(const AssemblyResult& result)
{
    QString summary = QStringLiteral("已拼合 %1 个单元格，存疑 %2 个")
                          .arg(result.placements.size())
                          .arg(result.doubtfulCount);
    if (!result.unplaced.isEmpty())
        summary += QStringLiteral("，未放置 %1 个切片").arg(result.unplaced.size());
    return summary;
}

QString assemblyReport(const AssemblyResult& result, const QString& sliceFolder)
{
    QString text = QStringLiteral("自动拼图：%1 行 × %2 列，切片文件夹 %3\r\n")
                       .arg(result.grid.rows)
                       .arg(result.grid.columns)
                       .arg(QDir::toNativeSeparators(sliceFolder));
    // The engine lists doubtful placements first; keep that order whatever it hands over.
    std::vector<const AssemblyPlacement*> order;
    order.reserve(result.placements.size());
    for (const AssemblyPlacement& p : result.placements)
        order.push_back(&p);
    std::stable_partition(order.begin(), order.end(), [](const AssemblyPlacement* p) { return p->doubtful(); });
    // A doubtful placement shows why it is doubtful instead of a low figure.
    for (const AssemblyPlacement* p : order) {
        text += QStringLiteral("%1第 %2 行 第 %3 列  %4  %5\r\n")
                    .arg(p->doubtful() ? QStringLiteral("存疑  ") : QStringLiteral("      "))
                    .arg(p->row)
                    .arg(p->column)
                    .arg(QFileInfo(p->path).fileName())
                    .arg(p->doubtful() ? doubtReason(*p)
                                       : QStringLiteral("置信度 %1%").arg(confidencePercent(p->confidence)));
    }
    for (const QString& path : result.unplaced)
        text += QStringLiteral("未放置  %1\r\n").arg(QFileInfo(path).fileName());
    text += assemblySummary(result) + QStringLiteral("。\r\n");
    return text;
}

}  // namespace tessera
