#include "app/commandline.h"
#include "app/processcontrol.h"
#include "download/transfer.h"
#include "xmlmodel/node.h"
#include <windows.h>
