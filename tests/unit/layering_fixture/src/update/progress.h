// Closes a circle with lan/lan_run.h.
#include "lan/lan_run.h"
