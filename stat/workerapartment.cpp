#include "stat/workerapartment.h"

#include "utility/base/handles.h"

namespace {

// COM first, then OLE; undone in the opposite order. A task that needs COM
// and finds it missing fails on its own call.
struct WorkerApartment {
    vek::ComScope com;
    vek::OleScope ole;
};

}  // namespace

std::shared_ptr<void> EnterWorkerApartment() { return std::make_shared<WorkerApartment>(); }
