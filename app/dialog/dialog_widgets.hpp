#pragma once
// The start-up dialog's own widgets, beside the toolkit's: a label that acts as a link, a
// picture handed to the display as it is stored, and a page of styled text laid out late.
#include <FL/Enumerations.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Widget.H>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/dialog/dialog_pictures.hpp"
#include "app/dialog/startup_texts.hpp"

namespace pellow {

// Sans-serif at a comfortable reading size.
constexpr Fl_Fontsize kTextSize = 12;

// A blue, underlined label that reacts to a click like a link, without being one.
class LinkLabel : public Fl_Box {
public:
    LinkLabel(int x, int y, int w, int h, const char* text);

protected:
    void draw() override;
    int handle(int event) override;
};

// One of the dialog's pictures, made the size of its widget. Where the display takes the pixels
// as they are stored, they go to the server straight from the program: the toolkit's own way
// converts them into a fresh buffer first, and Xlib copies them once more, a few hundred new
// pages of memory in front of the dialog's first appearance. A widget made larger (the
// desktop's text scale) shows the picture resampled once, when it is first drawn.
class PictureBox : public Fl_Widget {
public:
    PictureBox(int x, int y, const DialogPicture& picture)
        : Fl_Widget(x, y, picture.width, picture.height), picture_(picture) {}

protected:
    void draw() override;

private:
    const DialogPicture& Shown();
    void DrawConverted(const DialogPicture& shown);

    const DialogPicture& picture_;
    std::vector<std::uint32_t> resampledPixels_;
    DialogPicture resampled_{};
    std::vector<unsigned char> rgb_;
    std::unique_ptr<Fl_RGB_Image> converted_;
};

Fl_Box* Label(int x, int y, int w, int h, const char* text, Fl_Align align, Fl_Font font = FL_HELVETICA);

// A read-only page of text: headings in bold, table rows in a fixed-width face. Its words are
// laid out by FillTextPage when its tab first shows: wrapping measures every word in its face,
// which was most of the dialog's start.
struct TextPageContent {
    Fl_Text_Display* display = nullptr;
    Fl_Text_Buffer* text = nullptr;
    Fl_Text_Buffer* style = nullptr;
    std::unique_ptr<Fl_Text_Display::Style_Table_Entry[]> styles;
};

TextPageContent TextPage(int x, int y, int w, int h, const std::vector<TextLine>& lines, Fl_Color background,
                         Fl_Fontsize size);
void FillTextPage(const TextPageContent& page);

}  // namespace pellow
