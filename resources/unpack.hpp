#pragma once
// Turning the resource archive into the folder tree "res/..." that the loaders read, and
// removing that tree again once everything is loaded. All paths here use '/'; base folders end
// in one '/'.
#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fatal_error.hpp"

namespace pellow {

// Any failure of unpacking or removal. The message names the archive, entry or path and the
// problem, in words a player can act on.
class ResourceError : public FatalError {
public:
    using FatalError::FatalError;
};

struct ResourceFolder {
    std::string_view folder;  // below "res"
    std::string_view prefix;  // entries whose name starts with this (case-sensitive) go there
};

// In the order the folders are created and the prefixes are tried.
inline constexpr std::array<ResourceFolder, 8> kResourceFolders{{
    {"fntFonts", "fntFonts_"},
    {"Sounds", "Sounds_"},
    {"Bitmaps", "Bitmaps_"},
    {"Royal", "Royal_"},
    {"Roya2", "Roya2_"},
    {"Vintage", "Vintage_"},  // the two 1024 x 768 decks
    {"Worn", "Worn_"},
    {"Art", "Art_"},  // the card art and fonts the table is rendered from at the screen's size
}};

// The program's folder as a base folder: with one trailing '/' added unless it has one.
std::string BaseFolder(const std::string& programFolder);

// The files one unpacking wrote, held through handles to the folders it made, from its making
// to its removal. Only this object removes what it wrote, and only that: a file put beside the
// unpacked ones, a folder that another start or the player made, is never touched.
class UnpackedTree {
public:
    struct Handles;
    explicit UnpackedTree(std::unique_ptr<Handles> handles);
    UnpackedTree(UnpackedTree&&) noexcept;
    UnpackedTree& operator=(UnpackedTree&&) noexcept;
    // Removes what is left of the tree, quietly; call Remove to hear about trouble.
    ~UnpackedTree();

    // The folder that holds "res/...", ending in '/': the program's folder, or a private one.
    const std::string& base() const;
    // Why the tree is not beside the program although that folder can be written (a "res"
    // there that this start did not make), in one sentence; empty otherwise.
    const std::string& notice() const;

    // Removes every file and folder this unpacking made, the private folder with them (and the
    // per-user place when no other start's folder is there). Anything else found there stays
    // and is reported: throws ResourceError naming the first thing left, after removing all it
    // could. Removing twice does nothing the second time.
    void Remove();

private:
    std::unique_ptr<Handles> handles_;
};

// Unpacks base + packFileName into a "res/..." tree that this call makes new, and returns it.
// The tree goes beside the program; when that folder cannot be written, or holds a "res" this
// call did not make, it goes into a fresh private folder "files-XXXXXX" in the per-user place
// ("$XDG_RUNTIME_DIR/pellow", else "pellow-<uid>" in the temporary folder; a lone
// "pellow-XXXXXX" there when that place is not the user's alone). A "res" that is recognisably
// what a killed start of the game left (its record of the names it would write comes first;
// everything in it is the user's and named there) is removed first and made anew, and so are
// private folders whose start was killed (their lock is free); anything else found is left as
// it is. wantedFiles, given the game's way ("res\\sounds\\CARD_FLIP.WAV", any letter case),
// limits the unpacking to the files one launch reads (the JPEG background when its bitmap is
// wanted); empty means every entry. Throws ResourceError; on failure nothing written by this
// call is left behind.
UnpackedTree UnpackResources(const std::string& resourceBase, const std::string& packFileName,
                             const std::vector<std::string>& wantedFiles = {});

// The path on disk of a resource given as the game writes it, relative to base with
// backslashes ("res\\sounds\\CARD_FLIP.WAV"). Each component is matched to an existing name
// without regard to letter case (an exact match is preferred); from the first component that
// matches nothing, the rest is used as written.
std::string ResolveResourcePath(const std::string& base, std::string_view relative);

// Decodes the JPEG file jpegPath and writes it to bmpPath as an uncompressed 24-bit Windows
// bitmap of the same size, which must be width x height: a picture declaring any other size is
// refused before anything is decoded or written. The bitmap is written under a temporary name
// and renamed, so nothing already at bmpPath is written through. Throws ResourceError naming
// the file; leaves no partial bitmap.
void ConvertJpegToBitmap(const std::string& jpegPath, const std::string& bmpPath, int width, int height);
// The same, with both names relative to the open folder folder; shownFolder (ending in '/')
// stands before them in messages.
void ConvertJpegToBitmapAt(int folder, const std::string& shownFolder, const std::string& jpegName,
                           const std::string& bmpName, int width, int height);

}  // namespace pellow
