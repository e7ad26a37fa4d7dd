// Wrong way: the shared core reaching up into the message box.
#include "ui/msgbox.h"
