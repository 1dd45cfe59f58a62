#include "common/palm/PalmUser.h"

#include <cstdint>
#include <cstdlib>

#include "common/misc/CxList.h"
#include "common/palm/PmLibraries.h"

int LoadPalmUsers(CxList* pList)
{
    if (pList == nullptr)
        return 0;
    const int16_t count = UmGetUserCount();
    int appended = 0;
    for (int16_t index = 0; index < count; ++index) {
        auto* user = static_cast<PalmUser*>(std::calloc(1, sizeof(PalmUser)));
        if (user == nullptr)
            break;
        UmGetUserID(index, &user->dwUserID);
        int16_t nameSize = sizeof(user->szName);
        UmGetUserName(user->dwUserID, user->szName, &nameSize);
        int16_t directorySize = sizeof(user->szDirectory);
        UmGetUserDirectory(user->dwUserID, user->szDirectory, &directorySize);
        // Whatever the library wrote, the fields stay terminated.
        user->szName[sizeof(user->szName) - 1] = '\0';
        user->szDirectory[sizeof(user->szDirectory) - 1] = '\0';
        pList->AddTail(user);
        ++appended;
    }
    return appended;
}

void ClearPalmUsers(CxList* pList)
{
    if (pList != nullptr)
        pList->RemoveAll(true);
}
