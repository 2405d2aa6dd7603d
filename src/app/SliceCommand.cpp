#include "app/SliceCommand.h"

#include "document/MapDocument.h"
#include "document/MapQuestions.h"
#include "app/ResultWindow.h"
#include "work/LongWork.h"
#include "files/Dialogs.h"
#include "imaging/ImageCodec.h"
#include "model/TileGrid.h"
#include "slicing/PictureRows.h"
#include "slicing/PictureSlicer.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace tessera {
namespace {

const FileDialogOptions& pictureDialog()
{
    static const FileDialogOptions options{
        QStringLiteral("图片文件（jpg、png、bmp、tif）|*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff|所有文件|*.*"),
        QStringLiteral("jpg")};
    return options;
}

}  // namespace

SliceCommand::SliceCommand(MapDocument& document, Dialogs& dialogs, ResultReport& report, QObject* parent)
    : QObject(parent), document_(document), dialogs_(dialogs), report_(report)
{
}

void SliceCommand::start()
{
    const std::optional<QString> chosen = dialogs_.openFileDialog(pictureDialog());
    if (!chosen || chosen->isEmpty())
        return;
    const QString picture = QFileInfo(*chosen).absoluteFilePath();
    const QSize size = readPictureSize(picture);
    if (size.isEmpty()) {
        dialogs_.messageBox(failureMessage(Failure(FailureKind::PictureUnreadable, {picture}).of(FailedWork::Slice)),
                            MessageButtons::OkExclamation);
        return;
    }
    SliceChoices offered = last_;
    offered.folder = QDir::toNativeSeparators(freeFolderBeside(picture));
    const std::optional<SliceChoices> choices = dialogs_.sliceDialog(picture, size, offered, kMinSliceSide, kMaxSliceSide);
    if (!choices)
        return;
    last_ = *choices;
    const QString folder = QFileInfo(QDir::fromNativeSeparators(choices->folder)).absoluteFilePath();
    const int rows = (size.height() + choices->cell.height() - 1) / choices->cell.height();
    const int columns = (size.width() + choices->cell.width() - 1) / choices->cell.width();
    if (std::max(rows, columns) > kMaxMapSize) {
        const Failure tooMany(FailureKind::SliceGridTooLarge, {}, {}, {rows, columns, kMaxMapSize});
        dialogs_.messageBox(failureMessage(tooMany.of(FailedWork::Slice)), MessageButtons::OkExclamation);
        return;
    }
    if (!mayUseFolder(folder, rows, columns))
        return;

    const std::optional<int> mapSize = askToFillMap(dialogs_, document_.grid(), rows, columns);
    if (!mapSize)
        return;

    SliceSettings settings;
    settings.cell = choices->cell;
    settings.quality = choices->quality;
    if (choices->pad)
        settings.pad = choices->padColour;
    Files& files = document_.files();
    // A stopped cut is reported too: the slices it wrote stay.
    document_.work().run<std::shared_ptr<const SliceResult>>(
        [&files, picture, folder, settings](Progress& progress) {
            return std::make_shared<const SliceResult>(slicePicture(files, picture, folder, settings, progress));
        },
        [this, mapSize = *mapSize, folder](std::shared_ptr<const SliceResult> result) { finish(*result, mapSize, folder); },
        LongWork::WhenCancelled::Apply);
}

// The folder offered for the slices: named after the picture, with a number added while that
// name is taken by a file or a folder that is not empty.
QString SliceCommand::freeFolderBeside(const QString& picture)
{
    const QFileInfo info(picture);
    const QString base = info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral("_切片");
    for (int n = 1; n < 1000; ++n) {
        const QString folder = n == 1 ? base : base + QString::number(n);
        const QFileInfo candidate(folder);
        if (!candidate.exists() || (candidate.isDir() && document_.files().fileNames(folder).isEmpty()))
            return folder;
    }
    return base;
}

// A folder that is new or empty is used at once; one that holds a name the cut would write is
// refused before anything is asked or written; another only when the user says so.
bool SliceCommand::mayUseFolder(const QString& folder, int rows, int columns)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        dialogs_.messageBox(QStringLiteral("%1 不是文件夹。").arg(QDir::toNativeSeparators(folder)),
                             MessageButtons::OkExclamation);
        return false;
    }
    const QStringList present = document_.files().fileNames(folder);
    if (present.isEmpty())
        return true;
    if (const QString name = takenSliceName(present, rows, columns, kReferenceFileName); !name.isEmpty()) {
        dialogs_.messageBox(QStringLiteral("文件夹 %1 中已有同名的文件 %2，切分大图不会覆盖已有的文件，没有切分。\n"
                                            "请选择空的文件夹，或先移走这些文件。")
                                 .arg(QDir::toNativeSeparators(folder), name),
                             MessageButtons::OkExclamation);
        return false;
    }
    return dialogs_.messageBox(QStringLiteral("文件夹 %1 中已有 %2 个文件。已有的文件不会被覆盖；"
                                               "切片的名字已被占用时不会切分。是否继续？")
                                    .arg(QDir::toNativeSeparators(folder))
                                    .arg(present.size()),
                                MessageButtons::YesNoInfo)
        == MessageResult::Yes;
}

void SliceCommand::finish(const SliceResult& result, int mapSize, const QString& folder)
{
    if (!result.ok()) {
        const QString message = failureMessage(result.failure);
        const bool stopped = result.failure.kind == FailureKind::Cancelled;
        if (stopped || !result.written.isEmpty()) {
            QString text = message + QStringLiteral("\r\n");
            if (!result.written.isEmpty())
                text += QStringLiteral("已写入的切片：\r\n") + result.written.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
            report_.showResultWindow();
            report_.appendResult(text);
            report_.flush();
        }
        // Stopped by the close box: the program is ending, so no box waits for an answer.
        if (!stopped)
            dialogs_.messageBox(message, MessageButtons::OkExclamation);
        return;
    }
    document_.replaceMap(MapCommandKind::Slice, mapSize, result.cells(mapSize));
    emit referenceWritten(result.reference);
    dialogs_.messageBox(QStringLiteral("已把 %1 × %2 像素的图片切分为 %3 行 × %4 列、%5 个切片，写入 %6。\n"
                                        "原大地图：%7")
                             .arg(result.picture.width())
                             .arg(result.picture.height())
                             .arg(result.rows)
                             .arg(result.columns)
                             .arg(result.written.size())
                             .arg(QDir::toNativeSeparators(folder), QDir::toNativeSeparators(result.reference))
                             + (result.turned ? u'\n' + result.turnedNote() : QString()),
                         MessageButtons::OkInfo);
}

}  // namespace tessera
