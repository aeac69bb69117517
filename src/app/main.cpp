#include "app/commandline.h"
#include "platform/log.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    qInstallMessageHandler(QtMessageRelay);
    CCommandLine commandLine(argc, argv);
    if (!commandLine.ValidateCommandLine())
        return static_cast<int>(0x80000003u);
    if (!commandLine.HandleInfoAndVersion())
        return 0;
    return 1;
}
