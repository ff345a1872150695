#include "callthunk.h"

namespace vek {

#if defined(__i386__)

NativeWord CallNative(const void* fn, const NativeWord* words, size_t count) {
    return vek_call_words32(fn, words, static_cast<uint32_t>(count));
}

#else

NativeWord CallNative(const void* fn, const NativeWord* words, size_t count) {
    using Fn16 = NativeWord (*)(NativeWord, NativeWord, NativeWord, NativeWord, NativeWord, NativeWord,
                                NativeWord, NativeWord, NativeWord, NativeWord, NativeWord, NativeWord,
                                NativeWord, NativeWord, NativeWord, NativeWord);
    NativeWord w[kMaxNativeArgs] = {};
    for (size_t i = 0; i < count && i < kMaxNativeArgs; ++i) w[i] = words[i];
    auto call = reinterpret_cast<Fn16>(const_cast<void*>(fn));
    return call(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9], w[10], w[11], w[12], w[13],
                w[14], w[15]);
}

#endif

}  // namespace vek
