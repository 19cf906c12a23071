#pragma once
// The renderer of the table's art as a module of its own (pellow-art.so beside the program):
// librsvg, cairo, FreeType and the many libraries beneath them are loaded only when pictures
// must be made, so a start whose pictures are kept loads none of them.
#include <mutex>
#include <string>

#include "art/table_art_set.hpp"
#include "resources/picture_cache.hpp"

namespace pellow {

// The module's one entry: the table's pictures for the request, with the finish of the deck in
// that folder ("Royal" ...), in the back buffer's format, in the table's picture order (faces,
// back, felt, score page, the two pen lines, pointer, the three glyph sheets). False, with
// `error` saying why, when a source cannot be read or the deck is not one of the game's.
using RenderTablePicturesFunction = bool (*)(const art::ArtRequest& request, const std::string& deckFolder,
                                             int threads, PictureSet& pictures, std::string& error);
inline constexpr const char* kRenderTablePictures = "PellowRenderTablePictures";
inline constexpr const char* kArtModuleFile = "pellow-art.so";

// The module at a path, loaded at the first Renderer call from whichever thread makes it.
class ArtModule {
public:
    explicit ArtModule(std::string path) : path_(std::move(path)) {}
    ArtModule(const ArtModule&) = delete;
    ArtModule& operator=(const ArtModule&) = delete;
    // Throws modDX::LoadError when the module cannot be loaded or is not the art's.
    RenderTablePicturesFunction Renderer();

private:
    std::string path_;
    std::once_flag loaded_;
    RenderTablePicturesFunction render_ = nullptr;
    std::string error_;
};

}  // namespace pellow
