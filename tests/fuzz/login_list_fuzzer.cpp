// The saved machine list's packing on any bytes, taken both ways: as a block read from a share and as a list about to
// be saved. Unpacking ends on any bytes and leaves them alone when it fails. The reader accepts blocks the packer never
// writes (no header, bytes after the data, odd padding or code tables), so pack(unpack(x)) == x holds only for blocks
// the packer wrote; what must hold for every block that unpacks is that it packs again and loads back unchanged. The
// lists that cannot be packed are exactly the empty one and those whose bytes before the last are all the chaining byte
// K1: the scramble makes one repeated value, with nothing to code.
#include <algorithm>
#include <vector>

#include "core/login_list.h"
#include "core/machine_list.h"
#include "fuzz_check.h"

using namespace updexar;
using Bytes = std::vector<uint8_t>;

namespace {

bool StartsWith(const Bytes& block, const char (&header)[5]) {
    return block.size() >= 4 && std::equal(block.begin(), block.begin() + 4, header);
}

uint32_t StatedLength(const Bytes& block) {
    return block[5] | block[6] << 8 | block[7] << 16 | static_cast<uint32_t>(block[8]) << 24;
}

void CheckPacksBack(const Bytes& list) {
    Bytes block = list;
    const bool packed = PackLoginList(block);
    Check(packed == (!list.empty() && !std::all_of(list.begin(), list.end() - 1, [](uint8_t b) { return b == kLoginListK1; })));
    if (!packed) return Check(block.size() == list.size() + 4 && StartsWith(block, "HE0\r") && !UnpackLoginList(block));
    Check(block.size() >= 11 && StartsWith(block, "HE3\r") && StatedLength(block) == list.size());
    Bytes again = block;
    Check(UnpackLoginList(again) && again == list && PackLoginList(again) && again == block);
}

}  // namespace

UPDEXAR_FUZZ_TARGET(text) {
    const Bytes input(text.begin(), text.end());
    Bytes bytes = input;
    if (UnpackLoginList(bytes)) {
        Check(!bytes.empty() && input.size() >= 11 && bytes.size() == StatedLength(input));
        CheckPacksBack(bytes);
    } else {
        Check(bytes == input);
    }
    CheckPacksBack(input);

    // The machines of any text, written out and read again, are the same machines.
    const std::vector<SavedMachine> machines = ParseMachineList(text);
    Check(ParseMachineList(MachineListText(machines)) == machines);
}
