// The start-up dialog's own widgets (see dialog_widgets.hpp).
#include "app/dialog/dialog_widgets.hpp"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <bit>
#include <cstddef>
#include <string>

#include "app/dialog/desktop_scale.hpp"
#include "app/dialog/toolkit_display.hpp"

namespace pellow {

LinkLabel::LinkLabel(int x, int y, int w, int h, const char* text) : Fl_Box(x, y, w, h, text) {
    box(FL_NO_BOX);
    labelfont(FL_HELVETICA);
    labelsize(kTextSize);
    labelcolor(fl_rgb_color(0, 0, 192));
    align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
}

void LinkLabel::draw() {
    fl_font(labelfont(), labelsize());
    fl_color(labelcolor());
    const int baseline = y() + fl_height() - fl_descent();
    fl_draw(label(), x(), baseline);
    const int width = static_cast<int>(fl_width(label()));
    fl_line(x(), baseline + 1, x() + width - 1, baseline + 1);
}

int LinkLabel::handle(int event) {
    switch (event) {
        case FL_ENTER: window()->cursor(FL_CURSOR_HAND); return 1;
        case FL_LEAVE: window()->cursor(FL_CURSOR_DEFAULT); return 1;
        case FL_PUSH: return 1;
        case FL_RELEASE:
            if (Fl::event_inside(this)) do_callback();
            return 1;
        default: return Fl_Box::handle(event);
    }
}

const DialogPicture& PictureBox::Shown() {
    if (w() == picture_.width && h() == picture_.height) return picture_;
    if (resampled_.width != w() || resampled_.height != h()) {
        resampledPixels_ = ResamplePicture(picture_, w(), h());
        resampled_ = {w(), h(), resampledPixels_.data()};
    }
    return resampled_;
}

void PictureBox::draw() {
    static const bool asTheyAre = DisplayTakesPicturesAsTheyAre();
    const DialogPicture& shown = Shown();
    if (!asTheyAre) {
        DrawConverted(shown);
        return;
    }
    XImage image{};
    image.width = shown.width;
    image.height = shown.height;
    image.format = ZPixmap;
    image.data = const_cast<char*>(reinterpret_cast<const char*>(shown.pixels));
    image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = image.byte_order;
    image.bitmap_pad = 32;
    image.depth = 24;
    image.bytes_per_line = shown.width * 4;
    image.bits_per_pixel = 32;
    image.red_mask = 0xFF0000;
    image.green_mask = 0xFF00;
    image.blue_mask = 0xFF;
    XInitImage(&image);
    // The toolkit's clip is on its graphics context.
    XPutImage(fl_display, fl_window, fl_gc, &image, 0, 0, x(), y(), static_cast<unsigned>(w()),
              static_cast<unsigned>(h()));
}

void PictureBox::DrawConverted(const DialogPicture& shown) {
    if (!converted_ || converted_->w() != shown.width || converted_->h() != shown.height) {
        const std::size_t count = static_cast<std::size_t>(shown.width) * static_cast<std::size_t>(shown.height);
        rgb_.resize(count * 3);
        for (std::size_t i = 0; i < count; ++i) {
            rgb_[3 * i] = static_cast<unsigned char>(shown.pixels[i] >> 16);
            rgb_[3 * i + 1] = static_cast<unsigned char>(shown.pixels[i] >> 8);
            rgb_[3 * i + 2] = static_cast<unsigned char>(shown.pixels[i]);
        }
        converted_ = std::make_unique<Fl_RGB_Image>(rgb_.data(), shown.width, shown.height, 3);
    }
    converted_->draw(x(), y());
}

Fl_Box* Label(int x, int y, int w, int h, const char* text, Fl_Align align, Fl_Font font) {
    auto* box = new Fl_Box(x, y, w, h, text);
    box->box(FL_NO_BOX);
    box->labelfont(font);
    box->labelsize(kTextSize);
    box->labelcolor(FL_BLACK);
    box->align(align | FL_ALIGN_INSIDE);
    return box;
}

TextPageContent TextPage(int x, int y, int w, int h, const std::vector<TextLine>& lines, Fl_Color background,
                         Fl_Fontsize size) {
    std::string all;
    std::string marks;
    for (const TextLine& line : lines) {
        char mark = 'A';
        if (line.kind == TextLine::Kind::Heading) mark = 'B';
        if (line.kind == TextLine::Kind::Table) mark = 'C';
        all += line.text + "\n";
        marks += std::string(line.text.size() + 1, mark);
    }
    TextPageContent page;
    page.text = new Fl_Text_Buffer();
    page.style = new Fl_Text_Buffer();
    page.text->text(all.c_str());
    page.style->text(marks.c_str());
    page.styles.reset(new Fl_Text_Display::Style_Table_Entry[3]{
        {FL_BLACK, FL_HELVETICA, size, 0},
        {FL_BLACK, FL_HELVETICA_BOLD, size, 0},
        {FL_BLACK, FL_COURIER, size, 0},
    });
    page.display = new Fl_Text_Display(x, y, w, h);
    page.display->box(FL_DOWN_BOX);
    page.display->color(background);
    page.display->textfont(FL_HELVETICA);
    page.display->textsize(size);
    page.display->scrollbar_align(FL_ALIGN_RIGHT);
    return page;
}

void FillTextPage(const TextPageContent& page) {
    if (page.display->buffer() == page.text) return;
    page.display->buffer(page.text);
    page.display->highlight_data(page.style, page.styles.get(), 3, 'A', nullptr, nullptr);
    page.display->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
}

}  // namespace pellow
