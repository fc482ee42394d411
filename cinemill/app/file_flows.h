#pragma once

#include <string>
#include <utility>
#include <vector>

// The rules of the file flows that need no document: recent files, the
// title, the order of several opened files, the save dialog's suggestion.
// The engine's Open, Insert, Save, Revert and Drop use them.
namespace cinemill::files {

constexpr int kMaxRecent = 7;
constexpr int kMaxOpenFiles = 300;

// The recent list (newest first) after `path` became the document's name:
// the path goes first, the entries before an exact (case-sensitive) match
// of it move down by one, the match itself is dropped, and nothing beyond
// seven entries is kept.
std::vector<std::string> ShiftRecentFiles(std::vector<std::string> recent, const std::string& path);

// The File menu entries of the recent files: "&1: PATH", ...
std::vector<std::string> RecentMenuTexts(const std::vector<std::string>& recent);

// "NAME - Cinemill" with the part after the last path separator, or
// "Untitled - Cinemill" for an empty path.
std::string TitleFor(const std::string& path);

// The file-name part of a path (after its last '/' or '\').
std::string FileNamePart(const std::string& path);

// Several files chosen at once: sorted ascending ignoring letter case; at
// most 300 are kept (`too_many` tells that more were chosen).
std::vector<std::string> OrderForOpening(std::vector<std::string> paths, bool& too_many);

// The save question: "Save changes to PATH?" or, untitled, "Save changes to
// untitled animation?".
std::string SaveQuestion(const std::string& path);

// The name the save dialog starts with: the path with its extension (the
// text after the last '.' of the file-name part) replaced by `ext` unless it
// already equals it ignoring case; a name without extension gets one.
std::string SuggestedSavePath(const std::string& path, const std::string& ext);

// The open and insert dialogs' full filter list (description, patterns).
std::vector<std::pair<std::string, std::string>> OpenFilter();

}  // namespace cinemill::files
