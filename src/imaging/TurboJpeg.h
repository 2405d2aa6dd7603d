#pragma once

// The TurboJPEG pieces shared by the picture decoders.
#include <QByteArrayView>

#include <turbojpeg.h>

namespace tessera {

struct TjHandle {
    tjhandle handle;
    explicit TjHandle(tjhandle made = tjInitDecompress()) : handle(made) {}
    TjHandle(const TjHandle&) = delete;
    TjHandle& operator=(const TjHandle&) = delete;
    ~TjHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
    // A header that libjpeg rejects half-way leaves the handle unusable for the next picture.
    void renew()
    {
        if (handle)
            tjDestroy(handle);
        handle = tjInitDecompress();
    }
};

// The calling thread's decompressor.
inline TjHandle& decompressor()
{
    thread_local TjHandle instance;
    return instance;
}

// The calling thread's compressor.
inline TjHandle& compressor()
{
    thread_local TjHandle instance(tjInitCompress());
    return instance;
}

inline bool isJpeg(QByteArrayView bytes)
{
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

}  // namespace tessera
