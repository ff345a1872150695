/* vektestlib.dll: exports with known signatures and results, the target of
 * the scripts' native calls in the tests. Names are exported undecorated
 * (vektestlib.def), as a script names them. */
#include <windows.h>
#include <stdint.h>
#include <string.h>
#include <wchar.h>

#include "mixargs.h"

/* Same arguments, both conventions: a caller that gets the convention wrong
 * must still see the right result and keep a balanced stack. */
#define VEK_MIX_PAIR(n)                                                           \
    int32_t WINAPI StdMix##n(VEK_P##n) { return (int32_t)(VEK_H##n); }             \
    int32_t __cdecl CMix##n(VEK_P##n) { return (int32_t)(VEK_H##n); }

VEK_MIX_PAIR(0)
VEK_MIX_PAIR(1)
VEK_MIX_PAIR(2)
VEK_MIX_PAIR(3)
VEK_MIX_PAIR(4)
VEK_MIX_PAIR(5)
VEK_MIX_PAIR(6)
VEK_MIX_PAIR(7)
VEK_MIX_PAIR(8)
VEK_MIX_PAIR(9)
VEK_MIX_PAIR(10)
VEK_MIX_PAIR(11)
VEK_MIX_PAIR(12)

/* The most words a call takes on x86_64. */
int32_t WINAPI StdMix16(VEK_P16) { return (int32_t)(VEK_H16); }

/* All 32 bits set: must not come back as a sign-extended or truncated value. */
uint32_t WINAPI AllOnes(void) { return 0xFFFFFFFFu; }

/* On x86_64 a script's -1 must arrive as a 64-bit -1, not 0xFFFFFFFF. */
int WINAPI IsMinusOne(intptr_t v) { return v == (intptr_t)-1; }

void* WINAPI EchoPtr(void* p) { return p; }

BOOL WINAPI WriteOut(uint32_t* out, uint32_t value) {
    *out = value;
    return TRUE;
}

int WINAPI WLen(const wchar_t* s) { return s ? (int)wcslen(s) : -1; }
int WINAPI ALen(const char* s) { return s ? (int)strlen(s) : -1; }

static const wchar_t kWGreeting[] = L"\u4f60\u597d, Tovik";
static const char kAGreeting[] = "abc";

const wchar_t* WINAPI WGreeting(void) { return kWGreeting; }
const char* WINAPI AGreeting(void) { return kAGreeting; }
const void* WINAPI NullText(void) { return NULL; }

uint32_t WINAPI SetErr(uint32_t e) {
    SetLastError(e);
    return e;
}

/* Shows how many times a call really happened (once per script call). */
static volatile LONG g_calls;

int WINAPI Counted(int x) {
    InterlockedIncrement(&g_calls);
    return x;
}

int WINAPI CallCount(void) { return (int)g_calls; }

/* COM registration entry points: they leave a mark the tests read back. */
#define VEK_REG_KEY L"Software\\VekTest\\Registration"

HRESULT WINAPI DllRegisterServer(void) {
    DWORD one = 1;
    return RegSetKeyValueW(HKEY_CURRENT_USER, VEK_REG_KEY, L"Registered", REG_DWORD, &one, sizeof one) == ERROR_SUCCESS
               ? S_OK
               : E_FAIL;
}

HRESULT WINAPI DllUnregisterServer(void) {
    DWORD zero = 0;
    return RegSetKeyValueW(HKEY_CURRENT_USER, VEK_REG_KEY, L"Registered", REG_DWORD, &zero, sizeof zero) == ERROR_SUCCESS
               ? S_OK
               : E_FAIL;
}
