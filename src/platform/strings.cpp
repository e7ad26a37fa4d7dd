#include "platform/strings.h"

#include <algorithm>
#include <vector>

namespace updexar {
namespace {

// Latin-1 letters in UTF-8 are C3 xx: upper case 0x80..0x9E (but not 0x97, the multiplication
// sign), lower case 0xA0..0xBE (but not 0xB7, the division sign); they differ by 0x20.
std::string ChangeCase(std::string_view text, bool upper) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x80) {
            if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
            if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (upper && d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
            if (!upper && d >= 0x80 && d <= 0x9E && d != 0x97) out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string ToUpper(std::string_view text) { return ChangeCase(text, true); }
std::string ToLower(std::string_view text) { return ChangeCase(text, false); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ToUpper(a) == ToUpper(b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return ToUpper(text).find(ToUpper(part)) != std::string::npos;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (true) {
        const size_t end = separator.empty() ? std::string_view::npos : text.find(separator, at);
        parts.emplace_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (end == std::string_view::npos) return parts;
        at = end + separator.size();
    }
}

std::string Trim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return std::string(text.substr(b, e - b));
}

std::string PathFileName(std::string_view path) {
    auto it = std::find_if(path.rbegin(), path.rend(), IsSeparator);
    return std::string(path.substr(static_cast<size_t>(path.rend() - it)));
}

std::string PathParent(std::string_view path) {
    auto it = std::find_if(path.rbegin(), path.rend(), IsSeparator);
    if (it == path.rend()) return "";
    size_t cut = static_cast<size_t>(path.rend() - it) - 1;
    std::string parent(path.substr(0, cut));
    // "C:" alone names the drive's current folder; the root is "C:\".
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    return parent;
}

std::string PathJoin(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && !IsSeparator(out.back())) out += '\\';
    out += name;
    return out;
}

std::string StripTrailingBackslash(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return std::string(path);
}

namespace {

// Where the parts below the root begin: after "C:" or after "\\SERVER\share"; npos when the
// path has neither.
size_t RootLength(std::string_view p) {
    if (p.size() >= 2 && p[1] == ':') return 2;
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
        const size_t server = p.find_first_of("\\/", 2);
        if (server == std::string_view::npos) return std::string_view::npos;
        const size_t share = p.find_first_of("\\/", server + 1);
        return share == std::string_view::npos ? p.size() : share;
    }
    return std::string_view::npos;
}

}  // namespace

std::string NormalizePath(std::string_view path) {
    const size_t root = RootLength(path);
    if (root == std::string_view::npos) return std::string(path);
    std::string out(path.substr(0, root));
    for (char& c : out)
        if (c == '/') c = '\\';
    std::vector<std::string_view> parts;
    size_t i = root;
    while (i < path.size()) {
        size_t j = i;
        while (j < path.size() && !IsSeparator(path[j])) ++j;
        const std::string_view part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    if (parts.empty() && out.size() == 2) return out + "\\";
    for (const auto& part : parts) {
        out += '\\';
        out += part;
    }
    return out;
}

std::string ParentOfNormalized(std::string_view path) {
    const size_t root = RootLength(path);
    if (root == std::string_view::npos || path.size() <= root + 1) return "";
    return PathParent(path);
}

}  // namespace updexar
