// Stand-in for the outside tools (RegSvr32, RegIni, RegAsm, Msizap): copied under their names, it
// appends its whole command line as one line to the file named by UPDEXAR_RECORD, or to
// recorded.txt beside itself, and succeeds.
#include <windows.h>

#include "standin_util.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    standin::AppendLine(standin::RecordFile(), standin::Utf8(GetCommandLineW()));
    return 0;
}
