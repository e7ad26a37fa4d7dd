// The computer search over a range of 256 addresses whose reverse lookups each take 200 ms (a
// network where most addresses have no name and the resolver waits for its answer), run by the
// real search window on the headless window system. Prints the time; the order of work of one
// lookup after another would take 256 x 0.2 s = 51 s.
#include <chrono>
#include <cstdio>

#include "fakes/fake_platform.h"
#include "fakes/headless_backend.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "mainwindow/frmmain.h"
#include "network/frmgetips.h"

int main() {
    using namespace updexar;
    fakes::FakePlatform fake;
    fakes::ScopedPlatform installed{fake};
    fake.files.MakeFolders("C:\\WINDOWS\\system32");
    fake.system.SetDisplay(1024, 768, 96);
    fakes::HeadlessBackend backend;
    forms::Application app{backend, fake.clock};
    fake.network.address = "10.1.2.254";
    fake.network.lookupMs = 200;
    for (int i = 0; i < 256; i += 7) fake.network.machines["10.1.2." + std::to_string(i)] = "PC" + std::to_string(i);
    forms::Window<frmmain>().PrepareGrid();

    frmGetIPs& search = forms::Window<frmGetIPs>();
    search.txtIP3.SetText("0");
    search.txtIP4.SetText("255");
    const auto start = std::chrono::steady_clock::now();
    search.cmdOk_Click();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const forms::VSFlexGrid& vs = forms::Window<frmmain>().vs;
    std::printf("range search of 256 addresses, 200 ms per lookup: %.2f s, %d rows (this computer skipped)\n", seconds,
                vs.Rows() - 1);
    return 0;
}
