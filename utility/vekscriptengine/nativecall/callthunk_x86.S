/* The native call of 32-bit x86 builds.
 *
 *   uint32_t vek_call_words32(const void* fn, const uint32_t* words, uint32_t count);  (cdecl)
 *
 * Pushes words[count-1] .. words[0] (so the callee finds words[0] at the
 * lowest address), calls fn and returns its 32-bit result. The stack pointer
 * is restored from a callee-saved register after the call, so a callee that
 * removes its own arguments (stdcall) and one that leaves them (cdecl) both
 * return to a balanced stack, whatever the script declared.
 */
#if defined(_WIN32) || defined(__CYGWIN__)
#define SYMBOL(name) _##name
#else
#define SYMBOL(name) name
#endif

    .text
    .globl SYMBOL(vek_call_words32)
SYMBOL(vek_call_words32):
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi        /* words */
    movl 16(%ebp), %ecx        /* count */
    movl %esp, %edi            /* the stack as it must be after the call */
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jmp 1b
2:  call *8(%ebp)
    movl %edi, %esp
    popl %edi
    popl %esi
    popl %ebp
    ret

#if !defined(_WIN32)
    .section .note.GNU-stack,"",@progbits
#endif
