#pragma once
// The start-up dialog's state and event handlers, free of any toolkit: the window only forwards
// its events here and then shows what these fields say.
#include <array>
#include <functional>
#include <string>

#include "app/dialog/startup_texts.hpp"
#include "app/settings.hpp"
#include "engine/match.hpp"

namespace pellow {

// What the dialog needs from the program around it.
struct StartupDialogHost {
    // "Load Form1": unpacks the resources and launches the game; normally never returns.
    std::function<void()> loadForm1;
    // Ends the program (Exit, or the dialog unloaded before Play).
    std::function<void()> endProgram;
    // A message box with the information icon and one OK button.
    std::function<void(const std::string& text, const std::string& title)> informationBox;
    // Keeps the match record after its reset (the record is kept whether or not Play follows).
    std::function<void(const MatchRecord&)> saveRecord;
};

// The preview each option button shows: Option(n) is the Deck numbered n, the previews are in
// the pack builder's deck order.
inline constexpr std::array<int, 5> kPreviewOfOption = {-1, 3, 1, 2, 0};

// "Version 1.5.0" for major 1, minor 5, revision 0.
std::string VersionText(int major, int minor, int revision);

class frmStartup {
public:
    frmStartup(LaunchSettings& settings, StartupDialogHost host);

    void Form_Load();
    void Form_Unload();
    void SSTab1_Click(int tab);
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Check3_Click(bool checked);
    void CheckWindow_Click(bool checked);       // "Play in a window"
    void CheckPlayable_Click(bool checked);     // "Show playable cards"
    void CheckInformation_Click(bool checked);  // "Show table information"
    void CheckClassic_Click(bool checked);      // "Classic table (800 x 600 / 1024 x 768, scaled)"
    void ResetRecord_Click();
    void Partner_Click(ComputerLevel level);
    void Opponents_Click(ComputerLevel level);
    void Label11_Click();   // the "about" line below the rules
    void Command1_Click();  // Play
    void Command2_Click();  // Exit

    // ---- What the window shows (design-time values until Form_Load) ----
    int currentTab = 0;
    bool endOnUnload = false;
    int SSTab1Tab = 0;  // the tab the tab control shows as selected
    std::array<bool, kTabCount> Frame1Visible{true, true, true, true, true};
    std::array<bool, 5> Option{false, false, false, false, true};  // Option(n): the Deck numbered n; [0] unused
    // Image2Visible[i]: the preview of the pack builder's deck i (Royal, Celtic, Vintage, Worn).
    std::array<bool, 4> Image2Visible{true, false, false, false};
    bool Check3 = false;  // "Slow animation"
    bool CheckWindow = false;
    bool CheckPlayable = true;
    bool CheckInformation = true;
    bool CheckClassic = false;
    ComputerLevel partner = ComputerLevel::Classic;
    ComputerLevel opponents = ComputerLevel::Classic;
    std::string Label3;
    std::string RecordText;  // the match record's line on the Options tab

    // What the player chose last time, shown by Form_Load; Play leaves the new choices here.
    PlayerOptions stored;
    MatchRecord record;

private:
    void show_tabs();
    void SelectOption(int number);

    LaunchSettings& settings_;
    StartupDialogHost host_;
};

}  // namespace pellow
