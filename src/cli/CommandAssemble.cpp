#include "cli/CommandAssemble.h"
#include "cli/CommandLine.h"

#include "cli/CommandOptions.h"

#include "assembly/AssemblyReport.h"
#include "files/Progress.h"
#include "files/LocalFiles.h"
#include "model/MapPathFile.h"
#include "assembly/AutoAssembly.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <optional>

namespace tessera {
namespace {

int badUsage(QTextStream& err, const QString& why)
{
    return usageError(err, QStringLiteral("assemble"), why, assembleUsage());
}

struct AssembleRequest {
    std::optional<QString> reference;
    std::optional<QString> slices;
    std::optional<QString> output;
    std::optional<QString> report;
    AssemblyGrid grid;  // none given: the one the slices propose
};

// Doubtful cells shown on stderr before the rest are only counted.
constexpr int kDoubtfulShown = 20;

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The placements in the engine's order (doubtful first), then the slices left unplaced; UTF-8
// with a byte-order mark, CR LF.
QByteArray reportCsv(const AssemblyResult& result)
{
    QString text = QStringLiteral("行,列,文件,置信度,存疑原因\r\n");
    for (const AssemblyPlacement& p : result.placements)
        text += QStringLiteral("%1,%2,%3,%4%,%5\r\n")
                    .arg(p.row)
                    .arg(p.column)
                    .arg(csvField(p.path))
                    .arg(confidencePercent(p.confidence))
                    .arg(csvField(doubtReason(p)));
    for (const QString& path : result.unplaced)
        text += QStringLiteral(",,%1,,%2\r\n").arg(csvField(path), QStringLiteral("未放置"));
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

void listDoubtful(const AssemblyResult& result, QTextStream& err)
{
    int listed = 0;
    for (const AssemblyPlacement& p : result.placements) {
        if (!p.doubtful())
            continue;
        if (listed++ == kDoubtfulShown)
            break;
        err << QStringLiteral("存疑：第 %1 行 第 %2 列  %3  置信度 %4%  %5\n")
                   .arg(p.row)
                   .arg(p.column)
                   .arg(QFileInfo(p.path).fileName())
                   .arg(confidencePercent(p.confidence))
                   .arg(doubtReason(p));
    }
    if (result.doubtfulCount > kDoubtfulShown)
        err << QStringLiteral("……另有 %1 个存疑的单元格\n").arg(result.doubtfulCount - kDoubtfulShown);
    err.flush();
}

std::optional<int> parseCount(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > kMaxMapSize)
        return std::nullopt;
    return value;
}

}  // namespace

QString assembleUsage()
{
    return QStringLiteral(
        "用法：tessera assemble --reference 参考图 --slices 切片文件夹 [--rows 行数 --cols 列数] -o 地图路径文件 [--report 报告文件]\n"
        "\n"
        "把切片文件夹中的切片（JPEG、PNG 或 BMP）按参考图（整张地图的缩小图，JPEG、PNG 或 BMP）自动拼合，\n"
        "写出地图路径文件（.tlp，路径为绝对路径），不需要显示器。\n"
        "  --reference 参考图     整张地图的图片\n"
        "  --slices 切片文件夹    切片所在的文件夹（不含子文件夹）\n"
        "  --rows 行数 --cols 列数  两个一起给出，各为 1 到 1000；不给时由切片和参考图推算\n"
        "  -o 地图路径文件        地图的大小取行数和列数中较大的一个\n"
        "  --report 报告文件      另写一份 CSV 报告：每个单元格的行、列、文件、置信度和存疑原因，\n"
        "                         然后是未放置的切片\n"
        "存疑的单元格列在标准错误输出上（最多 20 个，其余只给出个数）。\n"
        "退出状态：0 成功，1 文件无法读取或写入、无法拼合，2 用法错误。\n");
}

namespace {

// The request the arguments make; nothing when they asked for the usage or were wrong (the
// status in `status`).
std::optional<AssembleRequest> readRequest(const QStringList& arguments, QTextStream& out, QTextStream& err, int& status)
{
    AssembleRequest request;
    std::optional<QString> rowsText, columnsText;
    const auto fail = [&](const QString& why) {
        status = badUsage(err, why);
        return std::nullopt;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--help" || a == u"-h") {
            out << assembleUsage();
            status = kExitDone;
            return std::nullopt;
        }
        QString name;
        const OptionMatch match = takeOption(
            arguments, i,
            {{QStringLiteral("--reference"), &request.reference}, {QStringLiteral("--slices"), &request.slices},
             {QStringLiteral("--output"), &request.output},       {QStringLiteral("-o"), &request.output},
             {QStringLiteral("--rows"), &rowsText},               {QStringLiteral("--cols"), &columnsText},
             {QStringLiteral("--report"), &request.report}},
            name);
        if (match == OptionMatch::MissingValue)
            return fail(QStringLiteral("%1 后面缺少值").arg(name));
        if (match == OptionMatch::None)
            return fail(a.startsWith(u'-') ? QStringLiteral("未知的选项“%1”").arg(quotedArgument(a))
                                           : QStringLiteral("多余的参数“%1”").arg(quotedArgument(a)));
    }
    if (request.reference.value_or(QString()).isEmpty())
        return fail(QStringLiteral("缺少 --reference 参考图"));
    if (request.slices.value_or(QString()).isEmpty())
        return fail(QStringLiteral("缺少 --slices 切片文件夹"));
    if (request.output.value_or(QString()).isEmpty())
        return fail(QStringLiteral("缺少 -o 地图路径文件"));
    if (rowsText.has_value() != columnsText.has_value())
        return fail(QStringLiteral("--rows 和 --cols 要一起给出"));
    if (rowsText) {
        const std::optional<int> rows = parseCount(*rowsText);
        const std::optional<int> columns = parseCount(*columnsText);
        if (!rows || !columns)
            return fail(QStringLiteral("行数和列数应为 1 到 %1 之间的整数").arg(kMaxMapSize));
        request.grid = {*rows, *columns};
    }
    return request;
}

}  // namespace

int runAssemble(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    int status = kExitDone;
    const std::optional<AssembleRequest> request = readRequest(arguments, out, err, status);
    if (!request)
        return status;
    const QString reference = QFileInfo(*request->reference).absoluteFilePath();
    const QString slices = QFileInfo(*request->slices).absoluteFilePath();
    const QString output = *request->output;

    QElapsedTimer clock;
    clock.start();
    NullProgress quiet;
    // Absolute paths in, so that the cells hold absolute paths.
    const AssemblyInput input = readAssemblyInput(reference, slices, quiet);
    if (!input.ok()) {
        err << QStringLiteral("tessera assemble：") << failureMessage(input.failure()) << u'\n';
        return kExitFailed;
    }
    const AssemblyResult result = assembleMap(input, request->grid.rows ? request->grid : input.proposedGrid(), quiet);
    if (!result.ok()) {
        err << QStringLiteral("tessera assemble：") << failureMessage(result.failure) << u'\n';
        return kExitFailed;
    }
    const int mapSize = std::max(result.grid.rows, result.grid.columns);
    LocalFiles files;
    const MapFileResult written = writeMapPathFile(files, output, result.cells(mapSize), mapSize, quiet,
                                                   QStringList{reference} + input.slicePaths());
    if (!written.ok()) {
        err << failureMessage(written.failure.of(FailedWork::CommandMapFile)) << u'\n';
        return kExitFailed;
    }
    listDoubtful(result, err);
    if (request->report && !request->report->isEmpty()) {
        const FileResult report = files.writeFileAtomic(*request->report, reportCsv(result),
                                                        QStringList{reference, QFileInfo(output).absoluteFilePath()} + input.slicePaths());
        if (!report) {
            err << QStringLiteral("无法写入报告文件：%1\n%2\n").arg(*request->report, report.error);
            return kExitFailed;
        }
    }
    out << assemblySummary(result)
        << QStringLiteral("，用时 %1 秒：%2\n").arg(QString::number(clock.elapsed() / 1000.0, 'f', 1), output);
    return kExitDone;
}

}  // namespace tessera
