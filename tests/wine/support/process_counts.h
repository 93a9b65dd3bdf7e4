// What a run must give back: the threads and kernel handles of this process.
#pragma once

int ThreadCount();
// Open handles of this process. Wine's GetProcessHandleCount reports 0; there the
// system's handle table is read instead.
int HandleCount();
