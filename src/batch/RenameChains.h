#pragma once

// The steps of one batch rename and the order in which their renames can be carried out.
#include "files/Files.h"
#include "files/OpenFolders.h"
#include "batch/BatchSupport.h"

#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace tessera {

enum class RenameKind { Rename, Copy, LinkCopy, AlreadyThere, Missing, NotImage, Placeholder, Empty };

inline const QString kTargetExists = QStringLiteral("目标文件已存在");
inline const QString kCycleUndone = QStringLiteral("与它循环更名的文件中有一个失败，已恢复原名");

struct RenameStep {
    int row;
    int column;
    QString old;          // the cell's text before
    QString target;       // folder/r-c.jpg
    RenameKind kind = RenameKind::Empty;
    QString from;         // where the file is now (its aside name while its cycle turns)
    int first = -1;       // for a copy: the step of the first cell naming the same file
    bool done = false;
    bool ok = false;
    QString failure;      // why the step failed
};

// Carries out the renames so that each waits for the file in its way to leave first. Steps are
// the map's cells in order, so a target is known by its step's index. A chain
// ending at a file that stays fails as a whole, each rename refused; a cycle turns with one file
// under a visible aside name, one cycle at a time, so that an interrupted run leaves at most that
// one file aside.
class RenameChains {
public:
    // `picture(i)` says whether step i's file may be renamed at all (it waits to know, and marks
    // one that may not as done).
    RenameChains(Files& files, std::vector<RenameStep>& steps, std::function<bool(int)> picture)
        : files_(files), steps_(steps), picture_(std::move(picture))
    {
    }

    // The file that `step` renames sits at the target of step `target`, until it has left.
    void waitsAt(int target, int step)
    {
        if (pendingAt_.empty())
            pendingAt_.assign(steps_.size(), -1);
        pendingAt_[static_cast<std::size_t>(target)] = step;
    }

    // Whatever rename the step's target waits for is done first.
    void freeTarget(int step)
    {
        if (const int blocker = pendingAt(step); blocker >= 0)
            settle(blocker);
    }

    void settle(int start)
    {
        std::vector<int> chain{start};
        bool cycle = false;
        for (int at = start;;) {
            const int next = pendingAt(at);
            if (next < 0)
                break;
            if (next == start) {
                cycle = true;
                break;
            }
            chain.push_back(next);
            at = next;
        }
        if (cycle) {
            turnCycle(chain);
            return;
        }
        // From the chain's end, with no look at its target first: the no-replace rename refuses a
        // taken one, and then each rename before it finds its own target taken too.
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            rename(*it);
    }

private:
    RenameStep& step(int i) { return steps_[static_cast<std::size_t>(i)]; }

    // The rename whose file is still at the target of step `target`, or -1.
    int pendingAt(int target)
    {
        if (pendingAt_.empty())
            return -1;
        const int i = pendingAt_[static_cast<std::size_t>(target)];
        return i >= 0 && !step(i).done && picture_(i) ? i : -1;
    }

    bool rename(int i)
    {
        RenameStep& s = step(i);
        const FileResult renamed = files_.renameIn(folders_, s.from, s.target);
        s.done = true;
        s.ok = renamed.ok;
        if (s.ok)
            s.from = s.target;
        else
            s.failure = renamed.error;
        return s.ok;
    }

    void turnCycle(const std::vector<int>& chain)
    {
        RenameStep& head = step(chain.front());
        QString aside;
        for (int serial = 1; serial < 100; ++serial) {
            aside = asideName(head.from, serial);
            if (!files_.fileStatus(aside).present)
                break;
        }
        if (const FileResult moved = files_.renameIn(folders_, head.from, aside); !moved) {
            for (int i : chain) {
                step(i).done = true;
                step(i).failure = kTargetExists;
            }
            head.failure = moved.error;
            return;
        }
        head.from = aside;
        std::vector<int> turned;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (!rename(*it))
                break;
            turned.push_back(*it);
        }
        if (turned.size() == chain.size())
            return;
        // One failed: turn the others back so that the aside file can take its own name again.
        for (int i : chain) {
            if (!step(i).done) {
                step(i).done = true;
                step(i).failure = kCycleUndone;
            }
        }
        for (auto it = turned.rbegin(); it != turned.rend(); ++it) {
            RenameStep& s = step(*it);
            if (!files_.renameIn(folders_, s.target, s.old))
                return;  // the rest stays turned; the aside file keeps its visible name
            s.ok = false;
            s.from = s.old;
            s.failure = kCycleUndone;
        }
        if (files_.renameIn(folders_, aside, head.old))
            head.from = head.old;
    }

    Files& files_;
    OpenFolders folders_;  // the target folder and the tiles' folders
    std::vector<RenameStep>& steps_;
    std::function<bool(int)> picture_;
    std::vector<int> pendingAt_;  // a step's target → the rename of the file there; empty when none waits
};

}  // namespace tessera
