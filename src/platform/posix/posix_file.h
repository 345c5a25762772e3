// Linux-only access to the file handles of the services: wrapping a descriptor opened elsewhere.
#pragma once

#include "platform/platform.h"

namespace plat {

// Takes ownership of an open descriptor; CloseFile closes it. Null when fd is negative.
FileHandle AdoptFileDescriptor(int fd);

}  // namespace plat
