#include "entrywriter.h"

namespace vek {

bool EntryWriter::Write(const Byte* data, size_t size) {
    crc_ = CrcUpdate(crc_, data, size);
    if (file_->Write(data, size)) return true;
    result_ = {kExtractWrite, ::GetLastError()};
    return false;
}

bool EntryWriter::Seal(const UInt32* crc, const FILETIME* written) {
    if (crc && CRC_GET_DIGEST(crc_) != *crc) {
        result_ = {SZ_ERROR_CRC, 0};
        return false;
    }
    if (written) file_->SetLastWriteTime(*written);
    if (file_->Close()) return true;
    result_ = {kExtractWrite, ::GetLastError()};
    return false;
}

}  // namespace vek
