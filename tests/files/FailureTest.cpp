#include "files/Failure.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

// Every kind has words of its own; a map picture's failure names the picture first, and a
// cancelled picture, 自动拼图 and 切分大图 each read differently.
TEST(FailureTest, EveryKindIsWordedDistinctly)
{
    EXPECT_TRUE(failureMessage(Failure{}).isEmpty());
    const QStringList files{QStringLiteral("/maps/a.jpg"), QStringLiteral("/maps/b.jpg")};
    const QString prefix = QStringLiteral("地图图片没有写入：\n/maps/a.jpg\n");
    QSet<QString> seen;
    for (int k = 1; k <= static_cast<int>(kLastFailureKind); ++k) {
        for (const FailedWork work : {FailedWork::MapPicture, FailedWork::AutoAssembly, FailedWork::Slice}) {
            Failure failure(static_cast<FailureKind>(k), files, QStringLiteral("磁盘空间不足"), {1, 2, 3, 4});
            failure.work = work;
            const QString text = failureMessage(failure);
            const QString reason = work == FailedWork::MapPicture ? text.mid(prefix.size()) : text;
            SCOPED_TRACE(testing::Message() << "kind " << k << ": " << text.toStdString());
            EXPECT_EQ(text.startsWith(prefix), work == FailedWork::MapPicture);
            EXPECT_FALSE(reason.isEmpty());
            if (work == FailedWork::AutoAssembly || k == static_cast<int>(FailureKind::Cancelled)) {
                EXPECT_FALSE(seen.contains(reason));
                seen.insert(reason);
            }
        }
    }
}

}  // namespace
