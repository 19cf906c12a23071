// The FLTK window of the start-up dialog and its layout. Every widget forwards its event to
// frmStartup and then copies frmStartup's fields back into the widgets; no decision is taken here.
#include "app/dialog/startup_window.hpp"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <exception>
#include <string>
#include <thread>
#include <utility>

#include "app/dialog/desktop_scale.hpp"
#include "app/dialog/dialog_pictures.hpp"
#include "app/dialog/toolkit_display.hpp"
#include "presentation/without_compose.hpp"

namespace pellow {

namespace {

// The rules read a little larger than the rest.
constexpr Fl_Fontsize kRulesSize = 13;
// The one-line deck descriptions have 13-pixel rows, and the longest must end before the preview.
constexpr Fl_Fontsize kDescriptionSize = 11;
constexpr int kTabHeight = 24;

// The window at scale 1; every place and size below is in these pixels.
constexpr int kWindowW = 538;
constexpr int kWindowH = 545;
// What a window manager may put around the window (borders, title bar), kept free of the
// screen's work area when the scale has to shrink to fit it.
constexpr int kFrameW = 16;
constexpr int kFrameH = 48;

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

// The lines a wrapped label takes in a box of the width at the size; the toolkit keeps 3 pixels
// free on either side of a label aligned left or right.
int WrappedLines(const Fl_Widget& widget, int width, Fl_Fontsize size) {
    fl_font(widget.labelfont(), size);
    int w = width - 6, h = 0;
    fl_measure(widget.label(), w, h, 0);
    return h / fl_height();
}

// The widget's place, size and type at the scale, and every widget inside it. A text page is sized
// but not entered: its scroll bars take their places from it when its text is laid out.
void ScaleWidget(Fl_Widget& widget, double scale) {
    const auto edge = [scale](int value) { return ScaledEdge(value, scale); };
    const int x = edge(widget.x()), y = edge(widget.y());
    int w = edge(widget.x() + widget.w()) - x;
    const int h = edge(widget.y() + widget.h()) - y;
    const Fl_Fontsize size = edge(widget.labelsize());
    // A larger face is not exactly a wider one: a wrapped label that would take a line more than
    // at scale 1 may reach to the edge of its page.
    Fl_Group* page = widget.parent();
    if ((widget.align() & FL_ALIGN_WRAP) && widget.label() && page &&
        WrappedLines(widget, w, size) > WrappedLines(widget, widget.w(), widget.labelsize()))
        w = std::max(w, page->x() + page->w() - edge(8) - x);
    // The widget's own size alone: a group's resize would move its children by its own rule.
    widget.Fl_Widget::resize(x, y, w, h);
    widget.labelsize(size);
    if (auto* menu = dynamic_cast<Fl_Menu_*>(&widget)) menu->textsize(edge(menu->textsize()));
    if (auto* text = dynamic_cast<Fl_Text_Display*>(&widget)) {
        text->textsize(edge(text->textsize()));
        text->scrollbar_width(edge(text->scrollbar_width()));
        return;
    }
    if (Fl_Group* group = widget.as_group()) {
        for (int i = 0; i < group->children(); ++i) ScaleWidget(*group->child(i), scale);
        group->init_sizes();
    }
}

}  // namespace

// Page coordinates, as the layout gives them, to window coordinates.
int StartupWindow::PX(int x) { return kPageX + x; }
int StartupWindow::PY(int y) { return kPageY + y; }

StartupWindow::StartupWindow(LaunchSettings& settings, std::function<void()> loadForm1, StoredChoices* stored,
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
    // The desktop's text scale, kept within the screen; only a scale above 1 asks for the work
    // area, which the toolkit then keeps for placing the window.
    double scale = DesktopTextScale();
    if (scale > 1) scale = ScaleToFit(scale, kWindowW, kWindowH, Fl::w() - kFrameW, Fl::h() - kFrameH);
    Build();
    if (scale != 1) Scale(scale);
}

StartupWindow::~StartupWindow() {
    // The text displays refer to their buffers; take those away before the buffers go.
    for (TextPageContent& page : pages_) page.display->buffer(nullptr);
    window_.reset();
    for (TextPageContent& page : pages_) {
        delete page.text;
        delete page.style;
    }
}

int StartupWindow::Run() {
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
void StartupWindow::Unload() {
    form_.Form_Unload();
    window_->hide();
    Fl::flush();
}

StartupDialogHost StartupWindow::Host(std::function<void()> loadForm1, StoredChoices* stored) {
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

void StartupWindow::Build() {
    Fl::background(192, 192, 192);
    window_ = std::make_unique<Fl_Double_Window>(kWindowW, kWindowH, kStartupCaption);
    // The class the desktop entry and the game's own window share ("pellow"), so a task bar
    // groups the dialog with the game and shows Pellow's icon rather than the toolkit's.
    window_->xclass(kWindowClass);
    window_->color(fl_rgb_color(192, 192, 192));
    window_->size_range(kWindowW, kWindowH, kWindowW, kWindowH);
    window_->callback([](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->Closed(); }, this);

    new PictureBox(48, 0, kBannerPicture);

    label3_ = Label(8, 276, 153, 17, "", FL_ALIGN_LEFT | FL_ALIGN_TOP, FL_HELVETICA_BOLD);
    Label(312, 276, 217, 25, kRequirementLine, FL_ALIGN_RIGHT | FL_ALIGN_TOP, FL_HELVETICA_BOLD);

    tabs_ = new Fl_Tabs(8, 296, 521, 217);
    tabs_->selection_color(fl_rgb_color(192, 192, 192));
    tabs_->callback([](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->TabClicked(); }, this);
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
    command2->callback([](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->form_.Command2_Click(); }, this);

    auto* command1 = new Fl_Button(244, 520, 285, 21, kPlayCaption);
    command1->labelsize(kTextSize);
    command1->shortcut(FL_Enter);
    command1->callback([](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->Play(); }, this);

    window_->end();
    window_->set_modal();
}

// The layout is made at scale 1 and then scaled as a whole: at 1 it stays exactly as it was.
void StartupWindow::Scale(double scale) {
    const auto edge = [scale](int value) { return ScaledEdge(value, scale); };
    ScaleWidget(*window_, scale);
    window_->size_range(window_->w(), window_->h(), window_->w(), window_->h());
    for (TextPageContent& page : pages_)
        for (int style = 0; style < 3; ++style) page.styles[style].size = edge(page.styles[style].size);
    // What the toolkit makes later at its own sizes: the message box and the tooltips, and any
    // scroll bar it sizes itself.
    Fl::scrollbar_size(edge(Fl::scrollbar_size()));
    FL_NORMAL_SIZE = edge(FL_NORMAL_SIZE);
}

void StartupWindow::BuildDeckPage() {
    // Top to bottom: one 1024 x 768 deck, the two 800 x 600 decks, the other 1024 x 768 deck;
    // the chosen deck's card shows beside them.
    const int optionY[5] = {0, 2, 99, 144, 48};
    const int optionW[5] = {0, 349, 317, 349, 349};
    for (int n = 1; n <= 4; ++n) {
        auto* option = new Fl_Round_Button(PX(16), PY(optionY[n]), optionW[n], 21, kDeckCaptions[n]);
        option->type(FL_RADIO_BUTTON);
        option->labelsize(kTextSize);
        option->callback(&StartupWindow::OptionCallback, this);
        option_[n] = option;
        Label(PX(92), PY(optionY[n] + 21), 273, 13, kDeckDescriptions[n], FL_ALIGN_LEFT | FL_ALIGN_TOP)
            ->labelsize(kDescriptionSize);
    }

    // The Celtic card is a little smaller: its box moves right so that it stays centred.
    const int previewX[4] = {372, 373, 372, 372};
    for (int i = 0; i < 4; ++i) image2_[i] = new PictureBox(PX(previewX[i]), PY(16), kPreviewPictures[i]);
}

void StartupWindow::BuildKeysPage() {
    // One row per key, each on one line in the sans face at our size.
    constexpr int kKeysWidth = 489;
    for (std::size_t i = 0; i < kKeyLines.size(); ++i) {
        Label(PX(8), PY(6 + 21 * static_cast<int>(i)), kKeysWidth, 20, kKeyLines[i], FL_ALIGN_LEFT | FL_ALIGN_TOP);
    }
}

void StartupWindow::BuildRulesPage() {
    AddTextPage(PX(4), PY(12), 493, 145, RulesText(), fl_rgb_color(255, 255, 192), kRulesSize);
    auto* label11 = new LinkLabel(PX(312), PY(160), 181, 17, "");
    label11->copy_label(AboutLinkText().c_str());
    label11->callback([](Fl_Widget*, void* self) { static_cast<StartupWindow*>(self)->form_.Label11_Click(); }, this);
}

void StartupWindow::BuildCreditsPage() { AddTextPage(PX(4), PY(12), 493, 165, CreditsText(), FL_WHITE, kTextSize); }

Fl_Check_Button* StartupWindow::OptionCheck(int y, const char* caption, void (frmStartup::*click)(bool)) {
    auto* check = new Fl_Check_Button(PX(40), PY(y), 160, 17, caption);
    check->labelfont(FL_HELVETICA_BOLD);
    check->labelsize(kTextSize);
    checkClicks_.push_back({check, click});
    check->callback(
        [](Fl_Widget* w, void* self) {
            auto* me = static_cast<StartupWindow*>(self);
            for (const auto& [widget, handler] : me->checkClicks_)
                if (widget == w) (me->form_.*handler)(static_cast<Fl_Check_Button*>(w)->value() != 0);
            me->Sync();
        },
        this);
    return check;
}

void StartupWindow::BuildOptionsPage() {
    // One line each, so that the classic table's row fits above the slow animation's.
    checkWindow_ = OptionCheck(8, kWindowCaption, &frmStartup::CheckWindow_Click);
    Label(PX(208), PY(8), 273, 17, kWindowHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    checkPlayable_ = OptionCheck(30, kPlayableCaption, &frmStartup::CheckPlayable_Click);
    Label(PX(208), PY(30), 273, 17, kPlayableHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    checkInformation_ = OptionCheck(52, kInformationCaption, &frmStartup::CheckInformation_Click);
    // The longest caption of the three reaches further right.
    Label(PX(222), PY(52), 259, 17, kInformationHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    checkClassic_ = OptionCheck(74, kClassicCaption, &frmStartup::CheckClassic_Click);
    checkClassic_->size(400, 17);
    check3_ = new Fl_Check_Button(PX(40), PY(100), 121, 17, kSlowAnimationCaption);
    check3_->labelfont(FL_HELVETICA_BOLD);
    check3_->labelsize(kTextSize);
    check3_->callback(
        [](Fl_Widget* w, void* self) {
            auto* me = static_cast<StartupWindow*>(self);
            me->form_.Check3_Click(static_cast<Fl_Check_Button*>(w)->value() != 0);
            me->Sync();
        },
        this);
    Label(PX(208), PY(100), 273, 33, kSlowAnimationHelp, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    partner_ = LevelChoice(PX(110), PY(136), kPartnerCaption, [](Fl_Widget* w, void* self) {
        static_cast<StartupWindow*>(self)->form_.Partner_Click(LevelOf(w));
        static_cast<StartupWindow*>(self)->Sync();
    });
    opponents_ = LevelChoice(PX(300), PY(136), kOpponentsCaption, [](Fl_Widget* w, void* self) {
        static_cast<StartupWindow*>(self)->form_.Opponents_Click(LevelOf(w));
        static_cast<StartupWindow*>(self)->Sync();
    });
    // The page has no row left for it: the levels say it where the pointer rests on them.
    partner_->tooltip(kLevelsHelp);
    opponents_->tooltip(kLevelsHelp);

    recordLine_ = Label(PX(16), PY(160), 380, 21, "", FL_ALIGN_LEFT | FL_ALIGN_TOP);
    auto* reset = new Fl_Button(PX(400), PY(158), 93, 21, kResetRecordCaption);
    reset->labelsize(kTextSize);
    reset->callback(
        [](Fl_Widget*, void* self) {
            auto* me = static_cast<StartupWindow*>(self);
            me->form_.ResetRecord_Click();
            me->Sync();
        },
        this);
}

ComputerLevel StartupWindow::LevelOf(Fl_Widget* choice) {
    return static_cast<ComputerLevel>(static_cast<Fl_Choice*>(choice)->value());
}

Fl_Choice* StartupWindow::LevelChoice(int x, int y, const char* caption, Fl_Callback* click) {
    auto* choice = new Fl_Choice(x, y, 100, 22, caption);
    choice->labelfont(FL_HELVETICA_BOLD);
    choice->labelsize(kTextSize);
    choice->textsize(kTextSize);
    for (const char* level : kLevelCaptions) choice->add(level);
    choice->callback(click, this);
    return choice;
}

void StartupWindow::AddTextPage(int x, int y, int w, int h, const std::vector<TextLine>& lines, Fl_Color background,
                                Fl_Fontsize size) {
    pages_.push_back(TextPage(x, y, w, h, lines, background, size));
}

void StartupWindow::OptionCallback(Fl_Widget* w, void* self) {
    auto* me = static_cast<StartupWindow*>(self);
    for (int n = 1; n <= 4; ++n) {
        if (me->option_[n] == w) me->OptionClicked(n);
    }
}

void StartupWindow::OptionClicked(int n) {
    switch (n) {
        case 1: form_.Option1_Click(); break;
        case 2: form_.Option2_Click(); break;
        case 3: form_.Option3_Click(); break;
        case 4: form_.Option4_Click(); break;
        default: return;
    }
    Sync();
}

void StartupWindow::TabClicked() {
    for (int i = 0; i < kTabCount; ++i) {
        if (tabs_->value() == tab_[i]) form_.SSTab1_Click(i);
    }
    Sync();
}

void StartupWindow::Play() {
    try {
        form_.Command1_Click();
    } catch (...) {
        error_ = std::current_exception();
    }
    // The game runs inside Play; once control is back here there is nothing left to show.
    window_->hide();
}

void StartupWindow::Closed() {
    form_.Form_Unload();
    window_->hide();
}

// Copies the dialog's state into the widgets.
void StartupWindow::Sync() {
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
    for (int i = 0; i < 4; ++i) {
        if (form_.Image2Visible[static_cast<std::size_t>(i)]) {
            image2_[i]->show();
        } else {
            image2_[i]->hide();
        }
    }
    check3_->value(form_.Check3 ? 1 : 0);
    checkWindow_->value(form_.CheckWindow ? 1 : 0);
    checkPlayable_->value(form_.CheckPlayable ? 1 : 0);
    checkInformation_->value(form_.CheckInformation ? 1 : 0);
    checkClassic_->value(form_.CheckClassic ? 1 : 0);
    recordLine_->copy_label(form_.RecordText.c_str());
    partner_->value(static_cast<int>(form_.partner));
    opponents_->value(static_cast<int>(form_.opponents));
    window_->redraw();
}

}  // namespace pellow
