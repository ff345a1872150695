// udp_qor.dll, the statistics library's datagram sender: one thread that
// resolves the configured servers and sends what is queued, so that no
// statistics call waits on the network.
#pragma once

#include <windows.h>

// Datagrams that may wait to be sent; the newest beyond them are refused.
// The scripts send a handful and the installer a few more: this bound
// stays far above that, and holds the memory of a sender that cannot keep
// up (or has no network) under 2 MB even at the largest datagram size.
constexpr int kUdpQorMostQueued = 1024;

extern "C" {
// Starts the sender; false when its thread cannot be created.
BOOL WINAPI udp_qor_start(void);
// Queues one datagram (a length of 0 only resolves the server ahead of use);
// false when the sender is not running, kUdpQorMostQueued wait already, or
// the arguments are not usable.
BOOL WINAPI udp_qor_send(const char* host, int port, const char* data, int length);
// Waits at most `waitMs` for the queue to be sent, then ends the sender;
// whatever is still queued is dropped. Nothing leaves once it has returned:
// it waits for a datagram being sent, and a lookup that ends later sends
// nothing.
void WINAPI udp_qor_stop(int waitMs);
}
