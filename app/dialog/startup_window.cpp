// The FLTK window of the start-up dialog. Every widget forwards its event to frmStartup and
// then copies frmStartup's fields back into the widgets; no decision is taken here.
#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <fontconfig/fontconfig.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/dialog/dialog_pictures.hpp"
#include "app/dialog/run_startup_dialog.hpp"
#include "app/dialog/startup_dialog.hpp"
#include "app/dialog/startup_process.hpp"
#include "app/dialog/startup_texts.hpp"
#include "presentation/environment.hpp"
#include "presentation/without_compose.hpp"

namespace pellow {

namespace {

// Sans-serif at a comfortable reading size; the rules read a little larger.
constexpr Fl_Fontsize kTextSize = 12;
constexpr Fl_Fontsize kRulesSize = 13;
// The one-line deck descriptions have 13-pixel rows, and the longest must end before the preview.
constexpr Fl_Fontsize kDescriptionSize = 11;
constexpr int kTabHeight = 24;

// Page rectangle inside the tab control (window coordinates).
constexpr int kPageX = 16;
constexpr int kPageY = 328;
constexpr int kPageW = 501;
constexpr int kPageH = 181;

// The platform's message box: information icon, one OK button, the given title.
void ShowInformationBox(const std::string& text, const std::string& title) {
    fl_message_title(title.c_str());
    const char* previous = fl_close;
    fl_close = "OK";
    fl_message("%s", text.c_str());
    fl_close = previous;
}

// The toolkit's answers to X's errors, as its own opening of the display sets them: an error
// is a warning, a lost connection the end.
int WarnOfXError(Display* display, XErrorEvent* error) {
    char request[32], requestName[128], text[128];
    std::snprintf(request, sizeof request, "XRequest.%d", error->request_code);
    XGetErrorDatabaseText(display, "", request, request, requestName, sizeof requestName);
    XGetErrorText(display, error->error_code, text, sizeof text);
    Fl::warning("%s: %s 0x%lx", requestName, text, error->resourceid);
    return 0;
}
int EndOnLostDisplay(Display*) {
    Fl::fatal("X I/O error");
    return 0;
}

// Opens the toolkit's display as fl_open_display() does, but first asks for every X atom the
// toolkit names while opening it in one round trip: Xlib keeps the answers, and the toolkit's
// own requests, one round trip each, are then answered without the server.
void OpenToolkitDisplay() {
    static const char* const kToolkitAtoms[] = {
        "WM_DELETE_WINDOW", "WM_PROTOCOLS", "_MOTIF_WM_HINTS", "TARGETS", "CLIPBOARD", "TIMESTAMP",
        "PRIMARY_TIMESTAMP", "CLIPBOARD_TIMESTAMP", "XdndAware", "XdndSelection", "XdndEnter",
        "XdndTypeList", "XdndPosition", "XdndLeave", "XdndDrop", "XdndStatus", "XdndActionCopy",
        "XdndFinished", "text/uri-list", "text/plain;charset=UTF-8", "text/plain;charset=utf-8",
        "text/plain", "TEXT", "COMPOUND_TEXT", "UTF8_STRING", "image/bmp", "image/png", "INCR",
        "_NET_WM_PID", "_NET_WM_NAME", "_NET_WM_ICON_NAME", "_NET_SUPPORTING_WM_CHECK",
        "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN", "_NET_WM_FULLSCREEN_MONITORS", "_NET_WORKAREA",
        "_NET_WM_ICON", "_NET_ACTIVE_WINDOW"};
    constexpr int kCount = static_cast<int>(std::size(kToolkitAtoms));
    XSetIOErrorHandler(EndOnLostDisplay);
    XSetErrorHandler(WarnOfXError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        // The toolkit tries again and says why it cannot, as it always has.
        fl_open_display();
        return;
    }
    Atom atoms[kCount];
    XInternAtoms(display, const_cast<char**>(kToolkitAtoms), kCount, False, atoms);
    fl_open_display(display);
}

// A blue, underlined label that reacts to a click like a link, without being one.
class LinkLabel : public Fl_Box {
public:
    LinkLabel(int x, int y, int w, int h, const char* text) : Fl_Box(x, y, w, h, text) {
        box(FL_NO_BOX);
        labelfont(FL_HELVETICA);
        labelsize(kTextSize);
        labelcolor(fl_rgb_color(0, 0, 192));
        align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
    }

protected:
    void draw() override {
        fl_font(labelfont(), labelsize());
        fl_color(labelcolor());
        const int baseline = y() + fl_height() - fl_descent();
        fl_draw(label(), x(), baseline);
        const int width = static_cast<int>(fl_width(label()));
        fl_line(x(), baseline + 1, x() + width - 1, baseline + 1);
    }

    int handle(int event) override {
        switch (event) {
            case FL_ENTER:
                window()->cursor(FL_CURSOR_HAND);
                return 1;
            case FL_LEAVE:
                window()->cursor(FL_CURSOR_DEFAULT);
                return 1;
            case FL_PUSH:
                return 1;
            case FL_RELEASE:
                if (Fl::event_inside(this)) do_callback();
                return 1;
            default:
                return Fl_Box::handle(event);
        }
    }
};

// Whether the display keeps the window's pixels as the pictures are stored: 32-bit 0xRRGGBB.
bool DisplayTakesPicturesAsTheyAre() {
    const Visual* visual = fl_visual->visual;
    if (fl_visual->depth != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF)
        return false;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(fl_display, &count);
    bool word = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == 24) word = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return word;
}

// One of the dialog's pictures, the size of its widget. Where the display takes the pixels as
// they are stored, they go to the server straight from the program: the toolkit's own way
// converts them into a fresh buffer first, and Xlib copies them once more, a few hundred new
// pages of memory in front of the dialog's first appearance.
class PictureBox : public Fl_Widget {
public:
    PictureBox(int x, int y, const DialogPicture& picture)
        : Fl_Widget(x, y, picture.width, picture.height), picture_(picture) {}

protected:
    void draw() override {
        static const bool asTheyAre = DisplayTakesPicturesAsTheyAre();
        if (!asTheyAre) {
            DrawConverted();
            return;
        }
        XImage image{};
        image.width = picture_.width;
        image.height = picture_.height;
        image.format = ZPixmap;
        image.data = const_cast<char*>(reinterpret_cast<const char*>(picture_.pixels));
        image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = image.byte_order;
        image.bitmap_pad = 32;
        image.depth = 24;
        image.bytes_per_line = picture_.width * 4;
        image.bits_per_pixel = 32;
        image.red_mask = 0xFF0000;
        image.green_mask = 0xFF00;
        image.blue_mask = 0xFF;
        XInitImage(&image);
        // The toolkit's clip is on its graphics context.
        XPutImage(fl_display, fl_window, fl_gc, &image, 0, 0, x(), y(), static_cast<unsigned>(w()),
                  static_cast<unsigned>(h()));
    }

private:
    void DrawConverted() {
        if (!converted_) {
            const std::size_t count = static_cast<std::size_t>(picture_.width) * picture_.height;
            rgb_.resize(count * 3);
            for (std::size_t i = 0; i < count; ++i) {
                rgb_[3 * i] = static_cast<unsigned char>(picture_.pixels[i] >> 16);
                rgb_[3 * i + 1] = static_cast<unsigned char>(picture_.pixels[i] >> 8);
                rgb_[3 * i + 2] = static_cast<unsigned char>(picture_.pixels[i]);
            }
            converted_ = std::make_unique<Fl_RGB_Image>(rgb_.data(), picture_.width, picture_.height, 3);
        }
        converted_->draw(x(), y());
    }

    const DialogPicture& picture_;
    std::vector<unsigned char> rgb_;
    std::unique_ptr<Fl_RGB_Image> converted_;
};

Fl_Box* Label(int x, int y, int w, int h, const char* text, Fl_Align align,
              Fl_Font font = FL_HELVETICA) {
    auto* box = new Fl_Box(x, y, w, h, text);
    box->box(FL_NO_BOX);
    box->labelfont(font);
    box->labelsize(kTextSize);
    box->labelcolor(FL_BLACK);
    box->align(align | FL_ALIGN_INSIDE);
    return box;
}

// A read-only page of text: headings in bold, table rows in a fixed-width face. Its words are
// laid out by FillTextPage when its tab first shows: wrapping measures every word in its face,
// which was most of the dialog's start.
struct TextPageContent {
    Fl_Text_Display* display = nullptr;
    Fl_Text_Buffer* text = nullptr;
    Fl_Text_Buffer* style = nullptr;
    std::unique_ptr<Fl_Text_Display::Style_Table_Entry[]> styles;
};

TextPageContent TextPage(int x, int y, int w, int h, const std::vector<TextLine>& lines,
                         Fl_Color background, Fl_Fontsize size) {
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

class StartupWindow {
public:
    StartupWindow(LaunchSettings& settings, std::function<void()> loadForm1, StoredChoices* stored,
                  std::function<void()> shown)
        : form_(settings, Host(std::move(loadForm1), stored)), stored_(stored), shown_(std::move(shown)) {
        if (stored_) {
            form_.stored = stored_->options;
            form_.record = stored_->record;
        }
        // The font configuration is read on another core while this one opens the display: it
        // is the first thing the first drawn label waits for.
        std::thread fonts([] { FcInit(); });
        {
            // The dialog has no text to type.
            const modDX::WithoutComposeTable keysOnly;
            OpenToolkitDisplay();
        }
        fonts.join();
        Build();
    }

    ~StartupWindow() {
        // The text displays refer to their buffers; take those away before the buffers go.
        for (TextPageContent& page : pages_) page.display->buffer(nullptr);
        window_.reset();
        for (TextPageContent& page : pages_) {
            delete page.text;
            delete page.style;
        }
    }

    int Run() {
        form_.Form_Load();
        Sync();
        // A start-up dialog opens in the middle of the screen.
        window_->position((Fl::w() - window_->w()) / 2, (Fl::h() - window_->h()) / 2);
        window_->show();
        if (shown_) {
            // Its first turn maps the window; the game's process prepares beside the drawing.
            Fl::wait();
            shown_();
        }
        while (window_->shown()) Fl::wait();
        if (error_) std::rethrow_exception(error_);
        return 0;
    }

    // The launch's unload: the window goes before the game's screen opens. The widgets stay
    // alive, since the game is running inside the Play button's callback.
    void Unload() {
        form_.Form_Unload();
        window_->hide();
        Fl::flush();
    }

private:
    StartupDialogHost Host(std::function<void()> loadForm1, StoredChoices* stored) {
        StartupDialogHost host;
        // The choices go back to the owner before the game starts inside Play.
        host.loadForm1 = [this, stored, load = std::move(loadForm1)] {
            if (stored) stored->options = form_.stored;
            if (load) load();
        };
        if (stored && stored->saveRecord) {
            host.saveRecord = [stored](const MatchRecord& record) {
                stored->record = record;
                stored->saveRecord(record);
            };
        }
        host.endProgram = [this] { window_->hide(); };
        host.informationBox = ShowInformationBox;
        return host;
    }

    void Build() {
        Fl::background(192, 192, 192);
        window_ = std::make_unique<Fl_Double_Window>(538, 545, kStartupCaption);
        window_->color(fl_rgb_color(192, 192, 192));
        window_->size_range(538, 545, 538, 545);
        window_->callback(
            [](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->Closed(); }, this);

        new PictureBox(48, 0, kBannerPicture);

        label3_ = Label(8, 276, 153, 17, "", FL_ALIGN_LEFT | FL_ALIGN_TOP, FL_HELVETICA_BOLD);
        Label(312, 276, 217, 25, kRequirementLine, FL_ALIGN_RIGHT | FL_ALIGN_TOP, FL_HELVETICA_BOLD);

        tabs_ = new Fl_Tabs(8, 296, 521, 217);
        tabs_->selection_color(fl_rgb_color(192, 192, 192));
        tabs_->callback([](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->TabClicked(); },
                        this);
        for (int i = 0; i < kTabCount; ++i) {
            tab_[i] = new Fl_Group(8, 296 + kTabHeight, 521, 217 - kTabHeight, kTabCaptions[i]);
            tab_[i]->labelsize(kTextSize);
            tab_[i]->color(fl_rgb_color(192, 192, 192));
            frame1_[i] = new Fl_Group(kPageX, kPageY, kPageW, kPageH);
            frame1_[i]->box(FL_NO_BOX);
            switch (i) {
                case 0: BuildDeckPage(); break;
                case 1: BuildKeysPage(); break;
                case 2: BuildRulesPage(); break;
                case 3: BuildCreditsPage(); break;
                case 4: BuildOptionsPage(); break;
            }
            frame1_[i]->end();
            tab_[i]->end();
            tab_[i]->resizable(nullptr);
        }
        tabs_->end();

        auto* command2 = new Fl_Button(8, 520, 57, 21, kExitCaption);
        command2->labelsize(kTextSize);
        command2->callback([](Fl_Widget*, void* self) {
            static_cast<StartupWindow*>(self)->form_.Command2_Click();
        }, this);

        auto* command1 = new Fl_Button(244, 520, 285, 21, kPlayCaption);
        command1->labelsize(kTextSize);
        command1->shortcut(FL_Enter);
        command1->callback([](Fl_Widget*, void* self) {
            static_cast<StartupWindow*>(self)->Play();
        }, this);

        window_->end();
        window_->set_modal();
    }

    // Page coordinates, as the layout gives them, to window coordinates.
    static int PX(int x) { return kPageX + x; }
    static int PY(int y) { return kPageY + y; }

    void BuildDeckPage() {
        // Top to bottom: one 1024 x 768 deck, the two 800 x 600 decks, the other 1024 x 768
        // deck, so the two decks that have a preview sit beside it.
        const int optionY[5] = {0, 2, 99, 144, 48};
        const int optionW[5] = {0, 349, 317, 349, 349};
        for (int n = 1; n <= 4; ++n) {
            auto* option = new Fl_Round_Button(PX(16), PY(optionY[n]), optionW[n], 21,
                                               kDeckCaptions[n]);
            option->type(FL_RADIO_BUTTON);
            option->labelsize(kTextSize);
            option->callback(&StartupWindow::OptionCallback, this);
            option_[n] = option;
            Label(PX(92), PY(optionY[n] + 21), 273, 13, kDeckDescriptions[n],
                  FL_ALIGN_LEFT | FL_ALIGN_TOP)
                ->labelsize(kDescriptionSize);
        }

        image2_[0] = new PictureBox(PX(372), PY(16), kPreviewPictures[0]);
        image2_[1] = new PictureBox(PX(373), PY(16), kPreviewPictures[1]);
    }

    void BuildKeysPage() {
        // One row per key, each on one line in the sans face at our size.
        constexpr int kKeysWidth = 489;
        for (std::size_t i = 0; i < kKeyLines.size(); ++i) {
            Label(PX(8), PY(6 + 21 * static_cast<int>(i)), kKeysWidth, 20, kKeyLines[i],
                  FL_ALIGN_LEFT | FL_ALIGN_TOP);
        }
    }

    void BuildRulesPage() {
        AddTextPage(PX(4), PY(12), 493, 145, RulesText(), fl_rgb_color(255, 255, 192),
                    kRulesSize);
        auto* label11 = new LinkLabel(PX(312), PY(160), 121, 17, kWebAddress);
        label11->callback([](Fl_Widget*, void* self) {
            static_cast<StartupWindow*>(self)->form_.Label11_Click();
        }, this);
    }

    void BuildCreditsPage() {
        AddTextPage(PX(4), PY(12), 493, 165, CreditsText(), FL_WHITE, kTextSize);
    }

    Fl_Check_Button* OptionCheck(int y, const char* caption, void (frmStartup::*click)(bool)) {
        auto* check = new Fl_Check_Button(PX(40), PY(y), 160, 17, caption);
        check->labelfont(FL_HELVETICA_BOLD);
        check->labelsize(kTextSize);
        checkClicks_.push_back({check, click});
        check->callback([](Fl_Widget* w, void* self) {
            auto* me = static_cast<StartupWindow*>(self);
            for (const auto& [widget, handler] : me->checkClicks_)
                if (widget == w) (me->form_.*handler)(static_cast<Fl_Check_Button*>(w)->value() != 0);
            me->Sync();
        }, this);
        return check;
    }

    void BuildOptionsPage() {
        checkWindow_ = OptionCheck(16, kWindowCaption, &frmStartup::CheckWindow_Click);
        Label(PX(208), PY(16), 273, 26, kWindowHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
        checkPlayable_ = OptionCheck(44, kPlayableCaption, &frmStartup::CheckPlayable_Click);
        Label(PX(208), PY(44), 273, 26, kPlayableHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
        check3_ = new Fl_Check_Button(PX(40), PY(72), 121, 17, kSlowAnimationCaption);
        check3_->labelfont(FL_HELVETICA_BOLD);
        check3_->labelsize(kTextSize);
        check3_->callback([](Fl_Widget* w, void* self) {
            auto* me = static_cast<StartupWindow*>(self);
            me->form_.Check3_Click(static_cast<Fl_Check_Button*>(w)->value() != 0);
            me->Sync();
        }, this);
        Label(PX(208), PY(72), 273, 33, kSlowAnimationHelp,
              FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
        partner_ = LevelChoice(PX(110), PY(108), kPartnerCaption, [](Fl_Widget* w, void* self) {
            static_cast<StartupWindow*>(self)->form_.Partner_Click(LevelOf(w));
            static_cast<StartupWindow*>(self)->Sync();
        });
        opponents_ = LevelChoice(PX(300), PY(108), kOpponentsCaption, [](Fl_Widget* w, void* self) {
            static_cast<StartupWindow*>(self)->form_.Opponents_Click(LevelOf(w));
            static_cast<StartupWindow*>(self)->Sync();
        });
        Label(PX(40), PY(134), 453, 17, kLevelsHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);

        recordLine_ = Label(PX(16), PY(160), 380, 21, "", FL_ALIGN_LEFT | FL_ALIGN_TOP);
        auto* reset = new Fl_Button(PX(400), PY(158), 93, 21, kResetRecordCaption);
        reset->labelsize(kTextSize);
        reset->callback([](Fl_Widget*, void* self) {
            auto* me = static_cast<StartupWindow*>(self);
            me->form_.ResetRecord_Click();
            me->Sync();
        }, this);
    }

    static ComputerLevel LevelOf(Fl_Widget* choice) {
        return static_cast<ComputerLevel>(static_cast<Fl_Choice*>(choice)->value());
    }

    Fl_Choice* LevelChoice(int x, int y, const char* caption, Fl_Callback* click) {
        auto* choice = new Fl_Choice(x, y, 100, 22, caption);
        choice->labelfont(FL_HELVETICA_BOLD);
        choice->labelsize(kTextSize);
        choice->textsize(kTextSize);
        for (const char* level : kLevelCaptions) choice->add(level);
        choice->callback(click, this);
        return choice;
    }

    void AddTextPage(int x, int y, int w, int h, const std::vector<TextLine>& lines,
                     Fl_Color background, Fl_Fontsize size) {
        pages_.push_back(TextPage(x, y, w, h, lines, background, size));
    }

    static void OptionCallback(Fl_Widget* w, void* self) {
        auto* me = static_cast<StartupWindow*>(self);
        for (int n = 1; n <= 4; ++n) {
            if (me->option_[n] == w) me->OptionClicked(n);
        }
    }

    void OptionClicked(int n) {
        switch (n) {
            case 1: form_.Option1_Click(); break;
            case 2: form_.Option2_Click(); break;
            case 3: form_.Option3_Click(); break;
            case 4: form_.Option4_Click(); break;
            default: return;
        }
        Sync();
    }

    void TabClicked() {
        for (int i = 0; i < kTabCount; ++i) {
            if (tabs_->value() == tab_[i]) form_.SSTab1_Click(i);
        }
        Sync();
    }

    void Play() {
        try {
            form_.Command1_Click();
        } catch (...) {
            error_ = std::current_exception();
        }
        // The game runs inside Play; once control is back here there is nothing left to show.
        window_->hide();
    }

    void Closed() {
        form_.Form_Unload();
        window_->hide();
    }

    // Copies the dialog's state into the widgets.
    void Sync() {
        label3_->copy_label(form_.Label3.c_str());
        tabs_->value(tab_[form_.SSTab1Tab]);
        for (int i = 0; i < kTabCount; ++i) {
            if (form_.Frame1Visible[i]) {
                for (const TextPageContent& page : pages_)
                    if (page.display->inside(frame1_[i])) FillTextPage(page);
                frame1_[i]->show();
            } else {
                frame1_[i]->hide();
            }
        }
        for (int n = 1; n <= 4; ++n) option_[n]->value(form_.Option[n] ? 1 : 0);
        for (int i = 0; i < 2; ++i) {
            if (form_.Image2Visible[i]) {
                image2_[i]->show();
            } else {
                image2_[i]->hide();
            }
        }
        check3_->value(form_.Check3 ? 1 : 0);
        checkWindow_->value(form_.CheckWindow ? 1 : 0);
        checkPlayable_->value(form_.CheckPlayable ? 1 : 0);
        recordLine_->copy_label(form_.RecordText.c_str());
        partner_->value(static_cast<int>(form_.partner));
        opponents_->value(static_cast<int>(form_.opponents));
        window_->redraw();
    }

    frmStartup form_;
    std::unique_ptr<Fl_Double_Window> window_;
    Fl_Box* label3_ = nullptr;
    Fl_Tabs* tabs_ = nullptr;
    Fl_Group* tab_[kTabCount] = {};
    Fl_Group* frame1_[kTabCount] = {};
    Fl_Round_Button* option_[5] = {};
    PictureBox* image2_[2] = {};
    Fl_Check_Button* check3_ = nullptr;
    Fl_Check_Button* checkWindow_ = nullptr;
    Fl_Check_Button* checkPlayable_ = nullptr;
    std::vector<std::pair<Fl_Widget*, void (frmStartup::*)(bool)>> checkClicks_;
    Fl_Box* recordLine_ = nullptr;
    StoredChoices* stored_ = nullptr;
    std::function<void()> shown_;
    Fl_Choice* partner_ = nullptr;
    Fl_Choice* opponents_ = nullptr;
    std::vector<TextPageContent> pages_;
    std::exception_ptr error_;
};

StartupWindow* activeDialog = nullptr;

}  // namespace

// Read while HOME names a place where no file can be made: the toolkit's defaults apply and
// nothing is written. The game keeps its own settings elsewhere.
void ReadToolkitOptionsWithoutSaving() {
    const modDX::WithStandIn noHome(modDX::Variable::Home);
    Fl::option(Fl::OPTION_VISIBLE_FOCUS);
}

int RunStartupDialog(LaunchSettings& settings, std::function<void()> loadForm1, StoredChoices* stored,
                     std::function<void()> shown) {
    ReadToolkitOptionsWithoutSaving();
    StartupWindow dialog(settings, std::move(loadForm1), stored, std::move(shown));
    activeDialog = &dialog;
    struct Clear {
        ~Clear() { activeDialog = nullptr; }
    } clear;
    return dialog.Run();
}

void UnloadStartupDialog() {
    if (activeDialog) activeDialog->Unload();
    else ReleaseDialogProcess();
}

}  // namespace pellow
