// What a pool worker sets up for its tasks on its own thread: COM and OLE on
// Windows. Kept apart so that the pool itself builds on any platform.
#pragma once

#include <memory>

// Held by the worker for its whole loop; releasing it undoes the set-up.
std::shared_ptr<void> EnterWorkerApartment();
