#pragma once
// Turning the resource archive into the folder tree "res/..." that the loaders read, and
// removing that tree again once everything is loaded. All paths here use '/'; base folders end
// in one '/'.
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pellow {

// Any failure of unpacking or removal. The message names the archive, entry or path and the
// problem, in words a player can act on.
class ResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ResourceFolder {
    std::string_view folder;  // below "res"
    std::string_view prefix;  // entries whose name starts with this (case-sensitive) go there
};

// In the order the folders are created and the prefixes are tried.
inline constexpr std::array<ResourceFolder, 7> kResourceFolders{{
    {"fntFonts", "fntFonts_"},
    {"Sounds", "Sounds_"},
    {"Bitmaps", "Bitmaps_"},
    {"Royal", "Royal_"},
    {"Roya2", "Roya2_"},
    {"Vintage", "Vintage_"},  // the two 1024 x 768 decks
    {"Worn", "Worn_"},
}};

// The order in which DeleteUnpackedFiles empties and removes them, before "res" itself.
inline constexpr std::array<std::string_view, 7> kRemovalOrder{
    "Sounds", "Bitmaps", "fntFonts", "Royal", "Roya2", "Vintage", "Worn"};

// The program's folder as a base folder: with one trailing '/' added unless it has one.
std::string BaseFolder(const std::string& programFolder);

// Unpacks base + packFileName into base + "res/..." and returns the base folder actually used:
// the program's folder, or, when that cannot be written, a fresh private folder
// "files-XXXXXX" in the per-user place ("$XDG_RUNTIME_DIR/pellow", else "pellow-<uid>" in the
// temporary folder; a lone "pellow-XXXXXX" there when that place is not the user's alone). A
// private folder is locked while this process lives; one whose lock is free was left by a
// start that was killed, and is removed here. wantedFiles, given the game's way
// ("res\\sounds\\CARD_FLIP.WAV", any letter case), limits the unpacking to the files one launch
// reads (the JPEG background when its bitmap is wanted); empty means every entry. When base +
// "res/Sounds/CARD_FLIP.WAV" and every wanted file already exist, the tree found is used as it
// is and the archive is not opened. Throws ResourceError; on failure nothing written by this
// call is left behind.
std::string UnpackResources(const std::string& resourceBase, const std::string& packFileName,
                            const std::vector<std::string>& wantedFiles = {});

// Removes the unpacked tree below base (the folders above and "res"), and base itself when it
// is a private folder that UnpackResources made (and the per-user place with it when no other
// start's folder is there). Only files directly inside those folders are
// deleted; anything else found there is left alone and reported. Does nothing when no part of
// the tree exists. Throws ResourceError naming the first thing it could not remove, after
// removing all it could.
void DeleteUnpackedFiles(const std::string& base);

// The path on disk of a resource given as the game writes it, relative to base with
// backslashes ("res\\sounds\\CARD_FLIP.WAV"). Each component is matched to an existing name
// without regard to letter case (an exact match is preferred); from the first component that
// matches nothing, the rest is used as written.
std::string ResolveResourcePath(const std::string& base, std::string_view relative);

// Decodes the JPEG file jpegPath and writes it to bmpPath as an uncompressed 24-bit Windows
// bitmap of the same size, which must be width x height: a picture declaring any other size is
// refused before anything is decoded or written. Throws ResourceError naming the file; leaves
// no partial bitmap.
void ConvertJpegToBitmap(const std::string& jpegPath, const std::string& bmpPath, int width, int height);

}  // namespace pellow
