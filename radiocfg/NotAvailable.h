#pragma once
#include <iostream>

// A flow whose driver is not built yet refuses plainly instead of pretending
// to succeed.
inline int commandNotAvailable(const char* command) {
    std::cout << "Command not available yet: " << command << std::endl;
    return 1;
}
