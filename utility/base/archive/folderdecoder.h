// Decoding of one solid block (a "folder" of the 7z format) as a stream of
// its unpacked bytes. Plain C++ over the 7-Zip C decoder, so the fuzz target
// shares it.
#pragma once

#include "utility/base/archive/archivesource.h"

extern "C" {
#include <7z/7z.h>
}

namespace vek {

// Receives a block's unpacked bytes in order; anything but SZ_OK stops the
// decoding with that result.
class IFolderSink {
public:
    virtual SRes Put(const Byte* data, size_t size) = 0;

protected:
    ~IFolderSink() = default;
};

// Decodes block `folder` of `db` into `sink` and checks the block's CRC.
// LZMA, LZMA2 and stored blocks, alone or followed by one branch or delta
// filter, are decoded as a stream: the memory taken is the dictionary (no
// more than the block's unpacked size) and a few MiB of buffers. Any other
// block (BCJ2, PPMd, ...) is decoded whole into memory, which fails with
// SZ_ERROR_MEM when it does not fit. The results are the decoder's.
SRes DecodeFolder(const CSzArEx& db, UInt32 folder, IArchiveSource& source, IFolderSink& sink, ISzAllocPtr alloc);

// The memory DecodeFolder asks for to decode `folder`, roughly.
UInt64 FolderMemory(const CSzArEx& db, UInt32 folder);

}  // namespace vek
