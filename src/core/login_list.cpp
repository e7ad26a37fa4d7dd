#include "core/login_list.h"

#include <algorithm>
#include <limits>

namespace updexar {
namespace {

constexpr uint8_t kCarriageReturn = 13;
constexpr size_t kHeaderSize = 11;

void Scramble(std::span<uint8_t> bytes) {
    uint8_t key = kLoginListK0;
    for (size_t i = bytes.size(); i-- > 0;) {
        const uint8_t c = bytes[i] ^ key;
        bytes[i] = c;
        key = c ^ kLoginListK1;
    }
}

void Unscramble(std::span<uint8_t> bytes) {
    uint8_t key = kLoginListK0;
    for (size_t i = bytes.size(); i-- > 0;) {
        const uint8_t c = bytes[i];
        bytes[i] = c ^ key;
        key = c ^ kLoginListK1;
    }
}

// The uncoded form is kept for what it tells a reader of the bytes, never for a file.
bool StoredForm(std::vector<uint8_t>& scrambled) {
    std::vector<uint8_t> form = {'H', 'E', '0', kCarriageReturn};
    form.insert(form.end(), scrambled.begin(), scrambled.end());
    scrambled = std::move(form);
    return false;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(const LoginCode& code) {
        for (size_t i = 0; i < code.bits; ++i) {
            if (used_ == 0) out_.push_back(0);
            out_.back() |= static_cast<uint8_t>(code.code[i] << used_);
            used_ = (used_ + 1) & 7;
        }
    }
    // The next stream starts on a byte of its own.
    void EndStream() { used_ = 0; }

private:
    std::vector<uint8_t>& out_;
    unsigned used_ = 0;
};

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetLittleEndian(std::span<const uint8_t> in, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) value |= static_cast<uint32_t>(in[at + i]) << (8 * i);
    return value;
}

}  // namespace

bool BuildCodeTable(std::span<const LoginPackNode> nodes, int node, LoginCode& current,
                    std::span<LoginCode, 256> codes) {
    if (node < 0 || static_cast<size_t>(node) >= nodes.size()) return false;
    const LoginPackNode& n = nodes[node];
    if (n.value != kNoNode) {
        if (n.value < 0 || n.value > 255) return false;
        codes[n.value] = current;
        return true;
    }
    const int16_t children[2] = {n.zero, n.one};
    for (uint8_t bit = 0; bit < 2; ++bit) {
        if (children[bit] == kNoNode) continue;
        if (current.bits == current.code.size() - 1) return false;
        current.code[current.bits++] = bit;
        const bool ok = BuildCodeTable(nodes, children[bit], current, codes);
        --current.bits;
        if (!ok) return false;
    }
    return true;
}

bool AddTreePath(std::span<LoginTreeNode> tree, size_t& count, uint8_t value, const LoginCode& code) {
    if (count == 0 || count > tree.size()) return false;
    size_t node = 0;
    for (size_t i = 0; i < code.bits; ++i) {
        int16_t& child = code.code[i] ? tree[node].one : tree[node].zero;
        if (child == kNoNode) {
            if (count == tree.size()) return false;
            tree[count] = LoginTreeNode{};
            tree[count].parent = static_cast<int16_t>(node);
            child = static_cast<int16_t>(count++);
        } else if (child < 0 || static_cast<size_t>(child) >= count) {
            return false;
        }
        node = static_cast<size_t>(child);
    }
    tree[node].value = value;
    return true;
}

bool PackLoginList(std::vector<uint8_t>& bytes) {
    const size_t length = bytes.size();
    if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
    Scramble(bytes);
    if (length == 0) return StoredForm(bytes);

    std::array<int32_t, 256> counts{};
    uint8_t checksum = 0;
    for (uint8_t b : bytes) {
        ++counts[b];
        checksum ^= b;
    }

    std::array<LoginPackNode, kLoginNodeTableSize> nodes{};
    size_t made = 0;
    for (int v = 0; v < 256; ++v) {
        if (counts[v] == 0) continue;
        nodes[made].value = static_cast<int16_t>(v);
        nodes[made].weight = counts[v];
        ++made;
    }
    const size_t leaves = made;

    // Each merge takes the two lightest parentless nodes. Which of them becomes the 0-child on a
    // tie decides the codes, so the order of the scan and its comparisons is part of the format.
    for (size_t merge = 1; merge < leaves; ++merge) {
        int first = kNoNode, second = kNoNode;
        for (size_t i = 0; i < made; ++i) {
            if (nodes[i].parent != kNoNode) continue;
            const int candidate = static_cast<int>(i);
            const int32_t w = nodes[i].weight;
            if (first == kNoNode) {
                first = candidate;
            } else if (second == kNoNode) {
                second = candidate;
            } else if (w >= nodes[first].weight) {
                if (w < nodes[second].weight) second = candidate;
            } else if (w >= nodes[second].weight) {
                first = candidate;
            } else if (nodes[first].weight < nodes[second].weight) {
                second = candidate;
            } else {
                first = candidate;
            }
        }
        LoginPackNode& joined = nodes[made];
        joined.weight = nodes[first].weight + nodes[second].weight;
        joined.zero = static_cast<int16_t>(first);
        joined.one = static_cast<int16_t>(second);
        nodes[first].parent = nodes[second].parent = static_cast<int16_t>(made);
        ++made;
    }

    std::vector<LoginCode> codes(256);
    LoginCode path;
    if (!BuildCodeTable(std::span(nodes).first(made), static_cast<int>(made - 1), path,
                        std::span<LoginCode, 256>(codes)))
        return StoredForm(bytes);

    uint64_t dataBits = 0, codeBits = 0;
    for (int v = 0; v < 256; ++v) {
        dataBits += static_cast<uint64_t>(codes[v].bits) * static_cast<uint64_t>(counts[v]);
        if (counts[v] > 0) codeBits += codes[v].bits;
    }
    const uint64_t dataBytes = (dataBits + 7) / 8;
    if (dataBits == 0 || dataBytes > length) return StoredForm(bytes);

    std::vector<uint8_t> block;
    block.reserve(kHeaderSize + 2 * leaves + (codeBits + 7) / 8 + dataBytes);
    block.insert(block.end(), {'H', 'E', '3', kCarriageReturn, checksum});
    PutLittleEndian(block, static_cast<uint32_t>(length), 4);
    PutLittleEndian(block, static_cast<uint32_t>(leaves), 2);
    for (size_t i = 0; i < leaves; ++i) {
        const uint8_t value = static_cast<uint8_t>(nodes[i].value);
        block.push_back(value);
        block.push_back(codes[value].bits);
    }
    BitWriter out(block);
    for (size_t i = 0; i < leaves; ++i) out.Put(codes[static_cast<uint8_t>(nodes[i].value)]);
    out.EndStream();
    for (uint8_t b : bytes) out.Put(codes[b]);

    bytes = std::move(block);
    return true;
}

bool UnpackLoginList(std::vector<uint8_t>& bytes) {
    const std::span<const uint8_t> block(bytes);
    const size_t size = block.size();
    // Only a block that names its form is held to it; anything else is tried as a coded block.
    if (size >= 4 && block[0] == 'H' && block[1] == 'E' && block[3] == kCarriageReturn && block[2] != '3')
        return false;
    if (size < kHeaderSize) return false;

    const uint8_t checksum = block[4];
    const int32_t stated = static_cast<int32_t>(GetLittleEndian(block, 5, 4));
    const int16_t used = static_cast<int16_t>(GetLittleEndian(block, 9, 2));
    if (stated <= 0 || used < 1 || used > 256) return false;
    const size_t length = static_cast<size_t>(stated);
    const size_t pairs = static_cast<size_t>(used);

    size_t pos = kHeaderSize;
    if (size - pos < 2 * pairs) return false;
    std::vector<LoginCode> codes(pairs);
    std::vector<uint8_t> values(pairs);
    size_t codeBits = 0;
    for (size_t i = 0; i < pairs; ++i, pos += 2) {
        values[i] = block[pos];
        codes[i].bits = block[pos + 1];
        // A value without a code would sit on the root, where decoding never stops.
        if (codes[i].bits == 0) return false;
        codeBits += codes[i].bits;
    }
    const size_t codeBytes = (codeBits + 7) / 8;
    if (size - pos < codeBytes) return false;
    size_t bit = 0;
    for (LoginCode& code : codes)
        for (size_t i = 0; i < code.bits; ++i, ++bit)
            code.code[i] = (block[pos + bit / 8] >> (bit % 8)) & 1;
    pos += codeBytes;

    std::array<LoginTreeNode, kLoginNodeTableSize> tree{};
    size_t count = 1;
    for (size_t i = 0; i < pairs; ++i)
        if (!AddTreePath(tree, count, values[i], codes[i])) return false;

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(std::min<uint64_t>(length, static_cast<uint64_t>(size - pos) * 8)));
    size_t node = 0;
    for (; pos < size && out.size() < length; ++pos) {
        for (unsigned b = 0; b < 8; ++b) {
            const int16_t next = (block[pos] >> b) & 1 ? tree[node].one : tree[node].zero;
            if (next == kNoNode) return false;
            node = static_cast<size_t>(next);
            if (tree[node].value == kNoNode) continue;
            out.push_back(static_cast<uint8_t>(tree[node].value));
            node = 0;
            if (out.size() == length) break;
        }
    }
    if (out.size() < length) return false;

    uint8_t sum = 0;
    for (uint8_t b : out) sum ^= b;
    if (sum != checksum) return false;

    Unscramble(out);
    bytes = std::move(out);
    return true;
}

}  // namespace updexar
