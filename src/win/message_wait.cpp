// A wait that answers sent messages.
#include "win/message_wait.h"

namespace win {

bool WaitAnsweringSentMessages(HANDLE object, DWORD ms) {
    const ULONGLONG end = ms == INFINITE ? ~0ULL : ::GetTickCount64() + ms;
    const DWORD count = object ? 1 : 0;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = ms == INFINITE ? INFINITE : now < end ? static_cast<DWORD>(end - now) : 0;
        const DWORD result = ::MsgWaitForMultipleObjectsEx(count, object ? &object : nullptr, left, QS_SENDMESSAGE, 0);
        if (object && result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + count || left == 0) return false;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace win
