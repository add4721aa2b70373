// SPDX-License-Identifier: MIT
// ptcdrop: the desktop window that converts between plain files and PTC containers.
#include "Application.h"

int main(int argc, char* argv[])
{
    return ptcdrop::runWindowApplication(argc, argv);
}
