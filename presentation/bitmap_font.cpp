#include "presentation/bitmap_font.hpp"

#include "engine/numeric.hpp"
#include "presentation/dx_internal.hpp"

namespace pellow {

void clsDXBitmapFont::CreateSpriteFromFile(const std::string& strFile, int intWidth, int intHeight,
                                           int Colums, bool /*VidMem*/) {
    colums = static_cast<std::int16_t>(Colums);
    width = intWidth;
    height = intHeight;
    modDX::detail::LoadPicture(dds, strFile, "clsDXBitmapFont.CreateSpriteFromFile");
}

void clsDXBitmapFont::SetTransColor(int color) { modDX::SetColorKey(dds, color); }

void clsDXBitmapFont::DrawText(modDX::Surface& DstSurface, std::string_view sText, bool ColKey) {
    for (std::size_t i = 1; i <= sText.size(); ++i) {
        glyphIndex = static_cast<std::int16_t>(static_cast<unsigned char>(sText[i - 1]) - 32);
        const float x = XPos + static_cast<float>(width - 2) * static_cast<float>(i - 1);
        DrawChar(DstSurface, x, ColKey);
    }
}

void clsDXBitmapFont::DrawChar(modDX::Surface& DstSurface, float x, bool ColKey) {
    const int px = RoundHalfEven(x);
    const int py = RoundHalfEven(YPos);
    // Characters below the space, and cells past the end of the picture, have no glyph: draw
    // nothing rather than read outside the picture.
    if (glyphIndex < 0 || colums <= 0 || width <= 0 || height <= 0) return;
    const std::int32_t left = width * (glyphIndex % colums);
    const std::int32_t top = height * (glyphIndex / colums);
    const modDX::Rect cell{left, top, left + width, top + height};
    if (cell.right > dds.width() || cell.bottom > dds.height()) return;
    // The same clipping and copy as every other picture.
    modDX::BltSurface(dds, DstSurface, cell, px, py, ColKey);
}

}  // namespace pellow
