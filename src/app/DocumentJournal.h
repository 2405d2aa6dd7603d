#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace tessera {

class MapDocument;
class MapJournal;
class Platform;

// The document's record for crash recovery: every change the map takes (as its history applies,
// undoes or redoes it), each New map and each save go to a `MapJournal` in the user's state folder,
// which a clean exit removes.
class DocumentJournal : public QObject {
    Q_OBJECT

public:
    // `folder` empty: the default journal folder.
    DocumentJournal(MapDocument& document, const QString& folder);
    ~DocumentJournal() override;

    MapJournal& journal() { return *journal_; }
    // A clean exit: the journal goes.
    void discard();

private:
    MapDocument& document_;
    std::unique_ptr<MapJournal> journal_;
};

// At start-up, before this editor's own journal begins: every journal left by an editor that did
// not end cleanly and that holds unsaved changes is offered ("上次编辑没有正常结束，是否恢复未保存的
// 地图？"). Yes rebuilds that map in `document`; No keeps the journal aside and says where. Journals
// with nothing unsaved are removed. True when a map was recovered.
bool offerRecovery(MapDocument& document, Platform& platform, const QString& folder);

}  // namespace tessera
