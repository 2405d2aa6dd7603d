#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace tessera {

// Why an engine's work (the map picture, 自动拼图) gave no result. The engines name the kind and
// its particulars; `failureMessage` words every kind for the user.
enum class FailureKind {
    None,
    Cancelled,
    // The map picture; files: the picture.
    EmptyMap,
    CellSizeOutOfRange,  // figures: the largest cell side
    JpegTooLarge,        // figures: width, height, libjpeg's largest side
    BandTooLarge,        // figures: the width of one cell row, its height
    Unwritable,          // detail: the file system's or the device's reason
    EncoderFailed,       // detail: the format, "PNG" or "JPEG"
    OutOfMemory,
    // 自动拼图.
    ReferenceUnreadable,    // files: the reference picture, when known
    SliceFolderMissing,     // files: the folder
    SliceFolderUnreadable,  // files: the folder; detail or cause: the file system's reason
    NoSlices,               // files: the folder
    SliceUnreadable,        // files: the slice
    SliceSizesDiffer,       // files: two slices; figures: the first's width and height, the second's
    GridOutOfRange,         // figures: the largest row or column count
    GridTooLarge,           // figures: rows, columns, slices
    // TMX and TMJ maps; files: the map first.
    FileUnreadable,       // files: the map, then the file that could not be read; detail: why
    NotTiledMap,          // files: the map, then the file; detail: where and what the reader met
    UnsupportedMap,       // detail: what the map is or uses
    TiledMapTooLarge,     // figures: width, height, the largest side
    NoTileLayer,          //
    SpritesheetTileset,   // files: the map, then the tileset's name: its picture or tile size missing
    UnstorablePath,       // files: the map, then the tile's path
    TileUnwritable,       // files: the map, then the tile picture or its folder; detail: why
    NoSuchLayer,          // files: the map, then its tile layers; detail: the layer asked for

    // 切分大图; figures end with the count of slices written, where one is given.
    PictureUnreadable,    // files: the picture; detail or cause: the reason, when known
    PictureTooLarge,      // files: the picture; figures: width, height, the largest pixel count read whole
    PictureCut,           // files: the picture; figures: the rows read, its height, slices written
    SliceCellOutOfRange,  // figures: the smallest side, the largest
    SliceGridTooLarge,    // figures: rows, columns, the largest map side
    SliceExists,          // files: the file already there
    SliceUnwritable,      // files: the file or folder; detail or cause: the reason; figures: slices written

    // The map path file; files: the file.
    MapFileUnreadable,  // detail: the file system's reason
    NotMapText,         // figures: what the file is instead (MapFileKind)
    MapFileTooLarge,    // figures: its lines, its longest line's fields, the largest map side
    MapFileUnwritable,  // detail: the file system's reason
};
inline constexpr FailureKind kLastFailureKind = FailureKind::MapFileUnwritable;

// What a file is when it cannot be a map path file at all.
enum class MapFileKind {
    Text,
    Utf16,    // UTF-16 text (byte-order mark)
    Picture,  // starts with a picture signature
    Archive,  // starts with an archive or compressed-file signature
    Binary,   // control bytes in its first line
    OtherText,  // JSON or XML (a bracket first) with line breaks but no CR LF and no "|": one cell, no map
};

// Why a file or picture could not be read or written, for the kinds whose detail is a reason.
enum class FailureCause {
    Detail,          // the detail as given
    ReadError,       // `error`: an errno value, reading
    WriteError,      // `error`: an errno value, writing
    NotRegularFile,
    FolderNotMade,
    JpegNotEncoded,
    // A picture's decoder.
    NotJpeg,
    UnsupportedJpeg,
    JpegTooBig,
    BadJpegData,
    UnknownFormat,
    FileNotFound,
    DeviceError,
    BadPictureData,
    PictureUnreadable,
    // A tile cut from a picture.
    NoPicture,         // the sheet is no picture the decoder reads
    TileFolderNotMade,
    NamesTaken,        // every numbered name for the tile holds another picture
};

// The work that failed, which a message names.
// TiledRead: a TMX or TMJ map read by a command, where nothing is imported and no map is open;
// MapFile: the editor's import or export of a map path file; CommandMapFile: a command's.
enum class FailedWork { MapPicture, AutoAssembly, TiledExport, TiledImport, TiledRead, Slice, MapFile, CommandMapFile };

struct Failure {
    Failure() = default;
    Failure(FailureKind what, QStringList concerned = {}, QString why = {}, QList<qint64> numbers = {})
        : kind(what), files(std::move(concerned)), detail(std::move(why)), figures(std::move(numbers))
    {
    }

    FailureKind kind = FailureKind::None;
    FailedWork work = FailedWork::MapPicture;
    QStringList files;      // the files or folders concerned, as given
    QString detail;         // see the kind
    QList<qint64> figures;  // sizes and counts, in the order the kind lists them
    FailureCause cause = FailureCause::Detail;  // the reason a kind's detail would give
    int error = 0;                              // see the cause

    bool ok() const { return kind == FailureKind::None; }
    // The same failure, of another work: a command words it in its own way.
    Failure of(FailedWork other) const
    {
        Failure failure = *this;
        failure.work = other;
        return failure;
    }
    static Failure because(FailureKind what, QStringList concerned, FailureCause cause, int error = 0,
                           QList<qint64> numbers = {})
    {
        Failure failure(what, std::move(concerned), {}, std::move(numbers));
        failure.cause = cause;
        failure.error = error;
        return failure;
    }
};

// Why a file of `kind` (not Text) is no map path file, in words for the user.
QString notMapTextReason(MapFileKind kind);

// The message for the user (Chinese); empty for no failure.
QString failureMessage(const Failure& failure);

}  // namespace tessera
