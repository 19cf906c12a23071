#pragma once
// A bitmap font: one picture holding a grid of equal glyph cells, cell k for character k + 32
// (Windows-1252 order), drawn glyph by glyph with the colour key. Glyphs advance by two pixels
// less than a cell, so neighbouring cells overlap through their transparent edges.
#include <cstdint>
#include <string>
#include <string_view>

#include "presentation/display.hpp"

namespace pellow {

class clsDXBitmapFont {
public:
    float XPos = 0.0f;
    float YPos = 0.0f;
    std::int32_t width = 0;
    std::int32_t height = 0;
    modDX::Surface dds;

    // Throws modDX::LoadError when the picture cannot be loaded.
    void CreateSpriteFromFile(const std::string& strFile, int intWidth, int intHeight, int Colums);
    void SetTransColor(int color);
    // For a sheet already in dds: its cells' size, the cells per row, and how far apart the
    // characters are drawn (a sheet made at a scale spaces them by the scaled advance).
    void SetCells(int cellWidth, int cellHeight, int columns, float characterAdvance);
    // Draws sText, one byte per character, with its left edge at XPos and top at YPos, cut at
    // the display's clip rectangle.
    void DrawText(const modDX::Display& display, modDX::Surface& DstSurface, std::string_view sText, bool ColKey);

private:
    std::int16_t colums = 0;
    // 0: two pixels less than a cell, as the design's sheets are drawn.
    float advance_ = 0.0f;
};

}  // namespace pellow
