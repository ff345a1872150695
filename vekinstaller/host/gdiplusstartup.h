#pragma once

// Starts GDI+ once for the process; later calls do nothing.
void EnsureGdiplusStarted();
