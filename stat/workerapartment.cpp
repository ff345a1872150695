#include "stat/workerapartment.h"

#include <objbase.h>
#include <ole2.h>

// The results are not needed: a task that uses COM fails on its own call.
void EnterWorkerApartment() {
    ::CoInitialize(nullptr);
    ::OleInitialize(nullptr);
}

void LeaveWorkerApartment() {
    ::OleUninitialize();
    ::CoUninitialize();
}
