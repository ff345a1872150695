/* Parameter lists and the result of the argument-mixing test callees
 * (vektestlib.dll and thunk_test.c): h = 7, then h = h*31 + a for each
 * argument in order, in uint32_t, so a lost, extra or swapped word shows.
 *
 *   int32_t f(VEK_P3) { return (int32_t)(VEK_H3); }
 */
#ifndef VEK_MIXARGS_H
#define VEK_MIXARGS_H

#include <stdint.h>

#define VEK_P0 void
#define VEK_P1 int32_t a1
#define VEK_P2 VEK_P1, int32_t a2
#define VEK_P3 VEK_P2, int32_t a3
#define VEK_P4 VEK_P3, int32_t a4
#define VEK_P5 VEK_P4, int32_t a5
#define VEK_P6 VEK_P5, int32_t a6
#define VEK_P7 VEK_P6, int32_t a7
#define VEK_P8 VEK_P7, int32_t a8
#define VEK_P9 VEK_P8, int32_t a9
#define VEK_P10 VEK_P9, int32_t a10
#define VEK_P11 VEK_P10, int32_t a11
#define VEK_P12 VEK_P11, int32_t a12
#define VEK_P13 VEK_P12, int32_t a13
#define VEK_P14 VEK_P13, int32_t a14
#define VEK_P15 VEK_P14, int32_t a15
#define VEK_P16 VEK_P15, int32_t a16

#define VEK_H0 7u
#define VEK_H1 (VEK_H0 * 31u + (uint32_t)a1)
#define VEK_H2 (VEK_H1 * 31u + (uint32_t)a2)
#define VEK_H3 (VEK_H2 * 31u + (uint32_t)a3)
#define VEK_H4 (VEK_H3 * 31u + (uint32_t)a4)
#define VEK_H5 (VEK_H4 * 31u + (uint32_t)a5)
#define VEK_H6 (VEK_H5 * 31u + (uint32_t)a6)
#define VEK_H7 (VEK_H6 * 31u + (uint32_t)a7)
#define VEK_H8 (VEK_H7 * 31u + (uint32_t)a8)
#define VEK_H9 (VEK_H8 * 31u + (uint32_t)a9)
#define VEK_H10 (VEK_H9 * 31u + (uint32_t)a10)
#define VEK_H11 (VEK_H10 * 31u + (uint32_t)a11)
#define VEK_H12 (VEK_H11 * 31u + (uint32_t)a12)
#define VEK_H13 (VEK_H12 * 31u + (uint32_t)a13)
#define VEK_H14 (VEK_H13 * 31u + (uint32_t)a14)
#define VEK_H15 (VEK_H14 * 31u + (uint32_t)a15)
#define VEK_H16 (VEK_H15 * 31u + (uint32_t)a16)

/* The same over an array of words, for expected values. */
static inline uint32_t vek_mix_words(const uint32_t* w, unsigned n) {
    uint32_t h = 7u;
    for (unsigned i = 0; i < n; ++i) h = h * 31u + w[i];
    return h;
}

#endif
