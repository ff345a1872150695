#include "folderdecoder.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

extern "C" {
#include <7z/7zCrc.h>
#include <7z/Bra.h>
#include <7z/CpuArch.h>
#include <7z/Delta.h>
#include <7z/Lzma2Dec.h>
#include <7z/LzmaDec.h>
}

namespace vek {

namespace {

// Method ids of the 7z format.
constexpr UInt32 kCopy = 0, kLzma2 = 0x21, kLzma = 0x30101, kDelta = 3;
constexpr UInt32 kBcj = 0x3030103, kPpc = 0x3030205, kIa64 = 0x3030401, kArm = 0x3030501, kArmt = 0x3030701,
                 kSparc = 0x3030805, kArm64 = 0xa, kRiscv = 0xb;

constexpr size_t kStep = 1u << 20;         // unpacked bytes handed on at a time
constexpr size_t kInputPiece = 1u << 20;   // packed bytes read at a time
constexpr size_t kFilterSlack = 64;        // bytes a branch filter may wait for
constexpr UInt32 kSmallestWindow = 1u << 12;

struct Layout {
    CSzFolder folder;
    const Byte* props = nullptr;
    UInt64 packOffset = 0, packSize = 0, unpackSize = 0;

    const Byte* PropsOf(UInt32 coder) const { return props + folder.Coders[coder].PropsOffset; }
};

SRes ReadLayout(const CSzArEx& db, UInt32 index, Layout* layout) {
    const CSzAr& ar = db.db;
    const Byte* data = ar.CodersData + ar.FoCodersOffsets[index];
    CSzData sd = {data, ar.FoCodersOffsets[index + 1] - ar.FoCodersOffsets[index]};
    const SRes res = SzGetNextFolderItem(&layout->folder, &sd);
    if (res != SZ_OK) return res;
    if (sd.Size != 0 || layout->folder.UnpackStream != ar.FoToMainUnpackSizeIndex[index]) return SZ_ERROR_FAIL;
    layout->props = data;
    const UInt32 pack = ar.FoStartPackStreamIndex[index];
    layout->packOffset = db.dataPos + ar.PackPositions[pack];
    layout->packSize = ar.PackPositions[pack + 1] - ar.PackPositions[pack];
    layout->unpackSize = SzAr_GetFolderUnpackSize(&ar, index);
    return SZ_OK;
}

bool IsStreamedMain(const CSzCoderInfo& coder) {
    return coder.NumStreams == 1 && (coder.MethodID == kCopy || coder.MethodID == kLzma || coder.MethodID == kLzma2);
}

// A branch or delta filter applied to the decoder's output as it comes:
// a branch converter stops a few bytes short of the end of what it was
// given and goes on from there with the next bytes.
class Filter {
public:
    // False for a filter or properties the stream path does not take.
    bool Init(const CSzCoderInfo& coder, const Byte* props) {
        id_ = coder.MethodID;
        if (coder.NumStreams != 1) return false;
        if (id_ == kDelta) {
            if (coder.PropsSize != 1) return false;
            delta_ = props[0] + 1u;
            Delta_Init(deltaState_);
            return true;
        }
        if (id_ == kArm64 || id_ == kRiscv) {
            if (coder.PropsSize == 4) pc_ = GetUi32(props);
            else if (coder.PropsSize != 0) return false;
            if (pc_ & (id_ == kArm64 ? 3u : 1u)) return false;
        } else if (coder.PropsSize != 0) {
            return false;
        }
        branch_ = BranchOf(id_);
        return branch_ != nullptr || id_ == kBcj;
    }

    // Converts `data` in place; the bytes done, the rest wait for more.
    size_t Convert(Byte* data, size_t size) {
        if (id_ == kDelta) {
            Delta_Decode(deltaState_, delta_, data, size);
            return size;
        }
        const Byte* end = id_ == kBcj ? z7_BranchConvSt_X86_Dec(data, size, pc_, &x86State_)
                                      : branch_(data, size, pc_);
        const size_t done = static_cast<size_t>(end - data);
        pc_ += static_cast<UInt32>(done);
        return done;
    }

private:
    static z7_Func_BranchConv BranchOf(UInt32 id) {
        switch (id) {
            case kPpc: return z7_BranchConv_PPC_Dec;
            case kIa64: return z7_BranchConv_IA64_Dec;
            case kSparc: return z7_BranchConv_SPARC_Dec;
            case kArm: return z7_BranchConv_ARM_Dec;
            case kArmt: return z7_BranchConv_ARMT_Dec;
            case kArm64: return z7_BranchConv_ARM64_Dec;
            case kRiscv: return z7_BranchConv_RISCV_Dec;
            default: return nullptr;
        }
    }

    UInt32 id_ = 0;
    UInt32 pc_ = 0;
    UInt32 x86State_ = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
    z7_Func_BranchConv branch_ = nullptr;
    unsigned delta_ = 1;
    Byte deltaState_[DELTA_STATE_SIZE];
};

// The end of the chain: the block's CRC when it has one, then the caller's
// sink; with a filter, the bytes pass through it first (copied, since the
// decoder's window must keep the unfiltered bytes).
class Output {
public:
    Output(IFolderSink& sink, Filter* filter, bool checked) : sink_(sink), filter_(filter), checked_(checked) {
        if (filter_) held_.resize(kStep + kFilterSlack);
    }

    SRes Put(const Byte* data, size_t size) {
        if (!filter_) return Pass(data, size);
        while (size > 0) {
            const size_t n = std::min(size, held_.size() - count_);
            std::memcpy(held_.data() + count_, data, n);
            count_ += n;
            data += n;
            size -= n;
            const size_t done = filter_->Convert(held_.data(), count_);
            const SRes res = Pass(held_.data(), done);
            if (res != SZ_OK) return res;
            std::memmove(held_.data(), held_.data() + done, count_ - done);
            count_ -= done;
        }
        return SZ_OK;
    }

    // The filter's last few bytes stay as they are, as in a whole block.
    SRes Finish() { return filter_ ? Pass(held_.data(), std::exchange(count_, 0)) : SZ_OK; }

    UInt32 Crc() const { return CRC_GET_DIGEST(crc_); }

private:
    SRes Pass(const Byte* data, size_t size) {
        if (size == 0) return SZ_OK;
        if (checked_) crc_ = CrcUpdate(crc_, data, size);
        return sink_.Put(data, size);
    }

    IFolderSink& sink_;
    Filter* filter_;
    const bool checked_;  // the block has a CRC of its own (files have theirs)
    std::vector<Byte> held_;
    size_t count_ = 0;
    UInt32 crc_ = CRC_INIT_VAL;
};

// The packed stream: the source's own bytes when it holds them in memory,
// else read in pieces.
class PackInput {
public:
    PackInput(IArchiveSource& source, UInt64 offset, UInt64 size) : source_(source), offset_(offset), left_(size) {}

    SRes Look(const Byte** data, size_t* size) {
        if (avail_ == 0 && left_ > 0) {
            const SRes res = Fill();
            if (res != SZ_OK) return res;
        }
        *data = cur_;
        *size = avail_;
        return SZ_OK;
    }
    void Skip(size_t n) {
        cur_ += n;
        avail_ -= n;
    }
    bool Drained() const { return avail_ == 0 && left_ == 0; }

private:
    SRes Fill() {
        if (left_ == static_cast<size_t>(left_)) {
            if (const Byte* view = source_.View(offset_, static_cast<size_t>(left_))) {
                cur_ = view;
                avail_ = static_cast<size_t>(left_);
                offset_ += left_;
                left_ = 0;
                return SZ_OK;
            }
        }
        buffer_.resize(kInputPiece);
        size_t read = 0;
        const size_t want = static_cast<size_t>(std::min<UInt64>(left_, buffer_.size()));
        const SRes res = source_.ReadAt(offset_, buffer_.data(), want, &read);
        if (res != SZ_OK) return res;
        if (read == 0) left_ = 0;  // the archive ends early: the decoder sees no more input
        offset_ += read;
        left_ -= std::min<UInt64>(read, left_);
        cur_ = buffer_.data();
        avail_ = read;
        return SZ_OK;
    }

    IArchiveSource& source_;
    UInt64 offset_, left_;
    std::vector<Byte> buffer_;
    const Byte* cur_ = nullptr;
    size_t avail_ = 0;
};

// The LZMA and LZMA2 decoders behind one face, each with a window of the
// dictionary's size, or of the block's size when that is smaller: nothing
// can refer further back than the start of the block.
class LzmaStage {
public:
    LzmaStage(bool lzma2, ISzAllocPtr alloc) : lzma2_(lzma2), alloc_(alloc) {
        LzmaDec_CONSTRUCT(&lzma_);
        Lzma2Dec_CONSTRUCT(&lzma2Dec_);
    }
    ~LzmaStage() {
        ISzAlloc_Free(alloc_, Dec().dic);
        if (lzma2_) Lzma2Dec_FreeProbs(&lzma2Dec_, alloc_);
        else LzmaDec_FreeProbs(&lzma_, alloc_);
    }
    LzmaStage(const LzmaStage&) = delete;
    LzmaStage& operator=(const LzmaStage&) = delete;

    SRes Init(const Byte* props, unsigned propsSize, UInt64 unpackSize) {
        UInt32 dictionary = 0;
        if (lzma2_) {
            if (propsSize != 1) return SZ_ERROR_DATA;
            const SRes res = Lzma2Dec_AllocateProbs(&lzma2Dec_, props[0], alloc_);
            if (res != SZ_OK) return res;
            dictionary = lzma2Dec_.decoder.prop.dicSize;
        } else {
            const SRes res = LzmaDec_AllocateProbs(&lzma_, props, propsSize, alloc_);
            if (res != SZ_OK) return res;
            dictionary = lzma_.prop.dicSize;
        }
        const size_t window = WindowSize(dictionary, unpackSize);
        CLzmaDec& dec = Dec();
        dec.dic = static_cast<Byte*>(ISzAlloc_Alloc(alloc_, window));
        if (!dec.dic) return SZ_ERROR_MEM;
        dec.dicBufSize = window;
        if (lzma2_) Lzma2Dec_Init(&lzma2Dec_);
        else LzmaDec_Init(&lzma_);
        return SZ_OK;
    }

    static size_t WindowSize(UInt32 dictionary, UInt64 unpackSize) {
        return static_cast<size_t>(std::max<UInt64>(std::min<UInt64>(dictionary, unpackSize), kSmallestWindow));
    }

    // Decodes `outSize` bytes into `out` as the SDK's whole-block decoder
    // would, with its checks of the end of the stream.
    SRes Run(PackInput& in, UInt64 outSize, Output& out) {
        CLzmaDec& dec = Dec();
        UInt64 outLeft = outSize;
        for (;;) {
            if (dec.dicPos == dec.dicBufSize) dec.dicPos = 0;
            const SizeT start = dec.dicPos;
            const UInt64 room = std::min<UInt64>(dec.dicBufSize - start, kStep);
            const bool last = outLeft <= room;
            const SizeT limit = start + static_cast<SizeT>(std::min(outLeft, room));
            const Byte* src = nullptr;
            size_t srcLen = 0;
            SRes res = in.Look(&src, &srcLen);
            if (res != SZ_OK) return res;
            SizeT inProcessed = srcLen;
            ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
            const ELzmaFinishMode mode = last ? LZMA_FINISH_END : LZMA_FINISH_ANY;
            res = lzma2_ ? Lzma2Dec_DecodeToDic(&lzma2Dec_, limit, src, &inProcessed, mode, &status)
                         : LzmaDec_DecodeToDic(&lzma_, limit, src, &inProcessed, mode, &status);
            in.Skip(inProcessed);
            if (res != SZ_OK) return res;
            const SizeT produced = dec.dicPos - start;
            if (produced > outLeft) return SZ_ERROR_DATA;
            outLeft -= produced;
            res = out.Put(dec.dic + start, produced);
            if (res != SZ_OK) return res;
            if (status == LZMA_STATUS_FINISHED_WITH_MARK) return outLeft == 0 && in.Drained() ? SZ_OK : SZ_ERROR_DATA;
            if (!lzma2_ && outLeft == 0 && in.Drained() && status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) {
                return SZ_OK;
            }
            if (inProcessed == 0 && produced == 0) return SZ_ERROR_DATA;
        }
    }

private:
    CLzmaDec& Dec() { return lzma2_ ? lzma2Dec_.decoder : lzma_; }

    bool lzma2_;
    ISzAllocPtr alloc_;
    CLzmaDec lzma_;
    CLzma2Dec lzma2Dec_;
};

SRes CopyStored(PackInput& in, UInt64 size, Output& out) {
    while (size > 0) {
        const Byte* src = nullptr;
        size_t n = 0;
        SRes res = in.Look(&src, &n);
        if (res != SZ_OK) return res;
        if (n == 0) return SZ_ERROR_INPUT_EOF;
        n = static_cast<size_t>(std::min<UInt64>({n, size, kStep}));
        res = out.Put(src, n);
        if (res != SZ_OK) return res;
        in.Skip(n);
        size -= n;
    }
    return SZ_OK;
}

// A block that the stream path takes: one main coder on the one packed
// stream, and at most one filter after it.
bool Streamable(const Layout& layout, Filter* filter) {
    const CSzFolder& f = layout.folder;
    if (f.NumPackStreams != 1 || f.PackStreams[0] != 0 || !IsStreamedMain(f.Coders[0])) return false;
    if (f.NumCoders == 1) return f.NumBonds == 0;
    return f.NumCoders == 2 && f.NumBonds == 1 && f.Bonds[0].InIndex == 1 && f.Bonds[0].OutIndex == 0 &&
           filter->Init(f.Coders[1], layout.PropsOf(1));
}

SRes DecodeStreamed(const CSzArEx& db, UInt32 index, const Layout& layout, Filter* filter, IArchiveSource& source,
                    IFolderSink& sink, ISzAllocPtr alloc) {
    const CSzCoderInfo& main = layout.folder.Coders[0];
    PackInput in(source, layout.packOffset, layout.packSize);
    const bool checked = SzBitWithVals_Check(&db.db.FolderCRCs, index);
    Output out(sink, layout.folder.NumCoders == 2 ? filter : nullptr, checked);
    SRes res = SZ_OK;
    if (main.MethodID == kCopy) {
        res = layout.packSize != layout.unpackSize ? SZ_ERROR_DATA : CopyStored(in, layout.unpackSize, out);
    } else {
        LzmaStage stage(main.MethodID == kLzma2, alloc);
        res = stage.Init(layout.PropsOf(0), main.PropsSize, layout.unpackSize);
        if (res == SZ_OK) res = stage.Run(in, layout.unpackSize, out);
    }
    if (res == SZ_OK) res = out.Finish();
    if (res == SZ_OK && checked && out.Crc() != db.db.FolderCRCs.Vals[index]) {
        res = SZ_ERROR_CRC;
    }
    return res;
}

// Any other block, decoded whole by the SDK.
SRes DecodeWhole(const CSzArEx& db, UInt32 index, IArchiveSource& source, IFolderSink& sink, ISzAllocPtr alloc) {
    const UInt64 size = SzAr_GetFolderUnpackSize(&db.db, index);
    if (size != static_cast<size_t>(size)) return SZ_ERROR_MEM;
    Byte* block = size ? static_cast<Byte*>(ISzAlloc_Alloc(alloc, static_cast<size_t>(size))) : nullptr;
    if (size && !block) return SZ_ERROR_MEM;
    LookInSource look(source);
    SRes res = SzAr_DecodeFolder(&db.db, index, look.get(), db.dataPos, block, static_cast<size_t>(size), alloc);
    if (res == SZ_OK && size) res = sink.Put(block, static_cast<size_t>(size));
    ISzAlloc_Free(alloc, block);
    return res;
}

}  // namespace

SRes DecodeFolder(const CSzArEx& db, UInt32 index, IArchiveSource& source, IFolderSink& sink, ISzAllocPtr alloc) {
    Layout layout;
    const SRes res = ReadLayout(db, index, &layout);
    if (res != SZ_OK) return res;
    Filter filter;
    if (Streamable(layout, &filter)) return DecodeStreamed(db, index, layout, &filter, source, sink, alloc);
    return DecodeWhole(db, index, source, sink, alloc);
}

UInt64 FolderMemory(const CSzArEx& db, UInt32 index) {
    Layout layout;
    if (ReadLayout(db, index, &layout) != SZ_OK) return 0;
    Filter filter;
    if (!Streamable(layout, &filter)) return layout.unpackSize;
    const CSzCoderInfo& main = layout.folder.Coders[0];
    UInt64 dictionary = 0;
    if (main.MethodID == kLzma && main.PropsSize == LZMA_PROPS_SIZE) {
        dictionary = GetUi32(layout.PropsOf(0) + 1);
    } else if (main.MethodID == kLzma2 && main.PropsSize == 1) {
        const Byte p = layout.PropsOf(0)[0];
        dictionary = p >= 40 ? 0xFFFFFFFFu : (UInt64(2) | (p & 1)) << (p / 2 + 11);
    }
    return std::min(dictionary, layout.unpackSize) + 2 * kStep + kInputPiece;
}

}  // namespace vek
