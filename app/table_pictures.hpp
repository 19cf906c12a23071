#pragma once
// The table drawn for the pixels it is shown on: where a table of the screen's shape lies in
// the back buffer, and its pictures made for that size, rendered from the art in the archive
// once and kept in the picture cache, so that a later start at the same size renders nothing.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/art_module.hpp"
#include "engine/layout.hpp"
#include "presentation/display.hpp"
#include "presentation/sound.hpp"  // PathResolver
#include "resources/picture_cache.hpp"

namespace pellow {

// A table of the screen's shape (FittedTableSize) and where it lies in a back buffer of
// pixelWidth x pixelHeight: as large as fits, centred.
struct TablePlacement {
    int pixelWidth = 0, pixelHeight = 0;
    TableSize table;
    modDX::TableTransform transform;
};
TablePlacement PlaceTable(int pixelWidth, int pixelHeight);

// The archive entries the pictures are rendered from, for a deck folder ("Royal" ...), as the
// game names them relative to the resource base.
std::vector<std::string> TableArtFiles(const std::string& deckFolder);

// What identifies the art the pictures come from: the renderer's version and the archive file
// as installed (its size and time). Pictures made from another archive are made again.
std::uint64_t TableArtSource(const std::string& pakPath);

// The cache's name for the pictures of a deck at a placement.
PictureCacheKey TablePicturesKey(const std::string& deckFolder, const TablePlacement& placement, std::uint64_t source);

// The table's pictures for the deck at the placement, in the order TableView::UsePictures takes
// them: from the cache (unless `useKept` is false: the kept ones did not fit), or rendered from
// the unpacked art by the art module (throws modDX::LoadError when either cannot be read) and
// then stored. `rendered` says which.
PictureSet MakeTablePictures(const std::string& deckFolder, const TablePlacement& placement,
                             const modDX::PathResolver& resolve, ArtModule& artModule, const PictureCache& cache,
                             std::uint64_t source, std::ostream& notes, bool* rendered = nullptr,
                             bool useKept = true);

}  // namespace pellow
