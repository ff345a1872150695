#include "utility/vekui/win/imeposition.h"

#include <imm.h>

#include "utility/base/dllsearch.h"
#include "utility/base/handles.h"

namespace vekui {
namespace {

struct ImmFunctions {
    HIMC(WINAPI* getContext)(HWND) = nullptr;
    BOOL(WINAPI* releaseContext)(HWND, HIMC) = nullptr;
    BOOL(WINAPI* setCompositionWindow)(HIMC, COMPOSITIONFORM*) = nullptr;
    BOOL(WINAPI* setCandidateWindow)(HIMC, CANDIDATEFORM*) = nullptr;
    bool ok() const { return getContext && releaseContext && setCompositionWindow; }
};

template <typename F>
void Resolve(HMODULE module, const char* name, F* fn) {
    *fn = reinterpret_cast<F>(::GetProcAddress(module, name));
}

// Loaded once for the process by its full system path.
const ImmFunctions& Imm() {
    static vek::UniqueModule module(vek::LoadSystemLibrary(L"imm32.dll"));
    static const ImmFunctions functions = [] {
        ImmFunctions f;
        if (!module) return f;
        Resolve(module.get(), "ImmGetContext", &f.getContext);
        Resolve(module.get(), "ImmReleaseContext", &f.releaseContext);
        Resolve(module.get(), "ImmSetCompositionWindow", &f.setCompositionWindow);
        Resolve(module.get(), "ImmSetCandidateWindow", &f.setCandidateWindow);
        return f;
    }();
    return functions;
}

}  // namespace

bool SetImeCompositionPosition(HWND hwnd, const Rect& caret) {
    const ImmFunctions& imm = Imm();
    if (!imm.ok()) return false;
    HIMC context = imm.getContext(hwnd);
    if (!context) return false;
    COMPOSITIONFORM composition = {};
    composition.dwStyle = CFS_POINT;
    composition.ptCurrentPos = {caret.left, caret.top};
    const BOOL placed = imm.setCompositionWindow(context, &composition);
    if (imm.setCandidateWindow) {
        CANDIDATEFORM candidate = {};
        candidate.dwStyle = CFS_CANDIDATEPOS;
        candidate.ptCurrentPos = {caret.left, caret.bottom};
        imm.setCandidateWindow(context, &candidate);
    }
    imm.releaseContext(hwnd, context);
    return placed != FALSE;
}

}  // namespace vekui
