// Runs one platform service with the rights of whoever starts it and prints the result:
//   platform_probe diskspace PATH          -> result code of CFileHelper::GetDiskAvailableSpace
//   platform_probe addrights PATH ACCOUNT  -> 1 or 0 from CAuth::AddAccessRights (generic all)

#include "platform/auth.h"
#include "platform/filehelper.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    quint64 free = 0;
    if (argc == 3 && std::strcmp(argv[1], "diskspace") == 0)
        std::printf("0x%x\n", static_cast<unsigned>(CFileHelper::GetDiskAvailableSpace(QString::fromLocal8Bit(argv[2]), &free)));
    else if (argc == 4 && std::strcmp(argv[1], "addrights") == 0)
        std::printf("%d\n", CAuth::AddAccessRights(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                                   CAuth::GENERIC_ALL_ACCESS));
    else
        return 2;
    return 0;
}
