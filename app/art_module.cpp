// The art module's side: renders the table's art and hands it over in the back buffer's format.
#include "app/art_module.hpp"

#include <exception>

namespace pellow {
namespace {

// The key colour, pure magenta, in the back buffer's 5-6-5 format.
constexpr std::uint16_t kKey565 = 0xF81F;

// 8-bit channels to 5-6-5 as the game's bitmap loading converts them (the low bits dropped). An
// opaque colour that would land on the key is moved off it.
void AddPicture(PictureSet& set, const art::Image& image) {
    const std::vector<std::uint8_t>& rgb = image.Bytes();
    std::uint16_t* pixels = set.Add(image.Width(), image.Height());
    const std::size_t count = static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(image.Height());
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
        auto v = static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        if (v == kKey565 && !(r == 255 && g == 0 && b == 255)) v = static_cast<std::uint16_t>(v | 0x20);
        pixels[i] = v;
    }
}

}  // namespace
}  // namespace pellow

extern "C" __attribute__((visibility("default"))) bool PellowRenderTablePictures(
    const pellow::art::ArtRequest& request, const std::string& deckFolder, int threads, pellow::PictureSet& pictures,
    std::string& error) {
    using namespace pellow;
    try {
        art::ArtRequest finished = request;
        const art::DeckLook look = art::DeckLookFor(deckFolder);
        finished.finish = look.finish;
        finished.seed = look.seed;
        const art::TableArt made = art::RenderTableArt(finished, threads);
        PictureSet set;
        for (const art::Image& face : made.faces) AddPicture(set, face);
        for (const art::Image* image : {&made.back, &made.felt, &made.scorePage, &made.horizontalLine,
                                        &made.verticalLine, &made.pointer, &made.digitFont.image,
                                        &made.deluxeFont.image, &made.handFont.image})
            AddPicture(set, *image);
        pictures = std::move(set);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}
