#include "startup_dialog.hpp"

#include <utility>

#include "dialog_version.hpp"

namespace pellow {

std::string VersionText(int major, int minor, int revision) {
    return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

frmStartup::frmStartup(LaunchSettings& settings, StartupDialogHost host)
    : settings_(settings), host_(std::move(host)) {}

void frmStartup::Form_Load() {
    settings_.packFileName = "res002.pak";
    currentTab = 0;
    show_tabs();
    SSTab1Tab = 0;
    endOnUnload = true;
    Label3 = VersionText(kVersionMajor, kVersionMinor, kVersionRevision);
    switch (stored.deck) {
        case Deck::Worn: Option1_Click(); break;
        case Deck::Roya2: Option2_Click(); break;
        case Deck::Vintage: Option3_Click(); break;
        default: Option4_Click(); break;
    }
    Check3 = stored.slowAnimation;
    CheckWindow = stored.playInWindow;
    CheckPlayable = stored.showPlayable;
    CheckInformation = stored.tableInformation;
    CheckClassic = stored.classicTable;
    partner = stored.partner;
    opponents = stored.opponents;
    RecordText = RecordLine(record);
}

void frmStartup::Form_Unload() {
    if (endOnUnload && host_.endProgram) host_.endProgram();
}

void frmStartup::SSTab1_Click(int tab) {
    if (tab < 0 || tab >= kTabCount) return;
    SSTab1Tab = tab;
    currentTab = tab;
    show_tabs();
}

void frmStartup::show_tabs() {
    for (int i = 0; i < kTabCount; ++i) Frame1Visible[i] = (i == currentTab);
}

// The chosen deck is the one selected and the one whose card shows.
void frmStartup::SelectOption(int number) {
    for (int n = 1; n <= 4; ++n) Option[n] = (n == number);
    Image2Visible.fill(false);
    Image2Visible[static_cast<std::size_t>(kPreviewOfOption[static_cast<std::size_t>(number)])] = true;
}

void frmStartup::Option1_Click() { SelectOption(1); }
void frmStartup::Option2_Click() { SelectOption(2); }
void frmStartup::Option3_Click() { SelectOption(3); }
void frmStartup::Option4_Click() { SelectOption(4); }

void frmStartup::Check3_Click(bool checked) { Check3 = checked; }
void frmStartup::CheckWindow_Click(bool checked) { CheckWindow = checked; }
void frmStartup::CheckPlayable_Click(bool checked) { CheckPlayable = checked; }
void frmStartup::CheckInformation_Click(bool checked) { CheckInformation = checked; }
void frmStartup::CheckClassic_Click(bool checked) { CheckClassic = checked; }
void frmStartup::Partner_Click(ComputerLevel level) { partner = level; }
void frmStartup::Opponents_Click(ComputerLevel level) { opponents = level; }

void frmStartup::ResetRecord_Click() {
    record = MatchRecord{};
    RecordText = RecordLine(record);
    if (host_.saveRecord) host_.saveRecord(record);
}

void frmStartup::Label11_Click() {
    if (host_.informationBox) host_.informationBox(AboutText(), kStartupCaption);
}

void frmStartup::Command1_Click() {
    endOnUnload = false;
    // Option(n) is the deck numbered n.
    for (const DeckFacts& d : kDecks)
        if (Option[static_cast<int>(d.deck)]) ChooseDeck(settings_, d.deck);
    if (Check3) settings_.slowAnimation = true;
    settings_.partner = partner;
    settings_.opponents = opponents;
    for (const DeckFacts& d : kDecks)
        if (Option[static_cast<int>(d.deck)]) stored.deck = d.deck;
    stored.slowAnimation = Check3;
    stored.playInWindow = CheckWindow;
    stored.showPlayable = CheckPlayable;
    stored.tableInformation = CheckInformation;
    stored.classicTable = CheckClassic;
    stored.partner = partner;
    stored.opponents = opponents;
    if (host_.loadForm1) host_.loadForm1();
}

void frmStartup::Command2_Click() {
    if (host_.endProgram) host_.endProgram();
}

}  // namespace pellow
