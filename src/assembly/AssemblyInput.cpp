// Reading the reference and the slices of an assembly.
#include "assembly/AutoAssembly.h"

#include "assembly/AssemblyInputData.h"
#include "files/Files.h"
#include "work/HelperThreads.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace tessera {
namespace {

constexpr qint64 kMaxReferenceBytes = 1024LL * 1024 * 1024;

bool isSliceName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("png")
        || suffix == QLatin1String("bmp");
}

}  // namespace

AssemblyInput::AssemblyInput() : data_(std::make_unique<Data>()) {}
AssemblyInput::~AssemblyInput() = default;
AssemblyInput::AssemblyInput(AssemblyInput&&) noexcept = default;
AssemblyInput& AssemblyInput::operator=(AssemblyInput&&) noexcept = default;

const Failure& AssemblyInput::failure() const { return data_->failure; }
QSize AssemblyInput::referenceSize() const { return data_->referenceSize; }
QSize AssemblyInput::sliceSize() const { return data_->shapes.full; }
int AssemblyInput::sliceCount() const { return static_cast<int>(data_->paths.size()); }
QStringList AssemblyInput::slicePaths() const { return data_->paths; }
AssemblyGrid AssemblyInput::proposedGrid() const { return data_->proposed; }

AssemblyInput readAssemblyInput(const QString& referencePath, const QString& sliceFolder, Progress& progress)
{
    AssemblyInput input;
    AssemblyInput::Data& d = input.data();
    const ReadResult reference = readRegularFile(referencePath, kMaxReferenceBytes);
    if (reference.ok)
        d.referenceSize = pictureSize(reference.data, kMaxReferencePixels);
    if (!d.referenceSize.isValid()) {
        d.failure = assemblyFailure(FailureKind::ReferenceUnreadable, referencePath);
        return input;
    }
    d.reference = reference.data;

    const QDir folder(sliceFolder);
    if (sliceFolder.isEmpty() || !folder.exists()) {
        d.failure = assemblyFailure(FailureKind::SliceFolderMissing, sliceFolder);
        return input;
    }
    if (const int error = folderListingError(sliceFolder)) {
        d.failure = assemblyFailure(FailureKind::SliceFolderUnreadable, sliceFolder);
        d.failure.cause = FailureCause::ReadError;
        d.failure.error = error;
        return input;
    }
    // The reference may lie among the slices: it is none of them. Only a file of its size can be
    // it (each entry's size comes with the listing; resolving every name would cost more).
    const QFileInfo referenceInfo(referencePath);
    const QString referenceFile = referenceInfo.canonicalFilePath();
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        if (isSliceName(info.fileName())
            && (info.size() != referenceInfo.size() || info.canonicalFilePath() != referenceFile))
            d.paths << info.absoluteFilePath();
    if (d.paths.isEmpty()) {
        d.failure = assemblyFailure(FailureKind::NoSlices, sliceFolder);
        return input;
    }

    const int n = static_cast<int>(d.paths.size());
    d.sizes.assign(static_cast<std::size_t>(n), QSize());
    d.features.resize(static_cast<std::size_t>(n));
    d.colours.resize(static_cast<std::size_t>(n));
    progress.start(n);
    // Twice the cores: while half wait on the disk, the others decode.
    HelperThreads readers(QThread::idealThreadCount());
    const bool finished = readers.forEach(n, progress, [&d](int i) {
        const auto k = static_cast<std::size_t>(i);
        const ReadResult file = readRegularFile(d.paths[i], kMaxTileFileBytes);
        QSize size;
        if (file.ok && sliceFeature(file.data, size, d.features[k], &d.colours[k]))
            d.sizes[k] = size;
    });
    if (!finished) {
        d.failure = assemblyFailure(FailureKind::Cancelled);
        return input;
    }
    for (int i = 0; i < n; ++i)
        if (!d.sizes[static_cast<std::size_t>(i)].isValid()) {
            d.failure = assemblyFailure(FailureKind::SliceUnreadable, d.paths[i]);
            return input;
        }
    d.shapes = classifySlices(d.sizes, d.paths);
    if (!d.shapes.failure.ok()) {
        d.failure = d.shapes.failure;
        return input;
    }
    d.proposed = guessGrid(d.shapes, d.referenceSize);
    return input;
}

}  // namespace tessera
