// What a pool worker sets up for its tasks on its own thread: COM and OLE on
// Windows. Kept apart so that the pool itself builds on any platform.
#pragma once

void EnterWorkerApartment();
void LeaveWorkerApartment();
