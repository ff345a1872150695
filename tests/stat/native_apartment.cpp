// The pool's per-worker set-up outside Windows: there is no COM to start.
#include "stat/workerapartment.h"

std::shared_ptr<void> EnterWorkerApartment() { return nullptr; }
