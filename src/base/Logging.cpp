// Storage of the logging library, once for the whole program.
#include <easylogging++.h>

INITIALIZE_EASYLOGGINGPP
