// Small text helpers for names, paths and keys that compare without regard to case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace updexar {

// Upper/lower case of ASCII letters and of the Latin-1 letters in UTF-8 text.
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
bool ContainsNoCase(std::string_view text, std::string_view part);
std::string Trim(std::string_view text);
// The pieces between separators, empty ones included: one empty piece for empty text.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// Windows path pieces. Both "\" and "/" separate.
std::string PathFileName(std::string_view path);
std::string PathParent(std::string_view path);
std::string PathJoin(std::string_view folder, std::string_view name);
// One trailing backslash removed, as paths are held.
std::string StripTrailingBackslash(std::string_view path);
// An absolute path with "." and ".." resolved, "/" turned into "\" and no empty or trailing
// parts; a root keeps its own form ("C:\", "\\SERVER\share").
std::string NormalizePath(std::string_view absolutePath);
// The folder that holds a normalized path; empty for a root, which has none.
std::string ParentOfNormalized(std::string_view normalizedPath);

}  // namespace updexar
