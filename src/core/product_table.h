// The products this utility serves, one row per product letter. The order of the rows is the order
// in which a letter is tested.
#pragma once

#include <array>
#include <string_view>

namespace updexar {

struct ProductRow {
    char letter;
    std::string_view key;           // ProductKey; also the registry key name under Software\VEKInfo
    std::string_view dbName;        // ProductDbName
    std::string_view dirName;       // ProductDirName
    std::string_view name;          // ProductName, as shown to the user
    std::string_view code;          // ProductCode, three letters; empty for X and O
    std::string_view verInfoTable;  // VerInfoTable
};

// "O" means no product at all: only system-wide files, no installation or data directory.
inline constexpr std::string_view kNoProductKey = "O";

const std::array<ProductRow, 16>& ProductTable();

// The letter is upper-cased first; null when no row has it.
const ProductRow* ProductByLetter(char letter);
// The key compares exactly, case included; null when no row has it.
const ProductRow* ProductByKey(std::string_view key);
// Exact, and never matches the empty code of X and O; null when no row has it.
const ProductRow* ProductByCode(std::string_view code);

}  // namespace updexar
