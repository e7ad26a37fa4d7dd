#include "core/product_table.h"

namespace updexar {
namespace {

constexpr std::array<ProductRow, 16> kProducts{{
    {'G', "Galvano", "Galvano", "Galvano", "Galvano", "GLV", "VerInfo"},
    {'T', "Tarsel", "Tarsel", "Tarsel", "Qor Tarsel", "TRS", "VerInfo"},
    {'R', "Rovina", "Rovina", "Rovina", "Qor Rovina", "RVN", "VerInfo"},
    {'S', "Selvan", "Selvan", "Selvan", "Qor Selvan", "SLV", "VerInfo"},
    {'F', "Fendal", "Fendal", "Fendal", "Qor Fendal", "FND", "VerInfo"},
    {'P', "Pelmar", "Pelmar", "Pelmar", "Qor Pelmar", "PLM", "NewVerInfo"},
    {'I', "Istova", "Istova", "Istova", "Qor Istova", "IST", "NewVerInfo"},
    {'C', "Corlet", "Corlet", "Corlet", "Qor Corlet", "CRL", "NewVerInfo"},
    {'H', "Halvion", "Halvion", "Halvion", "Qor Halvion", "HLV", "NewVerInfo"},
    {'B', "Bristan", "Bristan", "Bristan", "Qor Bristan", "BRS", "NewVerInfo"},
    {'X', "Xelmor", "", "Xelmor", "Qor Xelmor", "", ""},
    {'N', "Nevrin", "QorNevrin", "Nevrin", "Qor Nevrin", "NVR", ""},
    {'A', "Aldova", "Aldova", "Aldova", "Qor Aldova", "ALD", ""},
    {'E', "Eskarn", "Eskarn", "Eskarn", "Qor Eskarn", "ESK", ""},
    {'D', "Dorvel", "Dorvel", "Dorvel", "Qor Dorvel", "DRV", ""},
    {'O', "O", "", "", "", "", ""},
}};

}  // namespace

const std::array<ProductRow, 16>& ProductTable() { return kProducts; }

const ProductRow* ProductByLetter(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    for (const auto& row : kProducts) {
        if (row.letter == letter) return &row;
    }
    return nullptr;
}

const ProductRow* ProductByKey(std::string_view key) {
    for (const auto& row : kProducts) {
        if (row.key == key) return &row;
    }
    return nullptr;
}

const ProductRow* ProductByCode(std::string_view code) {
    if (code.empty()) return nullptr;
    for (const auto& row : kProducts) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

}  // namespace updexar
