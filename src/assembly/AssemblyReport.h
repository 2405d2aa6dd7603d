#pragma once

#include "assembly/AutoAssembly.h"

#include <QString>

namespace tessera {

// The result window's lines for an assembly: one per placement (doubtful ones first, with their
// reason), then the
// slices left unplaced, then the summary; each line ends in CR LF.
QString assemblyReport(const AssemblyResult& result, const QString& sliceFolder);
// "已拼合 N 个单元格，存疑 D 个" and, when some are left, "，未放置 U 个切片".
QString assemblySummary(const AssemblyResult& result);
// Why a placement is doubtful, in words ("与原图差异大", "与第 r 行第 c 列难以区分" …); empty when it is
// not.
QString doubtReason(const AssemblyPlacement& placement);
// Confidence as a whole percentage, rounded down so that a doubtful one never shows 50 %.
int confidencePercent(double confidence);

}  // namespace tessera
