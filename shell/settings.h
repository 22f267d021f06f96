// The option "Reconnect automatically", kept per user in HKCU\Software\Quorvane as the DWORD
// ReconnectAutomatically: 1 on; 0, absent or anything unreadable off.
#pragma once

bool ReadReconnectAutomatically();

// False when it could not be kept: the option then holds for this run only.
bool WriteReconnectAutomatically(bool on);
