/* The i686 native call (utility/vekscriptengine/nativecall/callthunk_x86.S)
 * built as i386 Linux code and run under qemu-i386-static, since this bench
 * cannot run 32-bit Windows code. The thunk's job is the same on both: push
 * the words, call, come back to a balanced stack whatever the callee's
 * convention.
 *
 *   gcc -m32 -static -O2 -o thunk_test32 thunk_test.c callthunk_x86.S
 *
 * Prints a line per failed check, then "N passed, M failed"; exits 0 only if
 * nothing failed. A crash inside a call is caught and counted as a failure. */
#define _GNU_SOURCE
#include <setjmp.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "mixargs.h"

#if !defined(__i386__)
#error "build with gcc -m32"
#endif

uint32_t vek_call_words32(const void* fn, const uint32_t* words, uint32_t count);

#define STDCALL __attribute__((stdcall, noinline))
#define CDECL __attribute__((cdecl, noinline))

/* --- callees -------------------------------------------------------------- */

static int32_t STDCALL s0(VEK_P0) { return (int32_t)(VEK_H0); }
static int32_t STDCALL s1(VEK_P1) { return (int32_t)(VEK_H1); }
static int32_t STDCALL s3(VEK_P3) { return (int32_t)(VEK_H3); }
static int32_t STDCALL s12(VEK_P12) { return (int32_t)(VEK_H12); }
static int32_t CDECL c0(VEK_P0) { return (int32_t)(VEK_H0); }
static int32_t CDECL c1(VEK_P1) { return (int32_t)(VEK_H1); }
static int32_t CDECL c3(VEK_P3) { return (int32_t)(VEK_H3); }
static int32_t CDECL c12(VEK_P12) { return (int32_t)(VEK_H12); }

static uint32_t STDCALL s_all_ones(void) { return 0xFFFFFFFFu; }
static uint32_t CDECL c_all_ones(void) { return 0xFFFFFFFFu; }

static int STDCALL s_write_out(uint32_t* out, uint32_t value) {
    *out = value;
    return 1;
}
static int CDECL c_write_out(uint32_t* out, uint32_t value) {
    *out = value;
    return 1;
}

struct callee {
    const char* name;
    const void* fn;
    unsigned params;
};

static const struct callee kMixers[] = {
    {"stdcall/0", (const void*)s0, 0},  {"stdcall/1", (const void*)s1, 1},
    {"stdcall/3", (const void*)s3, 3},  {"stdcall/12", (const void*)s12, 12},
    {"cdecl/0", (const void*)c0, 0},    {"cdecl/1", (const void*)c1, 1},
    {"cdecl/3", (const void*)c3, 3},    {"cdecl/12", (const void*)c12, 12},
};
#define MIXERS (sizeof kMixers / sizeof kMixers[0])

/* High bits set in every word so that a truncated or sign-mangled word shows. */
static const uint32_t kWords[12] = {
    0x80000001u, 0xFFFFFFFEu, 0x12345678u, 0x9ABCDEF0u, 0x00000005u, 0xDEADBEEFu,
    0x7FFFFFFFu, 0x80000000u, 0x0000FFFFu, 0xCAFEBABEu, 0x00000000u, 0xFFFFFFFFu,
};

/* --- a call with every register the thunk must keep set to a known value ---
 *
 * probe_call(fn, words, count, out) loads sentinels into ebx, esi, edi and
 * ebp, calls the thunk like a cdecl caller, and records the result, which
 * sentinels were lost, and the stack pointer before the arguments and after
 * popping them. It then takes the stack pointer back from the record, so a
 * thunk that loses stack is reported instead of taking the test down. */
struct probe {
    uint32_t result;
    uint32_t lost_regs; /* bit 0 ebx, 1 esi, 2 edi, 3 ebp */
    uint32_t sp_before;
    uint32_t sp_after;
};
struct probe* probe_record;
void probe_call(const void* fn, const uint32_t* words, uint32_t count, struct probe* out);

__asm__(
    "    .text\n"
    "    .globl probe_call\n"
    "    .type probe_call, @function\n"
    "probe_call:\n"
    "    pushl %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    movl 32(%esp), %eax\n"          /* out */
    "    movl %eax, probe_record\n"
    "    movl %esp, 8(%eax)\n"
    /* count, words, fn: each push moves the next one to 28(%esp) */
    "    pushl 28(%esp)\n"
    "    pushl 28(%esp)\n"
    "    pushl 28(%esp)\n"
    "    movl $0x0EB00EB0, %ebx\n"
    "    movl $0x0E510E51, %esi\n"
    "    movl $0x0ED10ED1, %edi\n"
    "    movl $0x0EB90EB9, %ebp\n"
    "    call vek_call_words32\n"
    "    addl $12, %esp\n"
    "    movl probe_record, %edx\n"
    "    movl %eax, 0(%edx)\n"
    "    movl %esp, 12(%edx)\n"
    "    xorl %ecx, %ecx\n"
    "    cmpl $0x0EB00EB0, %ebx\n"
    "    je 1f\n"
    "    orl $1, %ecx\n"
    "1:  cmpl $0x0E510E51, %esi\n"
    "    je 1f\n"
    "    orl $2, %ecx\n"
    "1:  cmpl $0x0ED10ED1, %edi\n"
    "    je 1f\n"
    "    orl $4, %ecx\n"
    "1:  cmpl $0x0EB90EB9, %ebp\n"
    "    je 1f\n"
    "    orl $8, %ecx\n"
    "1:  movl %ecx, 4(%edx)\n"
    "    movl 8(%edx), %esp\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n"
    "    .size probe_call, .-probe_call\n");

static inline uint32_t read_sp(void) {
    uint32_t sp;
    __asm__ volatile("movl %%esp, %0" : "=r"(sp));
    return sp;
}

/* --- bookkeeping ------------------------------------------------------------ */

static unsigned g_passed, g_failed;
/* what is being called, for the report of a fault */
static const char* volatile g_current = "";

static void check(int ok, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
static void check(int ok, const char* fmt, ...) {
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    va_list ap;
    va_start(ap, fmt);
    printf("FAIL: ");
    vprintf(fmt, ap);
    printf("\n");
    va_end(ap);
}

#define LOST_BITS "ebx=1 esi=2 edi=4 ebp=8: 0x%x"

/* A probed call: result, registers and stack in one go. */
static void check_probe(const char* what, const void* fn, const uint32_t* words, unsigned count,
                        uint32_t expected) {
    struct probe p;
    memset(&p, 0, sizeof p);
    g_current = what;
    probe_call(fn, words, count, &p);
    check(p.result == expected, "%s: result 0x%08x, expected 0x%08x", what, p.result, expected);
    check(p.lost_regs == 0, "%s: callee-saved registers lost (" LOST_BITS ")", what, p.lost_regs);
    check(p.sp_after == p.sp_before, "%s: stack pointer moved by %d bytes", what,
          (int)(p.sp_after - p.sp_before));
}

static sigjmp_buf g_fault_jump;

static void on_fault(int sig) { siglongjmp(g_fault_jump, sig); }

/* Runs one group of checks; a fault in it (a thunk returning to the wrong
 * place) counts as one failure and the next group still runs. */
static void run_group(const char* name, void (*group)(void)) {
    g_current = "";
    int sig = sigsetjmp(g_fault_jump, 1);
    if (sig == 0)
        group();
    else
        check(0, "%s: signal %d in %s", name, sig, g_current);
}

/* --- the checks --------------------------------------------------------------- */

/* (a) each callee called with the words it declares */
static void correct_declarations(void) {
    for (unsigned i = 0; i < MIXERS; ++i) {
        const struct callee* c = &kMixers[i];
        uint32_t expected = vek_mix_words(kWords, c->params);
        check_probe(c->name, c->fn, kWords, c->params, expected);
        /* and straight from C, as the host calls it */
        g_current = c->name;
        uint32_t r = vek_call_words32(c->fn, kWords, c->params);
        check(r == expected, "%s from C: result 0x%08x, expected 0x%08x", c->name, r, expected);
    }
}

/* (b) the declaration is wrong: more words than the callee takes, under
 * either convention. The callee mixes only its own; a stdcall one pops fewer
 * bytes than were pushed. Called from C in a loop, the loop head must see the
 * same stack pointer every round. */
static const struct {
    unsigned callee; /* index into kMixers */
    unsigned words;
} kMismatched[] = {
    {0, 1}, {1, 3}, {2, 12}, {3, 12}, {4, 2}, {5, 12}, {6, 7}, {7, 12}, {0, 12}, {4, 12},
};
#define MISMATCHED (sizeof kMismatched / sizeof kMismatched[0])
#define ROUNDS 100000u

static void wrong_declarations(void) {
    for (unsigned i = 0; i < MISMATCHED; ++i) {
        const struct callee* c = &kMixers[kMismatched[i].callee];
        static char what[64]; /* outlives a fault: g_current points here */
        snprintf(what, sizeof what, "%s given %u words", c->name, kMismatched[i].words);
        check_probe(what, c->fn, kWords, kMismatched[i].words, vek_mix_words(kWords, c->params));
    }

    g_current = "the mixed calls loop";
    unsigned bad = 0, first_bad = 0;
    uint32_t sp_first = 0, sp = 0;
    for (unsigned round = 0;; ++round) {
        sp = read_sp();
        if (round == 0) sp_first = sp;
        if (sp != sp_first || round == ROUNDS) break;
        unsigned k = round % MISMATCHED;
        const struct callee* c = &kMixers[kMismatched[k].callee];
        uint32_t r = vek_call_words32(c->fn, kWords, kMismatched[k].words);
        if (r != vek_mix_words(kWords, c->params) && bad++ == 0) first_bad = round;
    }
    check(sp == sp_first, "%u mixed calls: stack pointer moved by %d bytes", ROUNDS,
          (int)(sp - sp_first));
    check(bad == 0, "%u mixed calls: %u wrong results, first in round %u", ROUNDS, bad, first_bad);
}

/* (c) the registers a caller keeps its values in survive a call: the probe
 * checks all four; here ordinary -O2 code keeps its own values across calls. */
static void callee_saved_registers(void) {
    uint32_t a = 0x11111111u, b = 0x22222222u, c = 0x33333333u, d = 0x44444444u;
    uint32_t e = 0x55555555u;
    g_current = "the locals loop";
    for (unsigned i = 0; i < 1000; ++i) {
        const struct callee* m = &kMixers[i % MIXERS];
        uint32_t r = vek_call_words32(m->fn, kWords, m->params);
        a += r;
        b ^= a;
        c += b;
        d ^= c;
        e += i;
    }
    /* the same arithmetic without the calls */
    uint32_t a2 = 0x11111111u, b2 = 0x22222222u, c2 = 0x33333333u, d2 = 0x44444444u;
    uint32_t e2 = 0x55555555u;
    for (unsigned i = 0; i < 1000; ++i) {
        a2 += vek_mix_words(kWords, kMixers[i % MIXERS].params);
        b2 ^= a2;
        c2 += b2;
        d2 ^= c2;
        e2 += i;
    }
    check(a == a2 && b == b2 && c == c2 && d == d2 && e == e2,
          "locals across calls changed: %08x %08x %08x %08x %08x, "
          "expected %08x %08x %08x %08x %08x",
          a, b, c, d, e, a2, b2, c2, d2, e2);

    struct probe p;
    memset(&p, 0, sizeof p);
    g_current = "stdcall/12";
    probe_call((const void*)s12, kWords, 12, &p);
    check(p.lost_regs == 0, "stdcall/12: callee-saved registers lost (" LOST_BITS ")", p.lost_regs);
    memset(&p, 0, sizeof p);
    g_current = "cdecl/12";
    probe_call((const void*)c12, kWords, 12, &p);
    check(p.lost_regs == 0, "cdecl/12: callee-saved registers lost (" LOST_BITS ")", p.lost_regs);
}

/* (d) all 32 bits of the result come back */
static void all_ones(void) {
    check_probe("stdcall all ones", (const void*)s_all_ones, NULL, 0, 0xFFFFFFFFu);
    check_probe("cdecl all ones", (const void*)c_all_ones, NULL, 0, 0xFFFFFFFFu);
    g_current = "stdcall all ones from C";
    uint32_t r = vek_call_words32((const void*)s_all_ones, NULL, 0);
    check(r == 0xFFFFFFFFu, "stdcall all ones from C: 0x%08x", r);
}

/* (e) a pointer word reaches the callee intact and it writes through it */
static void write_through_pointer(void) {
    static const struct {
        const char* name;
        const void* fn;
    } writers[] = {
        {"stdcall write", (const void*)s_write_out},
        {"cdecl write", (const void*)c_write_out},
    };
    for (unsigned i = 0; i < 2; ++i) {
        volatile uint32_t out = 0;
        uint32_t words[2] = {(uint32_t)(uintptr_t)&out, 0xA5C3F00Du + i};
        check_probe(writers[i].name, writers[i].fn, words, 2, 1);
        check(out == 0xA5C3F00Du + i, "%s: wrote 0x%08x, expected 0x%08x", writers[i].name, out,
              0xA5C3F00Du + i);
    }
}

int main(void) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    /* faults are handled on their own stack: the thread's may be the broken part */
    static char alt[64 * 1024];
    stack_t ss;
    memset(&ss, 0, sizeof ss);
    ss.ss_sp = alt;
    ss.ss_size = sizeof alt;
    sigaltstack(&ss, NULL);
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_fault;
    sa.sa_flags = SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGSEGV, &sa, NULL);
    sigaction(SIGBUS, &sa, NULL);
    sigaction(SIGILL, &sa, NULL);
    sigaction(SIGFPE, &sa, NULL);

    run_group("correct declarations", correct_declarations);
    run_group("wrong declarations", wrong_declarations);
    run_group("callee-saved registers", callee_saved_registers);
    run_group("all ones", all_ones);
    run_group("write through pointer", write_through_pointer);

    printf("%u passed, %u failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
