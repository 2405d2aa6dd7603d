#pragma once

#include <QString>

namespace tessera {

enum class FileAccess { Read, Write };

// Why a file operation failed (an errno value), in words for the user; never a path.
QString fileErrorText(int error, FileAccess access = FileAccess::Write);

}  // namespace tessera
