#pragma once

#include "render/PictureWriters.h"

#include <memory>

namespace tessera {

// PNG with an alpha channel, deflated on every core: the rows are cut into pieces of about 2 MB,
// each filtered (Sub) and deflated at level 1 on its own and ended on a byte boundary, and the
// pieces are joined in order into one zlib stream, their Adler-32 checksums combined. A few pieces
// are in flight at a time; everything is written to the device from the calling thread.
std::unique_ptr<PictureWriter> createPngWriter();

}  // namespace tessera
