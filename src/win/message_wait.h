// Waiting on the user-interface thread while still answering what other threads send its windows.
#pragma once
#include <windows.h>

namespace win {

// Waits up to `ms` milliseconds for `object` (null: just waits), answering meanwhile what other
// threads send this thread's windows (INFINITE: no bound). Nothing posted is taken, so no input runs inside the wait.
// True when the object was signalled.
bool WaitAnsweringSentMessages(HANDLE object, DWORD ms);

}  // namespace win
