// Calling a native function whose signature is known only at run time: every
// argument is one machine word.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#if defined(__i386__)
// 32-bit x86: words pushed right to left; the stack pointer is restored after
// the call whichever convention the callee used (callthunk_x86.S).
uint32_t vek_call_words32(const void* fn, const uint32_t* words, uint32_t count);
#endif
}

namespace vek {

#if defined(__i386__)
using NativeWord = uint32_t;
constexpr size_t kMaxNativeArgs = 255;  // as many as a script call can carry
#else
using NativeWord = uint64_t;
// The Windows x64 convention: the first four words in registers, the rest on
// the stack; passing unused words is harmless, so calls go through one
// 16-argument signature.
constexpr size_t kMaxNativeArgs = 16;
#endif

// Calls `fn` with `count` words (count <= kMaxNativeArgs) and returns the
// full result register.
NativeWord CallNative(const void* fn, const NativeWord* words, size_t count);

}  // namespace vek
