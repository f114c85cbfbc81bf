#include <windows.h>

#include "core/dispatch.h"
#include "shell/win_shell.h"

int dispatchDroppedFiles(HWND window, HDROP drop)
{
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        // A name longer than the buffer arrives cut, as the system copies it.
        char name[DroppedNameSize];
        if (DragQueryFileA(drop, i, name, sizeof name) == 0) name[0] = '\0';
        dispatchDroppedName(window, name);
    }
    // The system allocated the drop's block for this window, and only the window can
    // free it.
    DragFinish(drop);
    return 1;
}
