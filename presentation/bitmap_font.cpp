#include "presentation/bitmap_font.hpp"

#include "engine/numeric.hpp"
#include "presentation/picture_file.hpp"

namespace pellow {

void clsDXBitmapFont::CreateSpriteFromFile(const std::string& strFile, int intWidth, int intHeight, int Colums) {
    colums = static_cast<std::int16_t>(Colums);
    advance_ = 0.0f;
    width = intWidth;
    height = intHeight;
    modDX::CreateSurfaceFromFile(dds, strFile, "clsDXBitmapFont.CreateSpriteFromFile");
}

void clsDXBitmapFont::SetTransColor(int color) { modDX::SetColorKey(dds, color); }

void clsDXBitmapFont::SetCells(int cellWidth, int cellHeight, int columns, float characterAdvance) {
    width = cellWidth;
    height = cellHeight;
    colums = static_cast<std::int16_t>(columns);
    advance_ = characterAdvance;
}

void clsDXBitmapFont::DrawText(const modDX::Display& display, modDX::Surface& DstSurface, std::string_view sText,
                               bool ColKey) {
    // Characters below the space, and cells past the end of the picture, have no glyph: they
    // draw nothing rather than read outside the picture.
    if (colums <= 0 || width <= 0 || height <= 0) return;
    const int py = RoundHalfEven(YPos);
    for (std::size_t i = 0; i < sText.size(); ++i) {
        const int glyph = static_cast<unsigned char>(sText[i]) - 32;
        const float step = advance_ > 0.0f ? advance_ : static_cast<float>(width - 2);
        const int px = RoundHalfEven(XPos + step * static_cast<float>(i));
        if (glyph < 0) continue;
        const std::int32_t left = width * (glyph % colums);
        const std::int32_t top = height * (glyph / colums);
        const modDX::Rect cell{left, top, left + width, top + height};
        if (cell.right > dds.width() || cell.bottom > dds.height()) continue;
        // The same clipping and copy as every other picture.
        display.BltSurface(dds, DstSurface, cell, px, py, ColKey);
    }
}

}  // namespace pellow
