#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class QTimer;

namespace tessera {

class MapDocument;
class MapJournal;
class Dialogs;
struct JournalError;

// The document's record for crash recovery: every change the map takes (as its history applies,
// undoes or redoes it), the tile the move tool carries, each New map and each save go to a
// `MapJournal` in the user's state folder, which a clean exit removes. A journal that cannot be
// written is said once when it starts so and once when it works again.
class DocumentJournal : public QObject {
    Q_OBJECT

public:
    // `folder` empty: the default journal folder.
    DocumentJournal(MapDocument& document, const QString& folder);
    ~DocumentJournal() override;

    MapJournal& journal() { return *journal_; }
    // The folder the journals are in.
    QString folder() const;
    // Whether the journal holds the map as it is now (it waits for the writer).
    bool current();
    // A clean exit: the journal goes.
    void discard();

private:
    // Journals the carried tile when it is not what the journal has.
    void followCarry();
    void compact();

    MapDocument& document_;
    std::unique_ptr<MapJournal> journal_;
    // The carried tile as journalled: its cell, kNoCell for none, and its text.
    std::uint32_t carriedFrom_;
    QString carried_;
    int mapSize_ = 0;
};

// The reason a journal cannot be written, in words for the user (the file or folder not named).
QString journalErrorText(const JournalError& error);

// At start-up, after this editor's own journal began: every journal left by an editor that did
// not end cleanly is looked at, the newest first. One that was read whole holds nothing unsaved is
// removed. One with unsaved changes is offered ("上次编辑没有正常结束，是否恢复未保存的地图？"): Yes
// rebuilds that map in `document`, the journal removed once this editor's journal holds it; No keeps
// it aside and says where. A damaged journal, or one a failed write left behind, is kept aside
// first and offered with what was recovered and why not all; one with no map is kept aside and said.
// True when a map was recovered.
bool offerRecovery(MapDocument& document, Dialogs& dialogs, const QString& folder);

// 文件 → 恢复以前的地图…: the journals kept aside (date, map size, cells filled, state); one is
// restored as an unsaved map, or deleted.
void restoreKeptMap(MapDocument& document, Dialogs& dialogs);

}  // namespace tessera
