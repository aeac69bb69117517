// Holds the instance lock, or answers questions about the process, for the suites.
#include "lockholder.h"

int main(int argc, char** argv)
{
    return RunLockHolder(argc, argv);
}
