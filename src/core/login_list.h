// The packing of the saved machine list (VEKUpdUtil.UPL). The list holds user names and
// passwords on a shared folder, so it is not kept as plain text: the bytes are scrambled with a
// keyless chained XOR and then Huffman-coded into a block that describes its own code. It is a
// disguise, not a cipher: anyone who knows the two scramble bytes can read the list.
//
// Block: "HE3" CR, the XOR of the scrambled bytes, the byte count (int32), the number N of byte
// values used (int16), N pairs of value and code length in ascending value order, the codes of
// those values as one bit stream, then the coded data as another. Numbers are little-endian; a
// bit stream fills each byte from its lowest bit and ends on a byte boundary.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace updexar {

// The scramble starts with K0 and chains with K1. Lists already on shares depend on them: they
// never change.
inline constexpr uint8_t kLoginListK0 = 0x6B;
inline constexpr uint8_t kLoginListK1 = 0xD4;

// On success `bytes` becomes the packed block. Packing fails for an empty list and for one that
// scrambles to a single repeated byte value (coding would not make it any smaller); `bytes` then
// holds the uncoded form, "HE0" CR and the scrambled bytes, which is never to be written:
// unpacking refuses it.
bool PackLoginList(std::vector<uint8_t>& bytes);

// On success `bytes` becomes the unpacked list. Fails, leaving `bytes` as it was, for the
// uncoded form, an unknown form letter after "HE", a stated length of 0, a checksum that does not
// match, and for any block that runs out or leads its decoder nowhere; it never reads past the
// block.
bool UnpackLoginList(std::vector<uint8_t>& bytes);

// The coder's working tables: a node table of fixed size for the packing tree and for the
// decoding tree, and one code record per byte value.
inline constexpr size_t kLoginNodeTableSize = 512;
inline constexpr int16_t kNoNode = -1;

struct LoginPackNode {
    int16_t parent = kNoNode;
    int16_t one = kNoNode;
    int16_t zero = kNoNode;
    int16_t value = kNoNode;  // the byte value of a leaf; kNoNode for an inner node
    int32_t weight = 0;
};

struct LoginTreeNode {
    int16_t parent = kNoNode;
    int16_t one = kNoNode;
    int16_t zero = kNoNode;
    int16_t value = kNoNode;
};

struct LoginCode {
    uint8_t bits = 0;                  // how many of `code` are used
    std::array<uint8_t, 256> code{};   // one bit per entry, 0 or 1, first bit first
};

// Gives every leaf below `node` its code, `current` being the path to `node`; `current` is
// back as it was on return. False when a path would pass 255 bits or leave the table, which only
// a broken table can make.
bool BuildCodeTable(std::span<const LoginPackNode> nodes, int node, LoginCode& current,
                    std::span<LoginCode, 256> codes);

// Adds the path of one value's code to the decoding tree, whose first `count` entries are in use
// (entry 0 is the root), making the nodes it lacks. False when the tree would outgrow its table.
bool AddTreePath(std::span<LoginTreeNode> tree, size_t& count, uint8_t value, const LoginCode& code);

}  // namespace updexar
