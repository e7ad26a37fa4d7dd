#include "update/progress.h"
