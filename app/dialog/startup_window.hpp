#pragma once
// The FLTK window of the start-up dialog: frmStartup's face on the screen.
#include <FL/Enumerations.H>

#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/dialog/dialog_widgets.hpp"
#include "app/dialog/start_up.hpp"
#include "app/dialog/startup_dialog.hpp"

class Fl_Box;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Double_Window;
class Fl_Group;
class Fl_Round_Button;
class Fl_Tabs;
class Fl_Widget;

namespace pellow {

class StartupWindow {
public:
    // Opens the toolkit's display and builds the window, not yet shown.
    StartupWindow(LaunchSettings& settings, std::function<void()> loadForm1, StoredChoices* stored,
                  std::function<void()> shown);
    ~StartupWindow();
    StartupWindow(const StartupWindow&) = delete;
    StartupWindow& operator=(const StartupWindow&) = delete;

    // Shows the window and runs the toolkit until it is hidden; rethrows what Play threw.
    int Run();

    // The launch's unload: the window goes before the game's screen opens. The widgets stay
    // alive, since the game is running inside the Play button's callback.
    void Unload();

private:
    StartupDialogHost Host(std::function<void()> loadForm1, StoredChoices* stored);

    void Build();
    // Every widget, font and picture at the desktop's text scale.
    void Scale(double scale);
    // Page coordinates, as the layout gives them, to window coordinates.
    static int PX(int x);
    static int PY(int y);
    void BuildDeckPage();
    void BuildKeysPage();
    void BuildRulesPage();
    void BuildCreditsPage();
    Fl_Check_Button* OptionCheck(int y, const char* caption, void (frmStartup::*click)(bool));
    void BuildOptionsPage();
    static ComputerLevel LevelOf(Fl_Widget* choice);
    Fl_Choice* LevelChoice(int x, int y, const char* caption, Fl_Callback* click);
    void AddTextPage(int x, int y, int w, int h, const std::vector<TextLine>& lines, Fl_Color background,
                     Fl_Fontsize size);

    static void OptionCallback(Fl_Widget* w, void* self);
    void OptionClicked(int n);
    void TabClicked();
    void Play();
    void Closed();
    // Copies the dialog's state into the widgets.
    void Sync();

    frmStartup form_;
    std::unique_ptr<Fl_Double_Window> window_;
    Fl_Box* label3_ = nullptr;
    Fl_Tabs* tabs_ = nullptr;
    Fl_Group* tab_[kTabCount] = {};
    Fl_Group* frame1_[kTabCount] = {};
    Fl_Round_Button* option_[5] = {};
    PictureBox* image2_[4] = {};
    Fl_Check_Button* check3_ = nullptr;
    Fl_Check_Button* checkWindow_ = nullptr;
    Fl_Check_Button* checkPlayable_ = nullptr;
    Fl_Check_Button* checkInformation_ = nullptr;
    Fl_Check_Button* checkClassic_ = nullptr;
    std::vector<std::pair<Fl_Widget*, void (frmStartup::*)(bool)>> checkClicks_;
    Fl_Box* recordLine_ = nullptr;
    StoredChoices* stored_ = nullptr;
    std::function<void()> shown_;
    Fl_Choice* partner_ = nullptr;
    Fl_Choice* opponents_ = nullptr;
    std::vector<TextPageContent> pages_;
    std::exception_ptr error_;
};

}  // namespace pellow
