#include "tests/support/test_server.h"
