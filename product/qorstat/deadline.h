// A time budget that several waits share.
#pragma once

#include <windows.h>

namespace qor {

class Deadline {
public:
    explicit Deadline(DWORD budgetMs) : end_(::GetTickCount64() + budgetMs) {}
    DWORD Remaining() const {
        const ULONGLONG now = ::GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    ULONGLONG end_;
};

}  // namespace qor
