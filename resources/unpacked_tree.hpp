#pragma once
// The inside of an UnpackedTree: the folders one unpacking made, held open, the names it wrote
// in them, and the record that lets a later start recognise a tree whose start was killed.
// Everything is done through the folder handles (openat, mkdirat, unlinkat), so a folder that
// is swapped for another or for a link after it was made is never written into or emptied.
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/posix_file.hpp"
#include "resources/unpack.hpp"

namespace pellow {

// The record, the first thing written in a new "res": a line naming the format, then one line
// per folder ("d Sounds") and per file ("f Sounds/CARD_FLIP.WAV") the unpacking will make.
inline constexpr std::string_view kTreeRecordName = ".pellow-unpacked";
inline constexpr std::string_view kTreeRecordFormat = "pellow unpacked tree 1\n";

struct UnpackedTree::Handles {
    std::string base;         // ends in '/'
    std::string notice;       // why the tree is not beside the program, or empty
    detail::UniqueFd baseFd;  // the folder that holds "res"
    detail::UniqueFd resFd;
    bool recordWritten = false;
    std::array<detail::UniqueFd, kResourceFolders.size()> folders;  // those made, open
    std::vector<std::pair<std::size_t, std::string>> files;         // folder index, name

    // When the tree is in a private folder: the folder that holds it, its name there, and the
    // per-user place it is in (empty for a lone folder). baseFd is then the private folder,
    // and its lock.
    detail::UniqueFd privateParentFd;
    std::string privateName;
    std::string place;

    // What removal could not take, the first thing; removal goes on past it.
    std::string RemoveAll();
};

// A "res" made new below handles.baseFd, with the record of the names given (folder index,
// name) written first and every folder of kResourceFolders made. False when "res" exists
// already (errno EEXIST) or cannot be made; throws ResourceError when the record or a folder
// cannot be written.
bool MakeTree(UnpackedTree::Handles& handles, const std::vector<std::pair<std::size_t, std::string>>& planned);

// Removes the folder name below parent when it is recognisably a tree that a killed start of
// this user's left: owned by the user, its record there first, nothing in it but the record's
// folders and files (or their temporary names), each the user's, plain and with one link.
// True when it is gone; false, with everything left as it was found, otherwise.
bool RemoveLeftoverTree(int parent, const std::string& name);

// The private folder for a start whose program folder cannot be used: handles.baseFd, base,
// privateParentFd, privateName and place are set, and the folder is locked while the start
// lives. Private folders of killed starts found on the way are removed when they hold nothing
// but such leftovers. Throws ResourceError when no folder can be had.
void MakePrivateFolder(UnpackedTree::Handles& handles);

}  // namespace pellow
